#include "events/eventrecord.h"

#include "events/eventtexts.h"

namespace {

constexpr int kUsers = 12;
constexpr int kZones = 12;
// The installer's code and the module's own automatic actions log as user numbers past the
// twelve real users; the keypad logs as zone 0.
constexpr int kInstaller = 13;
constexpr int kAutomatic = 14;
constexpr int kKeypadZone = 0;

constexpr quint8 kKeypadMark = 0x01;   // byte 7 bit 0: the K column
constexpr quint8 kStopMarks = 0x0E;    // byte 7 bits 1..3
constexpr quint8 kDelayedMark = 0x10;  // byte 7 bit 4

// Entry i of the table, or an empty name when the downloaded table is shorter: names may not
// have been read yet, and a missing name must not lose the row.
QString nameAt(const NameTable& names, int index) {
    return index >= 0 && index < names.size() ? names.at(index) : QString();
}

QString userName(int n, const NameTable& names) {
    if (n >= 1 && n <= kUsers) return nameAt(names, n - 1);
    if (n == kInstaller) return QStringLiteral("Telepítő");
    if (n == kAutomatic) return QStringLiteral("Automat.");
    return {};
}

QString zoneName(int n, const NameTable& names) {
    if (n >= 1 && n <= kZones) return nameAt(names, kUsers + n - 1);
    if (n == kKeypadZone) return QStringLiteral("LCD-Kezelő");
    return {};
}

QString zoneUserCell(QChar kind, int n, ZoneUserVariant variant, const NameTable& names) {
    const bool user = kind == u'F';
    const bool zone = kind == u'Z';
    if (variant == ZoneUserVariant::StatusWindow) {
        if (user) return QStringLiteral("F=") + QString::number(n);
        if (zone) return QStringLiteral("Z=") + QString::number(n);
        return QStringLiteral("--");
    }
    if (!user && !zone) return {};
    // Stored names begin with their own blank, so no separator is added after ". ".
    return QString::number(n) + QStringLiteral(". ") +
           (user ? userName(n, names) : zoneName(n, names));
}

QString statusText(quint8 marks, quint8 flags) {
    const bool pending = marks != 0 || (flags & kKeypadMark) != 0;
    // A stopped event reads "OK." once every notification has gone out, even though it was
    // stopped; the delay flag only counts when the event was not stopped.
    if (flags & kStopMarks) return pending ? QStringLiteral("STOP") : QStringLiteral("OK.");
    if (flags & kDelayedMark) return QStringLiteral("Késl.");
    return pending ? QStringLiteral("Aktív") : QStringLiteral("OK.");
}

}  // namespace

EventRow decodeEventRecord(const EventRecord& record, ZoneUserVariant variant,
                           const NameTable& names) {
    const auto& b = record.bytes;
    EventRow row;
    const int type = b[0];
    if (type < 1 || type > kShownEventTypes) return row;

    row.shown = true;
    const int month = b[1] >> 4;
    const int n = b[1] & 0x0F;
    row.time = QString::asprintf("%.2d/%.2d - %.2d:%.2d", month, int(b[2]), int(b[3]), int(b[4]));
    row.text = eventShownText(type);
    row.zoneUser = zoneUserCell(eventSourceKind(type), n, variant, names);

    for (int bit = 0; bit < 8; ++bit)
        row.marks[bit] = (b[6] >> bit) & 1 ? QStringLiteral("X") : QStringLiteral("-");
    row.marks[8] = b[7] & kKeypadMark ? QStringLiteral("X") : QStringLiteral("-");

    row.status = statusText(b[6], b[7]);
    return row;
}

QStringList eventGridHeaders(ZoneUserVariant variant) {
    const bool list = variant == ZoneUserVariant::EventList;
    // The status window numbers its eight rows in the fixed column itself and leaves the
    // header empty.
    return {list ? QStringLiteral("Sorszám") : QString(),
            QStringLiteral("Időpont"),
            QStringLiteral("Esemény"),
            list ? QStringLiteral("Zóna / Felhasználó") : QStringLiteral("Z/F"),
            QStringLiteral("T1"),
            QStringLiteral("T2"),
            QStringLiteral("T3"),
            QStringLiteral("T4"),
            QStringLiteral("S1"),
            QStringLiteral("S2"),
            QStringLiteral("S3"),
            QStringLiteral("S4"),
            list ? QStringLiteral("Közp") : QStringLiteral("K."),
            QStringLiteral("Státusz")};
}
