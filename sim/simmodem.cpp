#include "sim/simmodem.h"

#include <algorithm>
#include <limits>

#include "link/protocol.h"

namespace {
// What the modem says of a call.
const QByteArray kConnected = QByteArray(proto::kConnect) + " 9600";
const QByteArray kNoCarrier = QByteArrayLiteral("NO CARRIER");
const QByteArray kBusy = QByteArrayLiteral("BUSY");
const QByteArray kModemError = QByteArrayLiteral("ERROR");
constexpr int kEscapeLength = 3;  // "+++"
}  // namespace

SimModem::SimModem(QObject* parent) : QObject(parent) {
    m_monotonic.start();
    m_now = [this] { return m_monotonic.elapsed(); };
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SimModem::catchUp);
}

void SimModem::setOn(bool on) {
    m_on = on;
    hangUp();
}

void SimModem::setClock(Clock now) {
    m_now = std::move(now);
    m_lastByteMs = m_now();
    schedule();
}

std::optional<SimModem::CommandKind> SimModem::classify(const QByteArray& line) {
    const QByteArray upper = line.toUpper();
    if (!upper.startsWith(proto::kModemAt)) return std::nullopt;
    if (upper.startsWith("ATD")) return CommandKind::Dial;
    if (upper.startsWith("ATH")) return CommandKind::HangUp;
    return CommandKind::ModemCommand;
}

void SimModem::catchUp() {
    const qint64 now = m_now();
    if (m_dialDueMs && now >= *m_dialDueMs) {
        m_dialDueMs.reset();
        finishDial();
    }
    if (m_escapeDueMs && now >= *m_escapeDueMs) {
        m_escapeDueMs.reset();
        escapeToCommands();
    }
    schedule();
}

void SimModem::schedule() {
    std::optional<qint64> next;
    for (const std::optional<qint64>& due : {m_dialDueMs, m_escapeDueMs})
        if (due && (!next || *due < *next)) next = due;
    if (!next) {
        m_timer.stop();
        return;
    }
    // A clock of the caller's own may stand still: then this only looks again, and
    // catchUp() from the caller does the rest.
    const qint64 wait = std::clamp<qint64>(*next - m_now(), 0, std::numeric_limits<int>::max());
    m_timer.start(int(wait));
}

void SimModem::watch(char byte) {
    if (!m_on || m_state != State::Online) return;
    const qint64 now = m_now();
    const bool quietBefore = now - m_lastByteMs >= m_guardMs;
    m_lastByteMs = now;
    if (byte == '+' && m_escapePluses < kEscapeLength && (m_escapePluses > 0 || quietBefore)) {
        // The escape counts only once the line stays quiet for a guard time after it.
        if (++m_escapePluses == kEscapeLength) {
            m_escapeDueMs = now + m_guardMs;
            schedule();
        }
        return;
    }
    m_escapePluses = 0;
    if (m_escapeDueMs) {
        m_escapeDueMs.reset();
        schedule();
    }
}

void SimModem::escapeToCommands() {
    m_escapePluses = 0;
    m_state = State::Escaped;
    emit escaped();
    emit said(proto::kOk);
}

void SimModem::dial(FaultModel::FaultMode outcome, int extraMs) {
    m_state = State::Dialling;
    m_dialOutcome = outcome;
    m_dialDueMs = m_now() + m_connectMs + extraMs;
    schedule();
}

void SimModem::finishDial() {
    if (m_dialOutcome != FaultModel::FaultMode::NoAnswer) {
        m_state = State::OnHook;
        emit said(m_dialOutcome == FaultModel::FaultMode::Busy ? kBusy : kNoCarrier);
        return;
    }
    m_state = State::Online;
    m_escapePluses = 0;
    m_lastByteMs = m_now();
    emit said(kConnected);
}

void SimModem::lineWhileDialling() {
    hangUp();
    emit said(kNoCarrier);
}

void SimModem::hangUp() {
    m_dialDueMs.reset();
    m_escapeDueMs.reset();
    schedule();
    m_escapePluses = 0;
    const bool callUp = m_state == State::Online || m_state == State::Escaped;
    m_state = State::OnHook;
    if (callUp) emit callDropped();
}

void SimModem::carryOut(CommandKind kind, const QByteArray& line, int lateMs) {
    const bool callUp = m_state == State::Escaped;
    if (kind == CommandKind::HangUp) {
        hangUp();
        emit said(proto::kOk);
    } else if (kind == CommandKind::Dial) {
        if (callUp)
            emit said(kModemError);  // one call at a time
        else
            dial(FaultModel::FaultMode::NoAnswer, lateMs);
    } else if (callUp && line.toUpper() == "ATO") {
        m_state = State::Online;
        m_lastByteMs = m_now();
        emit said(kConnected);
    } else {
        emit said(proto::kOk);
    }
}
