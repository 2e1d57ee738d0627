#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

#include "link/pageframe.h"

class ModuleExchange;

// The module's real-time clock travels as one page frame: year within the century, month,
// day, hour and minute in bytes 0 to 4, plain binary. Seconds are not kept.
namespace clockpage {

constexpr quint16 kPage = 0xFFFE;
constexpr int kYear = 0;
constexpr int kMonth = 1;
constexpr int kDay = 2;
constexpr int kHour = 3;
constexpr int kMinute = 4;

// Texts of the clock window.
constexpr const char* kReading = "Óra lekérdezése...";
constexpr const char* kReadFailed = "Leolvasás sikertelen.";
constexpr const char* kSetting = "Óra beállítás...";
constexpr const char* kSetDone = "Az óra beállítva.";
constexpr const char* kSetFailed = "Hiba történt órabeállítás közben!";

// "A modul órája: yy/mm/dd - hh:mm" from a clock page; each byte at least two digits.
QString clockText(const frame::Frame& page);

// The module's time beside the PC's. The module keeps the year within the century only: it
// is taken in the century that brings it nearest the PC's time. None when the bytes are no
// date and time at all.
std::optional<QDateTime> moduleTime(const frame::Frame& page, const QDateTime& pc);
// The module's time less the PC's, in whole minutes, as the two clocks read on the wall: the
// PC's seconds are dropped, as the module keeps none. Negative: the module is behind.
std::optional<int> minutesAhead(const frame::Frame& page, const QDateTime& pc);

// Texts beside the clock: "Modul ideje: yy/mm/dd - hh:mm" as the module's bytes read,
// "PC ideje: ..." alike, and "Eltérés: 7 perc késés" / "... sietés" / "nincs".
constexpr const char* kModuleTimeLabel = "Modul ideje:";
constexpr const char* kPcTimeLabel = "PC ideje:";
constexpr const char* kDifferenceLabel = "Eltérés:";
QString moduleTimeText(const frame::Frame& page);
QString pcTimeText(const QDateTime& pc);
QString differenceText(std::optional<int> minutesAhead);

// The frame that sets the clock to `local`: the PC's checksum order, everything but the five
// fields zero.
frame::Frame setFrame(const QDateTime& local);

struct ReadResult {
    enum Outcome { Done, LoginFailed, Failed } outcome;
    QString text;         // the clock text when done, the login verdict when the login failed
    frame::Frame page{};  // the clock page when done
};
// Inside the caller's exchange: login, then the clock page.
ReadResult read(ModuleExchange& exchange);

enum class SetResult { Done, LoginFailed, Failed };
// Inside the caller's exchange: login, then the frame of the PC's time as `now` gives it
// after the login, so the module gets the minute it is sent in. `onLoggedIn` runs between
// the two, where the window shows its progress.
SetResult set(ModuleExchange& exchange, const std::function<QDateTime()>& now,
              const std::function<void()>& onLoggedIn = {});

}  // namespace clockpage
