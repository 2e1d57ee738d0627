#include "events/eventtexts.h"

namespace {

// Written out in full, padding included, so that the flag in character 18 and the source kind
// in character 19 can be read off directly and a misplaced blank is visible in review. The
// entries from 48 on are never logged as events; the relay page still captions its rows with
// them. The last two are one blank longer than the rest; callers that show only the first 17
// characters never see the difference.
constexpr const char* kEntries[kEventTextCount] = {
    "IN1 Riasztás     1Z",   // 1
    "IN1 Visszaállás   Z",   // 2
    "IN2 Riasztás     1Z",   // 3
    "IN2 Visszaállás   Z",   // 4
    "IN3 Riasztás     1Z",   // 5
    "IN3 Visszaállás   Z",   // 6
    "IN4 Riasztás     1Z",   // 7
    "IN4 Visszaállás   Z",   // 8
    "IN5 Riasztás     1Z",   // 9
    "IN5 Visszaállás   Z",   // 10
    "IN6 Riasztás     1Z",   // 11
    "IN6 Visszaállás   Z",   // 12
    "IN7 Riasztás     1Z",   // 13
    "IN7 Visszaállás   Z",   // 14
    "IN8 Riasztás     1Z",   // 15
    "IN8 Visszaállás   Z",   // 16
    "IN9 Riasztás     1Z",   // 17
    "IN9 Visszaállás   Z",   // 18
    "IN10 Riasztás    1Z",   // 19
    "IN10 Visszaállás  Z",   // 20
    "IN11 Riasztás    1Z",   // 21
    "IN11 Visszaállás  Z",   // 22
    "IN12 Riasztás    1Z",   // 23
    "IN12 Visszaállás  Z",   // 24
    "Szabotázs        1Z",   // 25
    "Szabotázs vissz.  Z",   // 26
    "Élesítés Part.1  1F",   // 27
    "Élesítés Part.2  1F",   // 28
    "Kikapcs. Part.1   F",   // 29
    "Kikapcs. Part.2   F",   // 30
    "Tesztjelentés    1.",   // 31
    "AC hiba          1.",   // 32
    "AC rendben        .",   // 33
    "Akku alacsony    1.",   // 34
    "Akku rendben      .",   // 35
    "Akku hiányz.     1.",   // 36
    "RF elem < 7V     1Z",   // 37
    "RF elem OK.       Z",   // 38
    "Zóna takarás     1Z",   // 39
    "Zóna takar.vissza Z",   // 40
    "Óra elvesztés    1.",   // 41
    "Óra beállítva     .",   // 42
    "Programozták     1F",   // 43
    "Térerő alacsony  1.",   // 44
    "Térerő rendben    .",   // 45
    "Kényszerkód      1F",   // 46
    "RF zaj           1.",   // 47
    "IN1 jelez          ",   // 48
    "IN2 jelez          ",   // 49
    "IN3 jelez          ",   // 50
    "IN4 jelez          ",   // 51
    "IN5 jelez          ",   // 52
    "IN6 jelez          ",   // 53
    "IN7 jelez          ",   // 54
    "IN8 jelez          ",   // 55
    "IN9 jelez          ",   // 56
    "IN10 jelez         ",   // 57
    "IN11 jelez          ",  // 58
    "IN12 jelez          ",  // 59
};

bool inTable(int type) { return type >= 1 && type <= kEventTextCount; }

}  // namespace

QString EventTexts(int type) {
    if (!inTable(type)) return {};
    return QString::fromUtf8(kEntries[type - 1]);
}

QString eventShownText(int type) { return EventTexts(type).left(kEventTextWidth); }

QChar eventSourceKind(int type) {
    const QString entry = EventTexts(type);
    constexpr int kKindIndex = 18;
    return entry.size() > kKindIndex ? entry.at(kKindIndex) : QChar(u' ');
}

QString eventCaption(int i) {
    if (!inTable(i)) return {};
    return QString::asprintf("%.2d. ", i) + eventShownText(i);
}
