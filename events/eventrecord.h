#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>

// One entry of the module's event log, exactly as it arrives: type, month and zone/user number,
// day, hour, minute, an unused byte, the notification marks, and the stop/delay flags.
struct EventRecord {
    std::array<quint8, 8> bytes{};
};

// The status window and the event list show the same row, except for the zone/user cell: the
// status window has no names and shows "Z=3"/"F=3", the event list shows the number and a name.
enum class ZoneUserVariant { StatusWindow, EventList };

// 24 names: users 1..12 then zones 1..12, each a blank followed by the name (as downloaded); may be
// empty.
using NameTable = QStringList;

struct EventRow {
    bool shown = false;            // type 1..47; otherwise the other fields are empty
    QString time;                  // column 1, "%.2d/%.2d - %.2d:%.2d" of month, day, hour, minute
    QString text;                  // column 2
    QString zoneUser;              // column 3
    std::array<QString, 9> marks;  // columns 4..12: "X" or "-" (T1..T4, S1..S4, K)
    QString status;                // column 13: "OK.", "STOP", "Késl." or "Aktív"
};

// Never fails and never reads outside the record, the text table or the names, whatever the
// bytes hold: a log read from the module may contain anything.
EventRow decodeEventRecord(const EventRecord& record, ZoneUserVariant variant,
                           const NameTable& names = {});

// Column headers of the two grids (14 each, column 0 first).
QStringList eventGridHeaders(ZoneUserVariant variant);
