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

// A countdown decreased by one on every tick (Timings::tickMs) while it is above 0.
class TickCounter : public QObject {
    Q_OBJECT
public:
    explicit TickCounter(QObject* parent = nullptr);
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
    Stop,  // the user pressed Stop during a transfer
    Count
};

// The link to the module: the port, the send operations, the receiver with its flags and
// frame buffer, the counters every transaction waits on, and the keep-alive.
class ModuleLink : public QObject {
    Q_OBJECT
public:
    explicit ModuleLink(std::unique_ptr<SerialDevice> device = makeQtSerialDevice(),
                        QObject* parent = nullptr);

    TComPort& ComPort1() { return m_port; }
    bool connected() const { return m_port.connected(); }

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

    // Login: "RPWD" + code, 30 ticks for PWDOK / PWDERR. Leaves its verdict in loginVerdict().
    bool ModuleLogin();
    QString loginVerdict() const { return m_loginVerdict; }

    bool flag(Flag f) const { return m_flags[size_t(f)] != 0; }
    void setFlag(Flag f) { m_flags[size_t(f)] = 1; }
    void clearFlags(std::initializer_list<Flag> flags);

    // The one transaction wait: sets the counter to `ticks`, then processes events (sleeping
    // while idle) until one of `watched` is set, tested in the given order, or the counter
    // has run out. Returns the first set flag, or Flag::None on timeout.
    Flag wait(TickCounter& counter, int ticks, std::initializer_list<Flag> watched);

    // Counter of all waits but dial and hang-up (the transfer window's Timer1).
    TickCounter& tickCounter() { return m_ticks; }
    // Counter of dial and hang-up (DelayTimer).
    TickCounter& delayCounter() { return m_delay; }
    QTimer& CodeTimer() { return m_codeTimer; }
    QTimer& DelayTimer() { return m_delay.timer(); }
    QTimer& Timer1() { return m_ticks.timer(); }

    // Only one exchange with the module's pages runs at a time in the whole program: a second
    // one started while the first waits is refused before it sends anything.
    bool beginExchange();
    void endExchange() { m_exchangeActive = false; }
    bool exchangeActive() const { return m_exchangeActive; }

    // Asks for a page ("RDFL" + four hex digits) and waits up to `ticks` for the frame, a
    // password error, or one of `alsoWatched`. True when a valid frame arrived; its page number
    // is the caller's to check.
    bool requestPage(quint16 page, int ticks, std::initializer_list<Flag> alsoWatched = {});

    const frame::Frame& frameBuffer() const { return m_frameBuffer; }

    // The module's data version as last read; -1 while a transfer's check is pending.
    int DataVer = 0;

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

private:
    Flag counterWait(TickCounter& counter, int ticks, const QList<Flag>& watched);
    void CodeTimerTimer();
    void decodeFrameLine(const QByteArray& line);

    TComPort m_port;
    LineAssembler m_assembler;
    std::array<quint8, size_t(Flag::Count)> m_flags{};
    frame::Frame m_frameBuffer{};
    TickCounter m_ticks;
    TickCounter m_delay;
    QTimer m_codeTimer;
    std::function<QString()> m_codeSource;
    QString m_loginVerdict;
    bool m_exchangeActive = false;
};

// Stops the keep-alive for the life of a transaction and puts it back as it was.
class KeepAlivePause {
public:
    explicit KeepAlivePause(ModuleLink& link)
        : m_timer(link.CodeTimer()), m_wasActive(link.CodeTimer().isActive()) {
        m_timer.stop();
    }
    ~KeepAlivePause() {
        if (m_wasActive) m_timer.start();
    }
    KeepAlivePause(const KeepAlivePause&) = delete;
    KeepAlivePause& operator=(const KeepAlivePause&) = delete;

private:
    QTimer& m_timer;
    bool m_wasActive;
};

// Holds the program's one exchange for a scope; `acquired()` is false when another runs.
class ExchangeGuard {
public:
    explicit ExchangeGuard(ModuleLink& link) : m_link(link), m_acquired(link.beginExchange()) {}
    ~ExchangeGuard() {
        if (m_acquired) m_link.endExchange();
    }
    bool acquired() const { return m_acquired; }
    ExchangeGuard(const ExchangeGuard&) = delete;
    ExchangeGuard& operator=(const ExchangeGuard&) = delete;

private:
    ModuleLink& m_link;
    bool m_acquired;
};
