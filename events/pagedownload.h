#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class ModuleExchange;

// The event list and the names come the same way: a login, then a run of pages read straight
// from the module, each checked by the low byte of its number.
struct PageDownloadPlan {
    int firstPage;
    int pageCount;
    const char* running;   // "... letöltése..."
    const char* pageDone;  // followed by the page's index and "..."
    const char* done;      // all pages in
};

enum class DownloadOutcome {
    NotConnected,
    Busy,         // another exchange holds the link: nothing was sent
    LoginFailed,  // the verdict is for a message box
    Failed,       // a page did not come, came damaged, refused or numbered wrong
    Done,
};

// Runs the plan inside an exchange the caller holds, writing its progress and result texts
// through `status`. On Done, *pages holds every page's data in order; otherwise it is left as
// it was, so a half-finished read never mixes with an earlier one. *verdict gets the login's
// verdict on LoginFailed.
DownloadOutcome downloadPages(ModuleExchange& exchange, const PageDownloadPlan& plan,
                              QByteArray* pages, const std::function<void(const QString&)>& status,
                              QString* verdict);

// The event memory and the names pages, as the event list window and the command line read them.
extern const PageDownloadPlan kEventListPlan;
extern const PageDownloadPlan kNamesPlan;

// "Leolvasás sikertelen."
QString downloadFailedText();
