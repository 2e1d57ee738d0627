#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "sim/faultmodel.h"

// A modem in front of the simulated module, as on a phone link. On its commands it answers
// every "AT..." line itself with "OK" and ignores other lines; "ATD<number>" brings
// "CONNECT 9600" connect-ms later, and from then on lines pass to the module. A line while it
// dials ends the call ("NO CARRIER"). "+++" with guard-ms of silence before and after it
// brings the modem back to its commands ("OK") with the call still up; "ATO" goes back on
// line, "ATH" hangs up.
//
// Its dial and guard times run on a clock that can be replaced, so that a test can move time
// on by hand instead of waiting for it.
class SimModem : public QObject {
    Q_OBJECT
public:
    enum class State { OnHook, Dialling, Online, Escaped };
    using CommandKind = FaultModel::CommandKind;
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;

    explicit SimModem(QObject* parent = nullptr);

    // Switching it on or off puts the receiver down.
    void setOn(bool on);
    bool isOn() const { return m_on; }
    State state() const { return m_state; }
    void setConnectMs(int ms) { m_connectMs = ms; }
    void setGuardMs(int ms) { m_guardMs = ms; }

    // The clock of the dial and guard times (the monotonic clock unless set). With a clock of
    // its own the caller says when it has moved on: catchUp() then does what has come due.
    void setClock(Clock now);
    void catchUp();

    // Whether a line from the PC goes through to the module now.
    bool passesLines() const { return !m_on || m_state == State::Online; }
    bool dialling() const { return m_on && m_state == State::Dialling; }
    // What a line asks of a modem on its commands; nothing for a line that is no "AT" command.
    static std::optional<CommandKind> classify(const QByteArray& line);

    // Every byte the PC sends, as it arrives: on line, the modem listens for its escape.
    void watch(char byte);
    // A line sent while the modem dials: the call is given up.
    void lineWhileDialling();
    // Carries out a command of its own (ModemCommand, Dial, HangUp); a dial answered `lateMs`
    // late connects that much later.
    void carryOut(CommandKind kind, const QByteArray& line, int lateMs = 0);
    // Dials: after connect-ms and `extraMs`, the call is up, or with NoCarrier or Busy it fails.
    void dial(FaultModel::FaultMode outcome, int extraMs = 0);
    void hangUp();

signals:
    // A line the modem sends, without its line end.
    void said(const QByteArray& line);
    // The call the module was on has ended: the module's session goes with it.
    void callDropped();
    // "+++" was the modem's: whatever the PC began before it is no line for the module.
    void escaped();

private:
    void schedule();
    void finishDial();
    void escapeToCommands();

    bool m_on = false;
    State m_state = State::OnHook;
    int m_connectMs = 3000;
    int m_guardMs = 1000;
    FaultModel::FaultMode m_dialOutcome = FaultModel::FaultMode::NoAnswer;  // NoAnswer: taken
    int m_escapePluses = 0;
    qint64 m_lastByteMs = 0;  // when the PC last sent a byte, on m_now
    std::optional<qint64> m_dialDueMs;
    std::optional<qint64> m_escapeDueMs;
    QElapsedTimer m_monotonic;
    Clock m_now;
    QTimer m_timer;  // wakes it when the next of the times above is due
};
