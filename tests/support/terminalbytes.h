#pragma once

#include <QByteArray>
#include <QString>

// Output meant for a terminal: no C0 control but the line end, no DEL, and no UTF-8 sequence of
// a C1 control (C2 80 to C2 9F). Empty when it is such; else where and what the first one is.
inline QString terminalHazard(const QByteArray& out) {
    for (int i = 0; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        const bool c0OrDel = (b < 0x20 && b != '\n') || b == 0x7F;
        const bool c1 = b == 0xC2 && i + 1 < out.size() &&
                        static_cast<unsigned char>(out[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(out[i + 1]) <= 0x9F;
        if (c0OrDel || c1)
            return QStringLiteral("byte %1 of %2: %3")
                .arg(i)
                .arg(out.size())
                .arg(QString::fromLatin1(out.mid(i, c1 ? 2 : 1).toHex()));
    }
    return QString();
}
