#include "config/transfer.h"

#include <utility>

#include "base/lineopening.h"
#include "config/history.h"
#include "config/versionquery.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/texts.h"

using PageResult = ModuleExchange::PageResult;

ConfigTransfer::ConfigTransfer(ModuleLink& link, QObject* parent)
    : QObject(parent), m_link(link) {}

void ConfigTransfer::requestStop() {
    // The stop request is the link's: outside a transfer of ours it would end another window's
    // exchange.
    if (m_running) m_link.requestStop();
}

void ConfigTransfer::paintAll(PanelColour colour) { paintFrom(0, colour); }

void ConfigTransfer::paintFrom(int first, PanelColour colour) {
    for (int b = first; b < image::kBlockCount; ++b) emit panelColour(b, colour);
}

ConfigTransfer::Outcome ConfigTransfer::read() { return run(Kind::Read); }
ConfigTransfer::Outcome ConfigTransfer::write() { return run(Kind::Write); }
ConfigTransfer::Outcome ConfigTransfer::compare() { return run(Kind::Compare); }

ConfigTransfer::Outcome ConfigTransfer::run(Kind kind) {
    m_comparedModule.clear();
    m_differingBlock = -1;
    m_lastKind = kind;
    m_endedAt = -1;
    struct Running {
        bool& flag;
        bool was;
        explicit Running(bool& f) : flag(f), was(std::exchange(f, true)) {}
        ~Running() { flag = was; }
    } running(m_running);
    // A serial error leaves as an exception and is no outcome of ours to report.
    const Outcome outcome = perform(kind);
    recordHistory(kind, outcome);
    emit finished(outcome);
    return outcome;
}

ConfigTransfer::Outcome ConfigTransfer::perform(Kind kind) {
    if (!m_link.connected()) {
        emit message(QString::fromUtf8(texts::kNoSerial));
        return Outcome::NotConnected;
    }
    Outcome outcome = Outcome::Busy;
    withLine(m_link, [this](const QString& t) { m_link.setStatusText(t); },
             [&](ModuleExchange& exchange) { outcome = performIn(exchange, kind); });
    return outcome;
}

ConfigTransfer::Outcome ConfigTransfer::performIn(ModuleExchange& exchange, Kind kind) {
    paintAll(kind == Kind::Compare ? PanelColour::Yellow : PanelColour::White);
    emit buttonsEnabled(false);
    // Buttons come back however the transfer ends, a serial error included.
    struct Reenable {
        ConfigTransfer* t;
        ~Reenable() { emit t->buttonsEnabled(true); }
    } reenable{this};

    // Stop may come in any wait: whatever the step then says is no failure of the module's.
    if (!exchange.login()) {
        if (exchange.stopRequested()) return Outcome::Stopped;
        paintAll(PanelColour::Red);
        emit message(exchange.verdict());
        return Outcome::LoginFailed;
    }
    m_link.setDataVer(-1);
    runVersionQuery(exchange);
    if (exchange.stopRequested()) return Outcome::Stopped;
    if (m_link.dataVer() != TelvoraDataVer) {
        emit message(dataVersionMismatchText(m_link.dataVer()));
        return Outcome::WrongDataVersion;
    }

    switch (kind) {
        case Kind::Read:
            return readBlocks(exchange);
        case Kind::Write:
            return writeBlocks(exchange);
        case Kind::Compare:
            return compareBlocks(exchange);
    }
    return Outcome::Failed;
}

ConfigTransfer::Outcome ConfigTransfer::readBlocks(ModuleExchange& exchange) {
    int failedAt = -1;
    m_endedAt = 0;
    // Block numbers fit in the low byte of the page number, and only it is the module's word.
    const PageResult result = exchange.readPages(
        quint16(proto::kConfigFirstPage), image::kBlockCount, ModuleExchange::PageCheck::LowByte,
        [this](int b, const frame::Frame& f) {
            emit panelColour(b, PanelColour::Green);
            m_staging[size_t(b)] = f;
            m_endedAt = b + 1;  // a serial error from here on is the next block's
            return true;
        },
        &failedAt);
    m_endedAt = failedAt;
    if (result == PageResult::Stopped) return Outcome::Stopped;
    if (failedAt >= 0) {
        paintFrom(failedAt, PanelColour::Red);
        return Outcome::Failed;
    }
    // Only a complete read replaces the image: a partial one would lose the user's copy.
    for (int b = 0; b < image::kBlockCount; ++b)
        m_image.setBlock(b, frame::data(m_staging[size_t(b)]));
    return Outcome::Done;
}

ConfigTransfer::Outcome ConfigTransfer::writeBlocks(ModuleExchange& exchange) {
    for (int b = 0; b < image::kBlockCount; ++b)
        m_staging[size_t(b)] = frame::build(m_image.block(b), quint16(proto::kConfigFirstPage + b),
                                            frame::ChecksumOrder::PcBigEndian);
    for (int b = 0; b < image::kBlockCount; ++b) {
        m_endedAt = b;
        if (exchange.stopRequested()) return Outcome::Stopped;
        switch (exchange.writeFrame(m_staging[size_t(b)],
                                    ModuleExchange::OnWriteError::WaitsOn)) {
            case ModuleExchange::WriteResult::Ok:
                emit panelColour(b, PanelColour::Green);
                continue;
            case ModuleExchange::WriteResult::Stopped:
                return Outcome::Stopped;
            default:
                return Outcome::Failed;  // later panels stay white
        }
    }
    m_endedAt = kActivation;
    if (!exchange.activate()) {
        // Stopped while the activation was awaited: the blocks were taken, whether they are in
        // use is not known, and the panels say no more than that.
        if (exchange.stopRequested()) return Outcome::Stopped;
        paintAll(PanelColour::Red);
        return Outcome::Failed;
    }
    m_endedAt = -1;
    return Outcome::Done;
}

ConfigTransfer::Outcome ConfigTransfer::compareBlocks(ModuleExchange& exchange) {
    bool different = false;
    int failedAt = -1;
    m_endedAt = 0;
    QByteArray module = m_image.bytes();
    const PageResult result = exchange.readPages(
        quint16(proto::kConfigFirstPage), image::kBlockCount, ModuleExchange::PageCheck::LowByte,
        [&](int b, const frame::Frame& f) {
            if (image::firstDifference(b, frame::data(f), m_image.block(b)) >= 0) {
                different = true;
                module.replace(b * image::kBlockSize, image::kBlockSize, frame::data(f));
                return false;
            }
            emit panelColour(b, PanelColour::Green);
            m_endedAt = b + 1;  // a serial error from here on is the next block's
            return true;
        },
        &failedAt);
    m_endedAt = failedAt;
    if (result == PageResult::Stopped) return Outcome::Stopped;
    if (failedAt < 0) return Outcome::Done;
    emit panelColour(failedAt, PanelColour::Red);
    if (!different) return Outcome::Failed;
    m_comparedModule = module;
    m_differingBlock = failedAt;
    return Outcome::Different;
}

void ConfigTransfer::recordHistory(Kind kind, Outcome outcome) {
    if (m_historyFolder.isEmpty()) return;
    history::Event event;
    if (kind == Kind::Read && outcome == Outcome::Done)
        event = history::Event::Read;
    else if (kind == Kind::Write && outcome == Outcome::Done)
        event = history::Event::Written;
    else if (kind == Kind::Compare && outcome == Outcome::Done)
        event = history::Event::ComparedEqual;
    else if (kind == Kind::Compare && outcome == Outcome::Different)
        event = history::Event::ComparedDiffer;
    else
        return;
    // The transfer itself went well; a history that cannot be kept is said, not hidden, and
    // changes nothing of the outcome.
    QString why;
    if (!history::record(m_historyFolder, m_image, event, QDateTime::currentDateTime(), &why))
        emit historyNotKept(why);
}
