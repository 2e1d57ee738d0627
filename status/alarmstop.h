#pragma once

#include <QString>
#include <functional>
#include <optional>

class ModuleExchange;

// Stopping every running alarm of the module with "RSTP", as the main window and the status
// window both offer it.
namespace alarmstop {

constexpr const char* kConfirm = "Biztosan le kívánja állítani a riasztási eseményeket ?";
constexpr const char* kRunning = "Riasztások leállítása...";

enum class Verdict {
    Stopped,    // "PWDOK"
    WrongCode,  // "PWDERR"
    NoAnswer,   // neither in time, or the line went away
};

// Clears the verdict flags, sends "RSTP" with the code string and waits up to 60 ticks for the
// module's verdict. The exchange keeps the keep-alive quiet meanwhile: its "PWDOK" would
// otherwise pass for the module's confirmation.
Verdict sendAndAwait(ModuleExchange& exchange);

// Ticks of the status window's polls to hold before its own exchange, and between its stops.
constexpr int kHoldBeforeExchange = 6;
constexpr int kHoldBetweenStops = 4;

// How a hold of the status window's polls ended.
enum class Hold {
    Held,  // counted down: the line is ours
    Lost,  // the port closed, or nothing counts any more: as if no answer came
    Gone,  // the window was closed: the operation is dropped
};

// The alarm stop of the status window, whose polls share the line: two stops into a quiet
// line, each after a hold of the polls, then the third whose verdict counts. Empty when the
// window went away meanwhile (nothing more is said then).
std::optional<Verdict> stopBetweenPolls(ModuleExchange& exchange,
                                        const std::function<Hold(int pause)>& hold);

// The message box text of a verdict.
QString message(Verdict verdict);

}  // namespace alarmstop
