#pragma once

#include <QString>
#include <functional>

#include "link/pageframe.h"
#include "link/protocol.h"

class ModuleLink;

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

    // "RPWD" with the code string; the verdict text stays in verdict().
    bool login();
    QString verdict() const;

    enum class PageResult {
        Ok,
        NoAnswer,       // nothing within the ticks
        PasswordError,  // "PWDERR"
        BadFrame,       // the frame failed its check
        Stopped,        // the user pressed Stop
    };
    // Asks for one page and waits for its frame. `out` is written only on Ok. Which page
    // number the frame must carry differs between readers, so checking it is theirs.
    PageResult readPage(quint16 page, frame::Frame& out, int ticks = proto::kPageReadTicks);
    // Reads `count` pages from `first` in order, handing each to `onPage` (page index from 0),
    // which checks it and returns false to refuse it. Ends at the first page that fails or is
    // refused: *failedAt is its index, -1 when all went through.
    PageResult readPages(quint16 first, int count,
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
    // "WRACT", then waits for "CRCOK".
    bool activate(int ticks = proto::kActivateTicks);

    // Waits until `done` is true, the user presses Stop or the ticks run out. True when done.
    bool waitUntil(const std::function<bool()>& done, int ticks);

    // Stop pressed during this exchange: the page being waited for does not count.
    bool stopRequested() const;

private:
    ModuleLink& m_link;
    bool m_acquired;
};
