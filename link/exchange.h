#pragma once

#include <QString>
#include <functional>
#include <initializer_list>

#include "link/pageframe.h"
#include "link/protocol.h"

class ModuleLink;
enum class Flag;

// The one way to talk pages with the module. For its lifetime it holds the line (LineState
// Exchange): the keep-alive and pollers stay quiet (ModuleLink::canPoll) until it ends. An
// exchange started while the line is held (another exchange, a dial, a hang-up) is refused
// before it sends anything (acquired() is false); its caller tells the user the module is busy.
class ModuleExchange {
public:
    explicit ModuleExchange(ModuleLink& link);
    ~ModuleExchange();
    ModuleExchange(const ModuleExchange&) = delete;
    ModuleExchange& operator=(const ModuleExchange&) = delete;

    bool acquired() const { return m_acquired; }
    ModuleLink& link() { return m_link; }

    // Every step below sends nothing once Stop was pressed, and Stop ends its wait: whoever
    // pressed it is told by stopRequested(), not by a verdict.

    // "RPWD" with the code string; the verdict text stays in verdict() (empty after Stop).
    bool login();
    QString verdict() const;

    enum class PageResult {
        Ok,
        NoAnswer,       // nothing within the ticks
        PasswordError,  // "PWDERR"
        BadFrame,       // the frame failed its check
        Stopped,        // the user pressed Stop
    };
    // How much of a frame's page number must be the page asked for; a frame numbered otherwise
    // answers some other request and is BadFrame. The module need not clear the high byte of
    // its parameter, event and name pages (nor the further bytes before it), so those pages are
    // known by the low byte alone. The version and clock pages are taken only with their whole
    // number: a sound frame of another page must never pass for them.
    enum class PageCheck { WholeNumber, LowByte };
    // Asks for one page and waits for its frame. `out` is written only on Ok.
    PageResult readPage(quint16 page, PageCheck check, frame::Frame& out,
                        int ticks = proto::kPageReadTicks);
    // Reads `count` pages from `first` in order, handing each to `onPage` (page index from 0),
    // which may look further and returns false to refuse it. Ends at the first page that fails
    // or is refused: *failedAt is its index, -1 when all went through.
    PageResult readPages(quint16 first, int count, PageCheck check,
                         const std::function<bool(int index, const frame::Frame&)>& onPage,
                         int* failedAt);

    enum class WriteResult {
        Ok,     // "WROK"
        Error,  // "WRFLERR"
        NoAnswer,
        Stopped,
    };
    // "WRFL", the frame's digits and CR, then waits for "WROK". Where "WRFLERR" is a verdict
    // (the clock) it ends the wait; the parameter memory's write waits it out.
    enum class OnWriteError { EndsWait, WaitsOn };
    WriteResult writeFrame(const frame::Frame& f, OnWriteError onError,
                           int ticks = proto::kPageWriteTicks);
    // An authorised command (code k) whose answer, if any, its caller looks for itself (a
    // login before the names download, the alarm stops before the one whose verdict counts,
    // a teach or delete, a status poll). Clears the password flags first.
    void sendAuthorised(int k);
    // What the receiver saw of this exchange's answers so far.
    bool refused() const;   // "PWDERR"
    bool portLost() const;  // the port went, or is closed

    // The firmware's control page: written as any page ("WRFL", digits, CR), but answered
    // "FIRMWAREOK" once the module has checked what it holds. True when that came in time.
    bool writeFrameAwaitingFirmwareOk(const frame::Frame& f, int ticks);

    // An authorised command (code k) whose answer is the module's verdict: "PWDOK" accepted,
    // "PWDERR" refused. A keep-alive still awaited when the exchange began is answered first,
    // so its "PWDOK" never passes for this command's.
    enum class Verdict { Accepted, Refused, NoAnswer };
    Verdict authorisedCommand(int k, int ticks);

    // "WRACT", then waits for "CRCOK". False without it, Stop included.
    bool activate(int ticks = proto::kActivateTicks);

    // Waits until `done` is true, the user presses Stop or the ticks run out. True when done.
    bool waitUntil(const std::function<bool()>& done, int ticks);

    // Stop pressed during this exchange: the page being waited for does not count.
    bool stopRequested() const;

private:
    // "WRFL", the frame's digits and CR; `awaited` is cleared just before the CR, since an
    // acknowledgement can only follow that.
    void sendFrame(const frame::Frame& f, std::initializer_list<Flag> awaited);

    ModuleLink& m_link;
    bool m_acquired;
};
