#pragma once

#include <QByteArray>

// One 8-byte record of the module's event memory: type, month and the n-th in it, day, hour,
// minute, a zero, the marks and the flags.
inline QByteArray record(int type, int month, int n, int day, int hour, int minute, int marks = 0,
                         int flags = 0) {
    const char bytes[] = {
        char(type), char((month << 4) | n), char(day), char(hour), char(minute), 0, char(marks),
        char(flags)};
    return QByteArray(bytes, 8);
}
