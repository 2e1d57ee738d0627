#include "link/modulelink.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "link/codestring.h"
#include "link/ecomport.h"
#include "link/hex.h"
#include "link/protocol.h"
#include "link/textcodec.h"
#include "link/texts.h"
#include "link/timing.h"

TickCounter::TickCounter(int tickMs, QObject* parent) : QObject(parent) {
    m_timer.setInterval(tickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_value > 0) --m_value;
    });
    m_timer.start();
}

ModuleLink::ModuleLink(std::unique_ptr<SerialDevice> device, const Timings& timings,
                       QObject* parent)
    : QObject(parent),
      m_timings(timings),
      m_port(std::move(device)),
      m_assembler(proto::kMaxLineLength),
      m_ticks(timings.tickMs),
      m_delay(timings.tickMs) {
    connect(&m_port, &TComPort::rxChar, this, &ModuleLink::ComPort1RxChar);
    connect(&m_port, &TComPort::portLost, this, &ModuleLink::onPortLost);
    // An open line that nobody holds has its keep-alive, whatever happened before.
    connect(&m_port, &TComPort::opened, this, &ModuleLink::updateKeepAlive);
    m_codeTimer.setInterval(timings.keepAliveMs);
    connect(&m_codeTimer, &QTimer::timeout, this, &ModuleLink::CodeTimerTimer);
    m_codeTimer.start();
    m_reopenTimer.setInterval(timings.reopenMs);
    connect(&m_reopenTimer, &QTimer::timeout, this, &ModuleLink::lookForLostPort);
}

void ModuleLink::onPortLost() {
    setFlag(Flag::PortLost);
    // Half a line can never be finished now; kept, it would spoil the first line after a
    // reopen ("PWDOK" arriving as "RDFL00PWDOK").
    m_assembler = LineAssembler(proto::kMaxLineLength);
    if (!m_reopenLostPort) return;
    m_lostPort = m_port.port();
    m_lostDevice = m_port.device();
    m_reopenTimer.start();
}

void ModuleLink::setReopenLostPort(bool on) {
    m_reopenLostPort = on;
    if (!on) forgetLostPort();
}

void ModuleLink::forgetLostPort() {
    m_reopenTimer.stop();
    m_lostPort.clear();
    m_lostDevice.clear();
}

void ModuleLink::lookForLostPort() {
    // Another port chosen, or this one opened by hand: nothing is waited for any more.
    if (m_lostPort.isEmpty() || m_port.port() != m_lostPort || connected()) {
        forgetLostPort();
        return;
    }
    if (m_waitDepth > 0 || m_exchangeActive) return;
    const bool back = m_devicePresence ? m_devicePresence(m_lostPort, m_lostDevice)
                                       : portDeviceBack(m_lostPort, m_lostDevice);
    if (!back) return;
    try {
        m_port.open();
    } catch (const EComPort&) {
        // Still settling, or taken by another program: tried again on the next look, and the
        // user, told once that the link is gone, is not told so every second.
        return;
    }
    forgetLostPort();
    // The loss is over; no wait is running that could still need to see it.
    clearFlags({Flag::PortLost});
    emit portReopened();
}

QString ModuleLink::GetInstallerCode() const {
    return installerCodeDigits(m_codeSource ? m_codeSource() : QString());
}

void ModuleLink::SendRaw(const QByteArray& bytes) {
    if (m_shuttingDown || !m_port.connected()) return;
    m_port.writeStr(bytes);
}

void ModuleLink::SendCommand(const QByteArray& text) { SendRaw(text + proto::kLineEnd); }

void ModuleLink::SendCommandEcho(const QByteArray& text) {
    if (m_shuttingDown || !m_port.connected()) return;
    emit trafficLine(QString::fromLatin1(proto::kEchoPrefix) + fromModuleText(text));
    SendCommand(text);
}

void ModuleLink::SendHexByte(quint8 value) { SendRaw(hex::byteToHex(value)); }

void ModuleLink::SendReturn() { SendRaw(QByteArray(1, proto::kLineEnd)); }

void ModuleLink::SendAuthorised(int k) {
    const QByteArray text = authorisedCommand(k, GetInstallerCode());
    if (!text.isEmpty()) SendCommand(text);
}

void ModuleLink::clearFlags(std::initializer_list<Flag> flags) {
    for (Flag f : flags) m_flags[size_t(f)] = 0;
}

bool ModuleLink::waitFor(TickCounter& counter, int ticks, const std::function<bool()>& done) {
    struct Depth {
        int& n;
        explicit Depth(int& d) : n(++d) {}
        ~Depth() { --n; }
    } depth(m_waitDepth);
    counter.set(ticks);
    while (!m_shuttingDown) {
        // Blocks until something happens; the tick timer guarantees a wake-up.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (done()) return true;
        if (counter.value() <= 0) return false;
    }
    return done();
}

void ModuleLink::shutDown() {
    m_shuttingDown = true;
    setFlag(Flag::Stop);
    setFlag(Flag::Abort);
    updateKeepAlive();
    forgetLostPort();
}

const char* lineStateName(LineState state) {
    switch (state) {
        case LineState::Closed:
            return "closed";
        case LineState::Lost:
            return "lost";
        case LineState::Idle:
            return "idle";
        case LineState::Polled:
            return "polled";
        case LineState::Exchange:
            return "exchange";
        case LineState::Dialling:
            return "dialling";
        case LineState::HangingUp:
            return "hanging up";
    }
    return "?";
}

LineState ModuleLink::lineState() const {
    if (!connected()) return m_lostPort.isEmpty() ? LineState::Closed : LineState::Lost;
    if (m_modem == ModemActivity::HangingUp) return LineState::HangingUp;
    if (m_modem == ModemActivity::Dialling) return LineState::Dialling;
    if (m_exchangeActive) return LineState::Exchange;
    if (m_pollers > 0) return LineState::Polled;
    return LineState::Idle;
}

void ModuleLink::updateKeepAlive() {
    // A closed port keeps the timer: its ticks send nothing, and opening needs no restart.
    const bool run =
        m_keepAliveWanted && !m_shuttingDown && !lineHeld() && m_pollers == 0;
    if (run && !m_codeTimer.isActive()) m_codeTimer.start();
    if (!run) m_codeTimer.stop();
}

void ModuleLink::beginPolling() {
    ++m_pollers;
    updateKeepAlive();
}

void ModuleLink::endPolling() {
    if (m_pollers > 0) --m_pollers;
    updateKeepAlive();
}

void ModuleLink::setKeepAliveWanted(bool wanted) {
    m_keepAliveWanted = wanted;
    updateKeepAlive();
}

ModuleLink::ModemHold::ModemHold(ModuleLink& link, ModemActivity activity)
    : m_link(link), m_before(link.m_modem) {
    m_link.m_modem = activity;
    m_link.updateKeepAlive();
}

ModuleLink::ModemHold::~ModemHold() {
    m_link.m_modem = m_before;
    m_link.updateKeepAlive();
}

Flag ModuleLink::wait(TickCounter& counter, int ticks, std::initializer_list<Flag> watched) {
    return counterWait(counter, ticks, QList<Flag>(watched));
}

Flag ModuleLink::counterWait(TickCounter& counter, int ticks, const QList<Flag>& watched) {
    Flag got = Flag::None;
    waitFor(counter, ticks, [&] {
        for (Flag f : watched)
            if (flag(f)) {
                got = f;
                return true;
            }
        return false;
    });
    return got;
}

bool ModuleLink::ModuleLogin() {
    clearFlags({Flag::PasswordOk, Flag::PasswordError});
    SendAuthorised(proto::kAuthLogin);
    switch (wait(m_ticks, proto::kLoginTicks,
                 {Flag::PasswordOk, Flag::PasswordError, Flag::PortLost, Flag::Stop})) {
        case Flag::PasswordOk:
            m_loginVerdict = QString::fromUtf8(texts::kLoginOk);
            return true;
        case Flag::PasswordError:
            m_loginVerdict = QString::fromUtf8(texts::kWrongCode);
            return false;
        case Flag::PortLost:
            m_loginVerdict = QString::fromUtf8(texts::kNoSerial);
            return false;
        case Flag::Stop:
            // The user ended it: there is nothing to tell about the module.
            m_loginVerdict.clear();
            return false;
        default:
            m_loginVerdict = QString::fromUtf8(texts::kNoAnswer);
            return false;
    }
}

void ModuleLink::CodeTimerTimer() {
    // Never into a held line: its "PWDOK" would land inside an exchange, its "RPWD" in a
    // dialling modem.
    if (lineHeld() || m_pollers > 0) return;
    try {
        if (!connected()) return;
        SendAuthorised(proto::kAuthLogin);
        m_keepAliveAwaited = true;
    } catch (const EComPort& e) {
        emit comError(e.message());
    }
}

void ModuleLink::ComPort1RxChar(int count) {
    for (int i = 0; i < count; ++i) {
        char byte = 0;
        try {
            if (m_port.read(&byte, 1) != 1) return;
        } catch (const EComPort&) {
            // What is not read stays queued for the next event; the line keeps what it has.
            return;
        }
        if (std::optional<QByteArray> line = m_assembler.push(byte)) {
            emit trafficLine(fromModuleText(*line));
            HandleAnswerLine(*line);
        }
    }
}

void ModuleLink::HandleAnswerLine(const QByteArray& line) {
    enum class Action { Connect, Status, Event, Message, Radio, SetFlag, Frame };
    struct Rule {
        const char* token;
        Action action;
        Flag flag;
    };
    // No token begins another, so at most one matches; the order is kept all the same.
    static const Rule kRules[] = {
        {proto::kConnect, Action::Connect, Flag::Connect},
        {proto::kStatusFrame, Action::Status, Flag::None},
        {proto::kEventLine, Action::Event, Flag::None},
        {proto::kMessageLine, Action::Message, Flag::None},
        {proto::kRadioFrame, Action::Radio, Flag::None},
        {proto::kPasswordError, Action::SetFlag, Flag::PasswordError},
        {proto::kPasswordOk, Action::SetFlag, Flag::PasswordOk},
        {proto::kOk, Action::SetFlag, Flag::Ok},
        {proto::kWriteOk, Action::SetFlag, Flag::WriteOk},
        {proto::kWriteError, Action::SetFlag, Flag::WriteError},
        {proto::kRadioRefused, Action::SetFlag, Flag::RadioRefused},
        {proto::kCrcOk, Action::SetFlag, Flag::CrcOk},
        {proto::kFirmwareOk, Action::SetFlag, Flag::FirmwareOk},
        {proto::kReadFrame, Action::Frame, Flag::None},
    };
    for (const Rule& rule : kRules) {
        if (!line.startsWith(rule.token)) continue;
        switch (rule.action) {
            case Action::Connect:
                updateKeepAlive();
                setFlag(Flag::Connect);
                emit statusText(QString::fromUtf8(texts::kRemoteOk));
                break;
            case Action::Status:
                emit statusFrameLine(line);
                break;
            case Action::Event:
                emit eventLine(line);
                break;
            case Action::Message:
                emit messageLine(line);
                break;
            case Action::Radio:
                emit radioFrameLine(line);
                break;
            case Action::SetFlag:
                setFlag(rule.flag);
                if (rule.flag == Flag::PasswordError || rule.flag == Flag::PasswordOk)
                    m_keepAliveAwaited = false;
                if (rule.flag == Flag::PasswordError)
                    emit statusText(QString::fromUtf8(texts::kWrongCode));
                else if (rule.flag == Flag::PasswordOk)
                    emit statusText(QString());
                break;
            case Action::Frame:
                decodeFrameLine(line);
                break;
        }
    }
}

void ModuleLink::decodeFrameLine(const QByteArray& line) {
    // The first frame answer after a reader cleared its flags is the answer it gets. A second
    // frame in the same burst (a repeat, or a damaged copy) must not change what the reader
    // takes, so it is shown in the traffic log and otherwise ignored.
    if (flag(Flag::FrameReceived) || flag(Flag::FrameError)) return;
    // Decoded aside and published whole: the frame buffer only ever holds a validated frame.
    frame::Frame scratch = m_frameBuffer;
    const QByteArray digits = line.mid(int(qstrlen(proto::kReadFrame)));
    if (frame::decodeHex(digits, scratch, frame::ChecksumOrder::ModuleLittleEndian) ==
        frame::DecodeResult::Ok) {
        m_frameBuffer = scratch;
        setFlag(Flag::FrameReceived);
    } else {
        setFlag(Flag::FrameError);
    }
}

Flag ModuleLink::requestPage(quint16 page, int ticks) {
    clearFlags({Flag::FrameReceived, Flag::FrameError});
    SendCommand(proto::kReadFrame + hex::wordToHex(page));
    return counterWait(m_ticks, ticks,
                       {Flag::PasswordError, Flag::FrameReceived, Flag::FrameError, Flag::Stop,
                        Flag::PortLost});
}
