#pragma once

#include <QString>
#include <functional>

class ModuleLink;

// A phone link: a modem on the port dials the module, and hangs up again. Both use the link's
// send operations, receiver flags and delay counter; hang-up may run inside a dial's wait and
// ends it through the abort flag.
namespace modem {

// Ticks of the waits (one tick is Timings::tickMs).
constexpr int kProbes = 7;
constexpr int kProbeTicks = 20;
constexpr int kConnectTicks = 200;
constexpr int kHangUpTries = 3;
constexpr int kHangUpTicks = 15;
constexpr int kEscapeGuardTicks = 20;  // the modem hears "+++" only after silence on both sides
constexpr int kAfterEscapeTries = 7;
constexpr int kAfterEscapeTicks = 6;
constexpr int kFinalHangUpTicks = 20;

constexpr const char* kNoCode =
    "Tárcsázás előtt adja meg a hívandó Korvanta modul TELEPÍTŐI AZONOSÍTÓJÁT.";
constexpr const char* kNoNumber =
    "Tárcsázás előtt adja meg a hívandó Korvanta modul TELEFONSZÁMÁT.";
constexpr const char* kDialling = "Tárcsázás...";
constexpr const char* kNoConnection = "Nincs kapcsolat!";
constexpr const char* kHangingUp = "Vonal bontás...";
constexpr const char* kHungUp = " Vonal bontva.";
// No "ATH" was confirmed: the line may still be up, and the user must not be told otherwise.
constexpr const char* kHangUpFailed = " A vonal bontása nem sikerült: a modem nem válaszol!";

// Dials `number` after the checks of the installer code and the number; `tell` shows a
// message box text. The keep-alive is off while the dial waits and on again at its end. True
// when the modem reported a connection.
bool dial(ModuleLink& link, const QString& number, const std::function<void(const QString&)>& tell);

// The traffic window's "AT": one probe with its echo, answered or not. Refused (false, nothing
// sent) while the line is held: an "AT" would land in an exchange or a dialling modem.
bool probe(ModuleLink& link);

// Hangs up, with the escape sequence if the modem does not answer: it is on line then and
// passes every command through to the module.
void hangUp(ModuleLink& link);

}  // namespace modem
