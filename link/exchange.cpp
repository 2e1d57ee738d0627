#include "link/exchange.h"

#include "link/modulelink.h"

ModuleExchange::ModuleExchange(ModuleLink& link)
    : m_link(link), m_acquired(!link.lineHeld() && !link.m_shuttingDown) {
    if (!m_acquired) return;
    m_link.m_exchangeActive = true;
    m_link.updateKeepAlive();
    // A port lost before this exchange began is closed now; its waits run out as for any
    // closed port. One lost while it runs ends the wait at once.
    m_link.clearFlags({Flag::Stop, Flag::PortLost});
}

ModuleExchange::~ModuleExchange() {
    if (!m_acquired) return;
    m_link.m_exchangeActive = false;
    m_link.updateKeepAlive();
}

bool ModuleExchange::login() {
    if (stopRequested()) {
        m_link.m_loginVerdict.clear();
        return false;
    }
    return m_link.ModuleLogin();
}

QString ModuleExchange::verdict() const { return m_link.loginVerdict(); }

bool ModuleExchange::stopRequested() const { return m_link.flag(Flag::Stop); }

ModuleExchange::PageResult ModuleExchange::readPage(quint16 page, PageCheck check,
                                                    frame::Frame& out, int ticks) {
    if (stopRequested()) return PageResult::Stopped;
    switch (m_link.requestPage(page, ticks)) {
        case Flag::FrameReceived: {
            const frame::Frame& got = m_link.frameBuffer();
            const bool ours = check == PageCheck::WholeNumber
                                  ? frame::pageNumber(got) == page
                                  : got[frame::kPageLowOffset] == quint8(page & 0xFF);
            if (!ours) return PageResult::BadFrame;
            out = got;
            return PageResult::Ok;
        }
        case Flag::FrameError:
            return PageResult::BadFrame;
        case Flag::PasswordError:
            return PageResult::PasswordError;
        case Flag::Stop:
            return PageResult::Stopped;
        default:
            return PageResult::NoAnswer;
    }
}

ModuleExchange::PageResult ModuleExchange::readPages(
    quint16 first, int count, PageCheck check,
    const std::function<bool(int, const frame::Frame&)>& onPage, int* failedAt) {
    *failedAt = -1;
    for (int i = 0; i < count; ++i) {
        if (stopRequested()) {
            *failedAt = i;
            return PageResult::Stopped;
        }
        frame::Frame f{};
        const PageResult result = readPage(quint16(first + i), check, f);
        if (result != PageResult::Ok || !onPage(i, f)) {
            *failedAt = i;
            return result;
        }
    }
    return PageResult::Ok;
}

ModuleExchange::WriteResult ModuleExchange::writeFrame(const frame::Frame& f,
                                                       OnWriteError onError, int ticks) {
    if (stopRequested()) return WriteResult::Stopped;
    sendFrame(f, {Flag::WriteOk, Flag::WriteError});
    const Flag got =
        onError == OnWriteError::EndsWait
            ? m_link.wait(m_link.tickCounter(), ticks,
                          {Flag::WriteOk, Flag::WriteError, Flag::Stop, Flag::PortLost})
            : m_link.wait(m_link.tickCounter(), ticks, {Flag::WriteOk, Flag::Stop, Flag::PortLost});
    switch (got) {
        case Flag::WriteOk:
            return WriteResult::Ok;
        case Flag::WriteError:
            return WriteResult::Error;
        case Flag::Stop:
            return WriteResult::Stopped;
        default:
            return WriteResult::NoAnswer;
    }
}

void ModuleExchange::sendFrame(const frame::Frame& f, std::initializer_list<Flag> awaited) {
    m_link.clearFlags({Flag::FrameReceived, Flag::FrameError});
    m_link.SendCommand(proto::kWriteFrame);
    m_link.SendRaw(frame::toHex(f));
    // Cleared just before the closing CR: an acknowledgement can only follow that.
    m_link.clearFlags(awaited);
    m_link.SendReturn();
}

void ModuleExchange::sendAuthorised(int k) {
    if (stopRequested()) return;
    m_link.clearFlags({Flag::PasswordOk, Flag::PasswordError});
    m_link.SendAuthorised(k);
}

bool ModuleExchange::refused() const { return m_link.flag(Flag::PasswordError); }

bool ModuleExchange::portLost() const {
    return m_link.flag(Flag::PortLost) || !m_link.connected();
}

bool ModuleExchange::writeFrameAwaitingFirmwareOk(const frame::Frame& f, int ticks) {
    if (stopRequested()) return false;
    sendFrame(f, {Flag::FirmwareOk});
    return waitUntil([this] { return m_link.flag(Flag::FirmwareOk); }, ticks);
}

ModuleExchange::Verdict ModuleExchange::authorisedCommand(int k, int ticks) {
    // A keep-alive answer comes within a line's round trip; this is ample.
    constexpr int kKeepAliveSettleTicks = 5;
    if (m_link.keepAliveAwaited())
        m_link.waitFor(m_link.tickCounter(), kKeepAliveSettleTicks, [this] {
            return !m_link.keepAliveAwaited() || m_link.flag(Flag::PortLost);
        });
    m_link.clearFlags({Flag::PasswordOk, Flag::PasswordError});
    m_link.SendAuthorised(k);
    switch (m_link.wait(m_link.tickCounter(), ticks,
                        {Flag::PasswordOk, Flag::PasswordError, Flag::PortLost})) {
        case Flag::PasswordOk:
            return Verdict::Accepted;
        case Flag::PasswordError:
            return Verdict::Refused;
        default:
            return Verdict::NoAnswer;
    }
}

bool ModuleExchange::activate(int ticks) {
    if (stopRequested()) return false;
    m_link.clearFlags({Flag::CrcOk});
    m_link.SendCommand(proto::kActivate);
    return m_link.wait(m_link.tickCounter(), ticks, {Flag::CrcOk, Flag::PortLost, Flag::Stop}) ==
           Flag::CrcOk;
}

bool ModuleExchange::waitUntil(const std::function<bool()>& done, int ticks) {
    bool finished = false;
    m_link.waitFor(m_link.tickCounter(), ticks, [&] {
        finished = done();
        return finished || stopRequested() || m_link.flag(Flag::PortLost);
    });
    return finished;
}
