#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "link/lineassembler.h"
#include "link/pageframe.h"
#include "link/protocol.h"
#include "params/flashaddr.h"
#include "sim/firmwarestore.h"
#include "sim/modulestate.h"
#include "sim/radioslots.h"

// Plays the GSM-Korvanta module on a pseudo-terminal. The PC side opens the pty's slave,
// which is linked as a COM name in the ports folder. Runs on the thread that creates it,
// driven by that thread's event loop, so tests can use it in-process.
class KorvantaSim : public QObject {
    Q_OBJECT
public:
    // What a received line asks of the module.
    enum class CommandKind {
        Login,        // "RPWD" + code string
        PageRead,     // "RDFL" + four page digits
        WriteStart,   // "WRFL": the next line is a page frame
        PageWrite,    // the line after "WRFL", unless it is one of the commands above
        Activate,     // "WRACT"
        PollStatus,   // "RPWS" + code string: a status frame
        PollEvents,   // "RPWE" + code string: the last eight events
        AlarmStop,    // "RSTP" + code string
        Partition,    // "PT1A", "PT2A", "PT1D", "PT2D" + code string
        PollRadio,    // "RPWF" + code string: the radio frame
        RadioTeach,   // "TRF" + slot character + code string
        RadioDelete,  // "DLRF" + code string: every radio slot emptied
        ModemCommand, // (modem on its commands) any other "AT..." line: "OK"
        Dial,         // (modem on its commands) "ATD" + number
        HangUp,       // (modem on its commands) "ATH"
        Other,        // any other command: further authorised commands, unknown lines
        Any,          // every kind above (in a fault: whichever the mode applies to)
    };
    static constexpr int kCommandKindCount = int(CommandKind::Any);

    // How a fault replaces the module's handling of a command. Every mode but Late stands in
    // for the command: the module does not carry it out (no login, no page kept, nothing
    // committed) and sends what the mode says instead of its answer.
    enum class FaultMode {
        NoAnswer,       // nothing: the command was never heard
        PasswordError,  // "PWDERR"; a login so refused closes the session
        DamagedFrame,   // (reads) the page's frame with a checksum that does not hold
        WrongPage,      // (reads) a valid frame of the page, numbered page + 1
        Late,           // carried out, but whatever goes out waits delayMs
        Garbage,        // one line of random bytes (no CR or LF among them), then CR LF
        GarbageBurst,   // a few random bytes with no line end, then nothing
        WrongKind,      // a valid answer of another kind: "WROK", or to a written frame
                        // a valid frame of the next page
        PortLost,       // the module's side of the line closes and its COM link goes
        WrongLength,    // (polls) a status frame one character long, an event line cut short
        WrongComma,     // (status polls) a status frame with a field separator that is no comma
        BadDigits,      // (event polls) the event line's digits in lower case
        NewestHigh,     // (reads of the event page with the newest-slot byte) that byte 255
        StrayHigh,      // (reads) a valid frame of the page whose bytes 256-263 and the high byte
                        // of its number (264) are not the page's: the low byte is; a module
                        // need not clear them
        RadioRefused,   // (teach, delete-radio) "RFTERR", as over a modem link
        NoCarrier,      // (dial) "NO CARRIER" after the connect delay: nobody answered
        Busy,           // (dial) "BUSY" after the connect delay
    };

    static constexpr int kAnyPage = -1;
    static constexpr int kAlways = -1;

    struct Fault {
        FaultMode mode = FaultMode::NoAnswer;
        CommandKind command = CommandKind::Any;
        // Only reads and written frames of this page; kAnyPage for every command of the kind.
        int page = kAnyPage;
        // The first `count` commands it matches, then it lets them through; kAlways: every one.
        int count = kAlways;
        int delayMs = 0;   // Late
        quint32 seed = 1;  // Garbage, GarbageBurst: the same seed, the same bytes
    };

    // Whether a mode can take a command of this kind (a damaged frame only answers a read).
    static bool applies(FaultMode mode, CommandKind kind);
    // A fault as the command line writes it, MODE[=VALUE]:COMMAND[:PAGE][:COUNT]:
    // "garbage:read:3:2" (noise to the first two reads of page 3), "late=200:any",
    // "port-lost:activate:*:1". Nothing, with a one-line reason in *error, for anything else.
    static std::optional<Fault> parseFault(const QString& text, QString* error = nullptr);

    explicit KorvantaSim(QObject* parent = nullptr);
    ~KorvantaSim() override;

    // Opens the pty and links it as `comName` ("COM95"), or as the highest free COM name when
    // empty. Returns false with a reason in *error.
    bool start(const QString& comName = {}, QString* error = nullptr);
    void stop();
    bool isRunning() const { return m_master >= 0; }
    QString comName() const { return m_comName; }
    QString slavePath() const { return m_slavePath; }

    // Installer code the module accepts (digits, as typed on a keypad).
    void setInstallerCode(const QString& digits) { m_code = digits; }
    QString installerCode() const { return m_code; }

    // Faults. Several may be armed; for each command the first armed fault (in the order they
    // were added) that matches it and has attempts left takes it. A Late fault also delays
    // what another fault sends. Returns an id for faultFired() and removeFault().
    int addFault(const Fault& fault);
    void removeFault(int id);
    void clearFaults();
    // How many commands the fault has taken (0 for an unknown id).
    int faultFired(int id) const;

    // Switches of single faults, each a fault of the model above (off by default, -1 for the
    // page numbers). Switching one again replaces it; off or -1 removes it.
    // Answer nothing at all.
    void setSilent(bool silent);
    // No answer to "RDFL" of that page, nor to a written frame of that page (it is dropped).
    void setNoAnswerPage(int page);
    // "RDFL" of that page is answered with a frame whose checksum does not match.
    void setDamagedPage(int page);
    // "RDFL" of that page is answered with a valid frame carrying page number page + 1.
    void setWrongPageNumberPage(int page);
    // Every command is answered "PWDERR" (stray frame digits are data, not commands).
    void setPasswordErrorToAll(bool on);
    // "WRACT" commits nothing and gets no answer.
    void setNoCrcOk(bool on);
    // Every answer goes out this much later, by timer.
    void setAnswerDelayMs(int ms);

    // A modem in front of the module, as on a phone link (off by default). On its commands
    // it answers every "AT..." line itself with "OK" and ignores other lines; "ATD<number>"
    // brings "CONNECT 9600" connect-ms later, and from then on lines pass to the module. A
    // line while it dials ends the call ("NO CARRIER"). "+++" with guard-ms of silence before
    // and after it brings the modem back to its commands ("OK") with the call still up;
    // "ATO" goes back on line, "ATH" hangs up (the module's session ends with the call).
    // Over this link the module refuses to teach or delete radio devices ("RFTERR").
    enum class ModemState { OnHook, Dialling, Online, Escaped };
    void setModem(bool on);
    bool modem() const { return m_modemOn; }
    ModemState modemState() const { return m_modemState; }
    void setModemConnectMs(int ms) { m_connectMs = ms; }
    void setModemGuardMs(int ms) { m_guardMs = ms; }

    // Every complete line received from the PC, in order, without its CR: the newest
    // `keepReceived` of them (100000 unless set).
    void keepReceived(int lines) { m_receivedKept = std::max(1, lines); }
    const QList<QByteArray>& receivedLines() const { return m_received; }
    void clearReceived() { m_received.clear(); }
    // Commands received of a kind (Any: of every kind), answered or not; stray frame digits
    // are no command.
    int commandCount(CommandKind kind) const;
    void resetCommandCounts() { m_commandCounts.fill(0); }

    // Sends a line (CR LF added), as the module does unprompted.
    void sendLine(const QByteArray& line);

    // The parameter memory: eight 256-byte blocks, pages 0 to 7 on the line.
    static constexpr int kMemorySize = FlashAddr::ImageSize;
    static constexpr int kBlockSize = frame::kDataSize;
    static constexpr int kBlockCount = proto::kConfigPageCount;
    static_assert(kBlockSize * kBlockCount == kMemorySize, "the pages cover the memory");
    // What a new module holds: names, the installer code, sensible zone and report settings,
    // empty telephone numbers, and the areas the firmware does not use left erased (0xFF).
    static QByteArray factoryMemory(const QString& installerCode = QStringLiteral("1234"));
    QByteArray memory() const { return m_memory; }  // the committed 2048 bytes
    void setMemory(const QByteArray& bytes);        // must be kMemorySize bytes
    // A block written with "WRFL" but not yet activated; empty when none is pending.
    QByteArray pendingBlock(int block) const;
    // The file must hold exactly kMemorySize bytes; otherwise false and the memory unchanged.
    bool loadMemory(const QString& path, QString* error);
    bool saveMemory(const QString& path, QString* error) const;
    // Saved after every activation ("WRACT"); empty for none.
    void setMemoryFile(const QString& path) { m_memoryFile = path; }
    QString memoryFile() const { return m_memoryFile; }

    // The version page (FFFF): firmware text at byte 0, data-version digits at byte 32.
    void setFirmwareText(const QByteArray& text) { m_firmwareText = text; }
    void setDataVersionText(const QByteArray& digits) { m_dataVersionText = digits; }
    int activationCount() const { return m_activations; }
    bool sessionOpen() const { return m_session; }

    // What the module is doing, and its event memory (pages F000..F003).
    ModuleState& state() { return m_state; }
    const ModuleState& state() const { return m_state; }
    // The status frame version "RPWS" is answered with, 1..4 (default 4).
    void setStatusVersion(int version) { m_statusVersion = version; }
    int statusVersion() const { return m_statusVersion; }
    // The status frame the module would send now.
    QByteArray statusFrame() const;
    // How often the module's state takes a step of life (a zone opening and closing, the
    // battery drifting, a message now and then); 0 keeps it still, as it is when created.
    void setLiveIntervalMs(int ms);
    // One step of life at once.
    void liveStep();

    // The module's clock. It runs on from whatever it was last set to, by the PC or here.
    QDateTime clockNow() const;
    void setClock(const QDateTime& time);

    // The radio slots and their teaching.
    RadioSlots& radio() { return m_radio; }
    const RadioSlots& radio() const { return m_radio; }

    // The firmware pages received, and the firmware the last good check installed.
    const FirmwareStore& firmware() const { return m_firmware; }
    // After "FIRMWAREOK" the module restarts on its new firmware and hears nothing for this
    // long (default 4 s); then it is back, logged out.
    void setRestartMs(int ms) { m_restartMs = ms; }
    bool restarting() const { return m_restarting; }
    int restarts() const { return m_restarts; }

    // Bytes move at 19200 baud, 8N1, in both directions, without blocking the thread.
    void setPace(bool on);
    bool pace() const { return m_pace; }

    // Bytes that crossed the line in each direction since start (or the last reset).
    qint64 bytesReceived() const { return m_bytesIn; }
    qint64 bytesSent() const { return m_bytesOut; }
    void resetByteCounts() { m_bytesIn = m_bytesOut = 0; }

signals:
    void lineReceived(const QByteArray& line);
    // A PortLost fault has closed the line; start() plugs it in again.
    void unplugged();
    // The restart after a firmware check is over.
    void restarted();

private:
    struct InboundLine {
        double dueNs;  // when the line's last byte has crossed the paced line
        QByteArray line;
    };
    struct ArmedFault {
        int id;
        Fault fault;
        int fired;
        QRandomGenerator random;
    };
    // The faults of the switches above, in the order they take precedence over each other.
    enum Switch {
        SilentSwitch,
        PasswordErrorSwitch,
        NoAnswerPageSwitch,
        DamagedPageSwitch,
        WrongPageSwitch,
        NoCrcOkSwitch,
        DelaySwitch,
        ModemSwitch,
        SwitchCount
    };

    void onReadable();
    void watchEscape(char byte);
    void escapeToCommands();
    void startDial(FaultMode outcome);
    void finishDial();
    void hangUpModem();
    void carryOutModem(CommandKind kind, const QByteArray& line);
    void acceptLine(const QByteArray& line);
    void deliverDueLines();
    void scheduleInbound();
    void handleLine(const QByteArray& line);
    void carryOut(CommandKind kind, int page, const QByteArray& line);
    void takeByFault(ArmedFault& armed, CommandKind kind, int page);
    ArmedFault* faultFor(CommandKind kind, int page, bool late);
    void handleFrame(const QByteArray& digits);
    void setClockFrom(const frame::Frame& f);
    void checkFirmware(const frame::Frame& control);
    QByteArray clockPage() const;
    void readPage(int page);
    void carryOutAuthorised(CommandKind kind, const QByteArray& line);
    QByteArray pageData(int page) const;
    void activate();
    QByteArray versionPage() const;
    void answer(const QByteArray& line);
    void answerRaw(const QByteArray& bytes);
    void losePort();
    void setSwitch(Switch which, bool on, const Fault& fault);
    void writeOut(const QByteArray& bytes);
    void releasePaced();
    void flushOut();
    bool linkAs(const QString& comName, QString* error);
    QString highestFreeComName() const;

    qint64 m_bytesIn = 0;
    qint64 m_bytesOut = 0;
    int m_master = -1;
    int m_slave = -1;  // held open so the line keeps its raw settings between PC sessions
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QByteArray m_out;
    LineAssembler m_assembler{proto::kMaxLineLength};
    QString m_comName;
    QString m_linkPath;
    QString m_slavePath;
    QString m_code = QStringLiteral("1234");
    QList<QByteArray> m_received;
    int m_receivedKept = 100000;
    std::array<int, kCommandKindCount> m_commandCounts{};

    QByteArray m_memory;
    ModuleState m_state;
    int m_statusVersion = 4;
    QTimer m_liveTimer;
    std::array<QByteArray, kBlockCount> m_pending;
    QString m_memoryFile;
    QByteArray m_firmwareText = QByteArrayLiteral("GSM-Korvanta 4.07");
    QByteArray m_dataVersionText = QByteArrayLiteral("2");
    int m_activations = 0;
    qint64 m_clockOffsetMs = 0;  // the module's clock against the PC's
    RadioSlots m_radio;
    FirmwareStore m_firmware;
    int m_restartMs = 4000;
    bool m_restarting = false;
    int m_restarts = 0;
    bool m_session = false;
    bool m_expectFrame = false;  // the line after "WRFL" is its frame

    std::vector<ArmedFault> m_faults;
    int m_nextFaultId = 0;
    std::array<int, SwitchCount> m_switchIds;
    int m_answerDelayMs = 0;  // of the command being handled, from its Late fault
    bool m_losingPort = false;

    bool m_modemOn = false;
    ModemState m_modemState = ModemState::OnHook;
    int m_connectMs = 3000;
    int m_guardMs = 1000;
    QTimer m_dialTimer;
    FaultMode m_dialOutcome = FaultMode::NoAnswer;  // NoAnswer: the call is taken
    QTimer m_escapeTimer;
    int m_escapePluses = 0;
    qint64 m_lastByteMs = 0;  // when the PC last sent a byte, on m_clock

    // Pacing: all times are nanoseconds on m_clock.
    bool m_pace = false;
    QElapsedTimer m_clock;
    double m_lastArrivalNs = 0;  // when the last received byte has fully arrived
    std::deque<InboundLine> m_inbound;
    QTimer m_inboundTimer;
    QByteArray m_paced;         // bytes waiting for the line
    qint64 m_pacedStartNs = 0;  // when the current burst began to go out
    qint64 m_pacedSent = 0;     // bytes of that burst already put on the line
    QTimer m_paceTimer;
};
