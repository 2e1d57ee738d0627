#pragma once

#include <functional>

#include "firmware/gkffile.h"

class ModuleExchange;

// Writing the firmware pages into the module and having it check them.
namespace firmware {

constexpr int kAttempts = 3;  // per page
constexpr int kPageTicks = 80;
constexpr int kCheckTicks = 80;

// Texts of the firmware window.
constexpr const char* kLoaded = " Fájl megnyitás rendben.";
constexpr const char* kUploading = "Firmware áttöltés...";
constexpr const char* kUploadFailed = "Hiba történt az áttöltés közben!";
constexpr const char* kUploadStopped = "Az áttöltés leállítva.";
constexpr const char* kUploadDone = "Az áttöltés sikerült!";
constexpr const char* kChecking = "CRC ellenőrzés...";
constexpr const char* kCheckFailed = "Hiba történt ellenőrzés közben!";
constexpr const char* kCheckDone = "A CRC ellenőrzés sikerült.";
constexpr const char* kRestarting =
    "A firmware ellenőrzés sikerült, az Korvanta modul újraindul, ezért a kapcsolat megszakad!";
// Start or check with no pages: nothing is sent.
constexpr const char* kNothingLoaded = "Nincs áttölthető firmware: olvasson be egy firmware fájlt!";

enum class UploadOutcome { Done, LoginFailed, PageFailed, Stopped };

struct UploadHooks {
    std::function<void()> loggedIn;
    std::function<void(int page)> pageStarted;           // 0-based, before its first attempt
    std::function<void(int page, int attempt)> attempt;  // attempt 1..kAttempts
};

// Inside the caller's exchange: login, then every page with up to three attempts each,
// looking at Stop before each page and each attempt. Ends at the first page that is not
// acknowledged. *failedPage is that page (or -1).
UploadOutcome upload(ModuleExchange& exchange, const gkf::Image& image,
                     const UploadHooks& hooks = {}, int* failedPage = nullptr);

enum class CheckOutcome { Confirmed, LoginFailed, NoAnswer };

// Inside the caller's exchange: login, then the control page, awaiting "FIRMWAREOK".
CheckOutcome check(ModuleExchange& exchange, const frame::Frame& control,
                   const std::function<void()>& loggedIn = {});

// The progress bar while page `page` of `pageCount` goes out: full while the last page is sent,
// and never a maximum below 1 (one page, or none, would otherwise give an empty range).
struct Progress {
    int maximum;
    int position;
};
Progress progressAt(int page, int pageCount);

}  // namespace firmware
