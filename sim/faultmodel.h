#pragma once

#include <QRandomGenerator>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// The faults the simulated module can be told to make. A fault is an enumerated mode that
// stands in for the module's handling of commands of one kind (of one page, for reads and
// written frames), for the first `count` of them or for every one. Faults are armed here,
// in order, and the module asks for the one that takes each command it receives.
class FaultModel {
public:
    // What a received line asks of the module.
    enum class CommandKind {
        Login,         // "RPWD" + code string
        PageRead,      // "RDFL" + four page digits
        WriteStart,    // "WRFL": the next line is a page frame
        PageWrite,     // the line after "WRFL", unless it is one of the commands above
        Activate,      // "WRACT"
        PollStatus,    // "RPWS" + code string: a status frame
        PollEvents,    // "RPWE" + code string: the last eight events
        AlarmStop,     // "RSTP" + code string
        Partition,     // "PT1A", "PT2A", "PT1D", "PT2D" + code string
        PollRadio,     // "RPWF" + code string: the radio frame
        RadioTeach,    // "TRF" + slot character + code string
        RadioDelete,   // "DLRF" + code string: every radio slot emptied
        ModemCommand,  // (modem on its commands) any other "AT..." line: "OK"
        Dial,          // (modem on its commands) "ATD" + number
        HangUp,        // (modem on its commands) "ATH"
        Other,         // any other command: further authorised commands, unknown lines
        Any,           // every kind above (in a fault: whichever the mode applies to)
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

    // The older single-fault switches, each one spelling of a fault; in the order they take
    // precedence over each other, and all of them over faults added otherwise.
    enum class Switch {
        Silent,         // answer nothing
        PasswordError,  // "PWDERR" to every command
        NoAnswerPage,   // neither reads nor written frames of a page answered
        DamagedPage,    // reads of a page answered with a damaged frame
        WrongPage,      // reads of a page answered with the next page's number
        NoCrcOk,        // "WRACT" ignored
        Delay,          // every answer late
        Modem,          // teach and delete-radio refused, as over a phone line
    };
    static constexpr int kSwitchCount = int(Switch::Modem) + 1;
    // The switch's fault as --fault writes it; `value` is its page or its delay in ms ("N" in
    // a help text).
    static QString switchSpelling(Switch which, const QString& value);
    static QString switchSpelling(Switch which, int value = 0) {
        return switchSpelling(which, QString::number(value));
    }

    // A fault armed, and how many commands it has taken.
    struct Armed {
        int id;
        Fault fault;
        int fired;
        QRandomGenerator random;
    };

    // Arms a fault after those armed before; returns its id.
    int add(const Fault& fault);
    void remove(int id);
    void clear();
    // How many commands the fault has taken (0 for an unknown id).
    int fired(int id) const;
    // Arms the switch's fault, spelled as switchSpelling() says, in place of the one it
    // armed before; off removes it. False (and the switch off) for a value the spelling
    // does not take, with the reason in *error.
    bool setSwitch(Switch which, bool on, int value = 0, QString* error = nullptr);

    // The first armed fault that matches a command and has attempts left, counted as having
    // taken it; nothing when none does. Late faults and the others are asked for apart: a
    // Late one delays whatever another sends. `pageExists` says whether the module has the
    // page the command names (a frame, good or damaged, is only sent of a page it has).
    Armed* take(CommandKind kind, int page, bool pageExists, bool late);

private:
    std::vector<Armed> m_faults;
    int m_nextId = 0;
    std::array<int, kSwitchCount> m_switchIds = filledIds();

    static std::array<int, kSwitchCount> filledIds() {
        std::array<int, kSwitchCount> ids{};
        ids.fill(-1);
        return ids;
    }
};
