#pragma once

#include <QString>

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

// The message box text of a verdict.
QString message(Verdict verdict);

}  // namespace alarmstop
