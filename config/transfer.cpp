#include "config/transfer.h"

#include "config/versionquery.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/texts.h"

ConfigTransfer::ConfigTransfer(ModuleLink& link, QObject* parent)
    : QObject(parent), m_link(link), m_image(image::kSize, '\0') {}

void ConfigTransfer::requestStop() { m_link.setFlag(Flag::Stop); }

bool ConfigTransfer::stopRequested() const { return m_link.flag(Flag::Stop); }

void ConfigTransfer::paintAll(PanelColour colour) { paintFrom(0, colour); }

void ConfigTransfer::paintFrom(int first, PanelColour colour) {
    for (int b = first; b < image::kBlockCount; ++b) emit panelColour(b, colour);
}

ConfigTransfer::Outcome ConfigTransfer::read() { return run(Kind::Read); }
ConfigTransfer::Outcome ConfigTransfer::write() { return run(Kind::Write); }
ConfigTransfer::Outcome ConfigTransfer::compare() { return run(Kind::Compare); }

ConfigTransfer::Outcome ConfigTransfer::run(Kind kind) {
    if (!m_link.connected()) {
        emit message(QString::fromUtf8(texts::kNoSerial));
        return Outcome::NotConnected;
    }
    ExchangeGuard exchange(m_link);
    if (!exchange.acquired()) return Outcome::Busy;
    KeepAlivePause pause(m_link);
    paintAll(kind == Kind::Compare ? PanelColour::Yellow : PanelColour::White);
    emit buttonsEnabled(false);
    // Buttons come back however the transfer ends, a serial error included.
    struct Reenable {
        ConfigTransfer* t;
        ~Reenable() { emit t->buttonsEnabled(true); }
    } reenable{this};
    m_link.clearFlags({Flag::Stop});

    if (!m_link.ModuleLogin()) {
        paintAll(PanelColour::Red);
        emit message(m_link.loginVerdict());
        return Outcome::LoginFailed;
    }
    if (!dataVersionMatches()) return Outcome::WrongDataVersion;

    switch (kind) {
        case Kind::Read:
            return readBlocks();
        case Kind::Write:
            return writeBlocks();
        case Kind::Compare:
            return compareBlocks();
    }
    return Outcome::Failed;
}

bool ConfigTransfer::dataVersionMatches() {
    m_link.DataVer = -1;
    runVersionQuery(m_link);
    if (m_link.DataVer == TelvoraDataVer) return true;
    emit message(dataVersionMismatchText(m_link.DataVer));
    return false;
}

ConfigTransfer::Outcome ConfigTransfer::readBlocks() {
    for (int b = 0; b < image::kBlockCount; ++b) {
        if (stopRequested()) return Outcome::Stopped;
        const bool arrived = m_link.requestPage(quint16(b), proto::kPageReadTicks, {Flag::Stop});
        if (!arrived && stopRequested()) return Outcome::Stopped;
        if (!arrived || m_link.frameBuffer()[frame::kPageLowOffset] != b) {
            paintFrom(b, PanelColour::Red);
            return Outcome::Failed;
        }
        emit panelColour(b, PanelColour::Green);
        m_staging[size_t(b)] = m_link.frameBuffer();
    }
    // Only a complete read replaces the image: a partial one would lose the user's copy.
    for (int b = 0; b < image::kBlockCount; ++b)
        m_image.replace(b * image::kBlockSize, image::kBlockSize,
                        frame::data(m_staging[size_t(b)]));
    return Outcome::Done;
}

ConfigTransfer::Outcome ConfigTransfer::writeBlocks() {
    for (int b = 0; b < image::kBlockCount; ++b)
        m_staging[size_t(b)] = frame::build(m_image.mid(b * image::kBlockSize, image::kBlockSize),
                                            quint16(b), frame::ChecksumOrder::PcBigEndian);
    for (int b = 0; b < image::kBlockCount; ++b) {
        if (stopRequested()) return Outcome::Stopped;
        m_link.clearFlags({Flag::FrameReceived, Flag::FrameError});
        m_link.SendCommand(proto::kWriteFrame);
        m_link.SendRaw(frame::toHex(m_staging[size_t(b)]));
        m_link.clearFlags({Flag::WriteOk});
        m_link.SendReturn();
        const Flag got =
            m_link.wait(m_link.tickCounter(), proto::kPageWriteTicks, {Flag::WriteOk, Flag::Stop});
        if (got == Flag::Stop) return Outcome::Stopped;
        if (got != Flag::WriteOk) return Outcome::Failed;  // later panels stay white
        emit panelColour(b, PanelColour::Green);
    }
    m_link.clearFlags({Flag::CrcOk});
    m_link.SendCommand(proto::kActivate);
    if (m_link.wait(m_link.tickCounter(), proto::kActivateTicks, {Flag::CrcOk}) != Flag::CrcOk) {
        paintAll(PanelColour::Red);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

ConfigTransfer::Outcome ConfigTransfer::compareBlocks() {
    for (int b = 0; b < image::kBlockCount; ++b) {
        if (stopRequested()) return Outcome::Stopped;
        const bool arrived = m_link.requestPage(quint16(b), proto::kPageReadTicks, {Flag::Stop});
        if (!arrived && stopRequested()) return Outcome::Stopped;
        if (!arrived || m_link.frameBuffer()[frame::kPageLowOffset] != b) {
            emit panelColour(b, PanelColour::Red);
            return Outcome::Failed;
        }
        if (image::firstDifference(b, frame::data(m_link.frameBuffer()),
                                   m_image.mid(b * image::kBlockSize, image::kBlockSize)) >= 0) {
            emit panelColour(b, PanelColour::Red);
            return Outcome::Different;
        }
        emit panelColour(b, PanelColour::Green);
    }
    return Outcome::Done;
}
