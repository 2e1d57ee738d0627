#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <initializer_list>
#include <memory>

#include "link/pageframe.h"
#include "link/comport.h"
#include "link/lineassembler.h"
#include "link/timing.h"

// A countdown decreased by one on every tick while it is above 0.
class TickCounter : public QObject {
    Q_OBJECT
public:
    explicit TickCounter(int tickMs, QObject* parent = nullptr);
    void set(int ticks) { m_value = ticks; }
    int value() const { return m_value; }
    QTimer& timer() { return m_timer; }

private:
    QTimer m_timer;
    int m_value = 0;
};

// Set by the receiver when an answer line begins with its token; cleared only by the
// operations that wait for them. Abort is set by hang-up and by closing the main window.
enum class Flag {
    None = -1,
    Connect,
    PasswordError,
    PasswordOk,
    Ok,
    WriteOk,
    WriteError,
    RadioRefused,
    CrcOk,
    FirmwareOk,
    FrameReceived,
    FrameError,
    Abort,
    Stop,      // the user pressed Stop during a transfer
    PortLost,  // the device went away (adapter pulled): nothing more can arrive
    Count
};

// The link to the module: the port, the send operations, the receiver with its flags and
// frame buffer, the counters every transaction waits on, and the keep-alive.
// What the line is doing at this moment. The link is its one owner: every send of the program
// goes through it, and what may be sent follows from this state.
//   Closed     no port; nothing can be sent
//   Lost       the port's device went away; the owner waits for it to come back
//   Idle       the port is open and nobody holds it; the keep-alive runs
//   Polled     a poller (status or radio window) holds it; its polls go out between exchanges
//   Exchange   one exchange (ModuleExchange) holds it; pollers and the keep-alive are quiet
//   Dialling   the modem dials; only hang-up may talk now
//   HangingUp  the modem hangs up; nothing else may talk
enum class LineState { Closed, Lost, Idle, Polled, Exchange, Dialling, HangingUp };
const char* lineStateName(LineState state);

class ModuleLink : public QObject {
    Q_OBJECT
public:
    explicit ModuleLink(std::unique_ptr<SerialDevice> device = makeQtSerialDevice(),
                        const Timings& timings = Timings(), QObject* parent = nullptr);

    const Timings& timings() const { return m_timings; }

    TComPort& ComPort1() { return m_port; }
    bool connected() const { return m_port.connected(); }

    // Once the port is lost, its device is looked for every reopenMs and the port opened again
    // when the same device is back under the same COM name (portReopened). Off unless asked
    // for: the main window asks, the command-line tool does not. Never inside a wait or an
    // exchange: what was running when the port went has ended with it and must not go on over
    // the returned port.
    void setReopenLostPort(bool on);
    // The COM name waited for; empty when none.
    QString lostPort() const { return m_lostPort; }
    // The user closed the port or chose another: the lost one is waited for no more.
    void forgetLostPort();
    // Whether the device a port was opened on is back; portDeviceBack unless a test says.
    using DevicePresence =
        std::function<bool(const QString& comName, const QString& openedDevice)>;
    void setDevicePresence(DevicePresence presence) { m_devicePresence = std::move(presence); }
    QTimer& ReopenTimer() { return m_reopenTimer; }

    // Where the installer code is typed; read at the moment of every authorised send.
    void setInstallerCodeSource(std::function<QString()> source) {
        m_codeSource = std::move(source);
    }
    QString GetInstallerCode() const;

    // Each is a silent no-op while the port is closed; a failed write throws EComPort.
    void SendCommand(const QByteArray& text);
    void SendCommandEcho(const QByteArray& text);
    void SendHexByte(quint8 value);
    void SendReturn();
    void SendAuthorised(int k);
    // Bytes as they are (the dial string, "+++").
    void SendRaw(const QByteArray& bytes);

    // Login: "RPWD" + code, 30 ticks for PWDOK / PWDERR; Stop ends the wait, with no verdict.
    // Leaves its verdict in loginVerdict().
    bool ModuleLogin();
    QString loginVerdict() const { return m_loginVerdict; }

    bool flag(Flag f) const { return m_flags[size_t(f)] != 0; }
    // Waiters clear what they are about to watch; only the receiver sets answer flags.
    void clearFlags(std::initializer_list<Flag> flags);
    // The user pressed Stop during a transfer.
    void requestStop() { m_flags[size_t(Flag::Stop)] = 1; }
    // Hang-up or the closing main window ends a dial that waits.
    void setAbort() { m_flags[size_t(Flag::Abort)] = 1; }
    // The program is ending: every wait running ends now as if Stop and hang-up had been
    // pressed, no further wait waits, no exchange starts, and nothing more is sent. For good.
    void shutDown();
    bool shuttingDown() const { return m_shuttingDown; }

    // The one transaction wait: sets the counter to `ticks`, then processes events (sleeping
    // while idle) until `done` is true or the counter has run out. True when done.
    bool waitFor(TickCounter& counter, int ticks, const std::function<bool()>& done);
    // The same wait for flags: returns the first of `watched` that is set, tested in the given
    // order, or Flag::None when the counter ran out.
    Flag wait(TickCounter& counter, int ticks, std::initializer_list<Flag> watched);

    // Counter of all waits but dial and hang-up (the transfer window's Timer1).
    TickCounter& tickCounter() { return m_ticks; }
    // Counter of dial and hang-up (DelayTimer).
    TickCounter& delayCounter() { return m_delay; }
    QTimer& CodeTimer() { return m_codeTimer; }
    QTimer& DelayTimer() { return m_delay.timer(); }
    QTimer& Timer1() { return m_ticks.timer(); }

    LineState lineState() const;
    // Whether an operation that talks to the module may start now: nothing holds the line, an
    // exchange, a dial or a hang-up. Whoever is refused says the module is busy and sends
    // nothing. A closed port is not a holder: operations report it themselves.
    bool lineHeld() const { return m_exchangeActive || m_modem != ModemActivity::None; }
    // Pollers send only when this is true: the port is open and nothing holds the line, so a
    // poll never lands between a request and its answer, nor in a dialling modem.
    bool canPoll() const { return connected() && !lineHeld(); }

    // The modem's dial and hang-up hold the line for as long as they run (modem::dial,
    // modem::hangUp). A hang-up may run inside a dial's wait; the dial's hold comes back after.
    enum class ModemActivity { None, Dialling, HangingUp };
    class ModemHold {
    public:
        ModemHold(ModuleLink& link, ModemActivity activity);
        ~ModemHold();
        ModemHold(const ModemHold&) = delete;
        ModemHold& operator=(const ModemHold&) = delete;

    private:
        ModuleLink& m_link;
        ModemActivity m_before;
    };

    // A poller's window is open (status, radio): its timer polls, and the keep-alive waits
    // until it closes. Counted, so the owner knows when the last one has gone.
    void beginPolling();
    void endPolling();
    // Whether the keep-alive is wanted at all: the windows want it, the command line does not.
    void setKeepAliveWanted(bool wanted);

    // A keep-alive "RPWD" went out and neither "PWDOK" nor "PWDERR" has come since: a
    // transaction that judges by those answers waits for it first, or would take it for its own.
    bool keepAliveAwaited() const { return m_keepAliveAwaited; }

    const frame::Frame& frameBuffer() const { return m_frameBuffer; }

    // What the receiver saw of the last exchange's answers, for saying why it failed.
    struct LastAnswers {
        bool portLost;      // the port went (or is closed)
        bool refused;       // "PWDERR"
        bool damaged;       // a frame that failed its check
        bool frame;         // a sound frame (of another page, where the exchange failed)
        bool writeRefused;  // "WRFLERR"
    };
    LastAnswers lastAnswers() const {
        return {flag(Flag::PortLost) || !connected(), flag(Flag::PasswordError),
                flag(Flag::FrameError), flag(Flag::FrameReceived), flag(Flag::WriteError)};
    }

    // The module's data version as last read; -1 while a transfer's check is pending.
    int dataVer() const { return m_dataVer; }
    void setDataVer(int version) { m_dataVer = version; }

    // Text for the main window's status bar.
    void setStatusText(const QString& text) { emit statusText(text); }

    void ComPort1RxChar(int count);
    void HandleAnswerLine(const QByteArray& line);

signals:
    void statusText(const QString& text);
    void trafficLine(const QString& text);
    // A serial error outside any button handler (keep-alive); shown by the main window.
    void comError(const QString& text);
    void statusFrameLine(const QByteArray& line);
    void eventLine(const QByteArray& line);
    void messageLine(const QByteArray& line);
    void radioFrameLine(const QByteArray& line);
    // A lost port was opened again on its returned device.
    void portReopened();

private:
    friend class ModuleExchange;
    Flag counterWait(TickCounter& counter, int ticks, const QList<Flag>& watched);
    void setFlag(Flag f) { m_flags[size_t(f)] = 1; }
    void CodeTimerTimer();
    void onPortLost();
    void lookForLostPort();
    void decodeFrameLine(const QByteArray& line);
    // Asks for a page ("RDFL" + four hex digits) and waits for its frame, a password error,
    // Stop, or the end of the ticks.
    Flag requestPage(quint16 page, int ticks);

    Timings m_timings;

    TComPort m_port;
    LineAssembler m_assembler;
    std::array<quint8, size_t(Flag::Count)> m_flags{};
    frame::Frame m_frameBuffer{};
    TickCounter m_ticks;
    TickCounter m_delay;
    QTimer m_codeTimer;
    std::function<QString()> m_codeSource;
    QString m_loginVerdict;
    // The keep-alive runs exactly when it is wanted and nobody holds or polls the line; only
    // this decides, at every change of what holds the line.
    void updateKeepAlive();

    bool m_exchangeActive = false;
    ModemActivity m_modem = ModemActivity::None;
    int m_pollers = 0;
    bool m_keepAliveWanted = true;
    bool m_shuttingDown = false;
    bool m_keepAliveAwaited = false;
    int m_dataVer = 0;
    int m_waitDepth = 0;  // waits running, nested ones counted
    bool m_reopenLostPort = false;
    QString m_lostPort;
    QString m_lostDevice;
    QTimer m_reopenTimer;
    DevicePresence m_devicePresence;
};

