#pragma once

// Texts of the link that the user sees; shown exactly as written here.
namespace texts {

constexpr const char* kSerialOk = " Soros kapcsolat rendben.";
constexpr const char* kNoSerial = " Nincs soros kapcsolat.";
// The lost port's adapter is back and the port open again.
constexpr const char* kSerialRestored = " Soros kapcsolat helyreállt.";
constexpr const char* kPortUnavailable = " Hiba: A COM port nem elérhető!";
constexpr const char* kWrongCode = " Hibás telepítői azonosító!";
constexpr const char* kRemoteOk = " Távoli kapcsolat rendben.";
constexpr const char* kLoginOk = "OK.";
// A button that would start a second exchange while one is running.
constexpr const char* kBusy = " A modul foglalt: adatátvitel folyamatban.";
// The short form, where a window's own line says it.
constexpr const char* kModuleSilent = "A modul nem válaszol!";
constexpr const char* kNoAnswer =
    "A modul nem válaszol! Állítsa le a riasztási eseményeket és próbálja újra!";

}  // namespace texts
