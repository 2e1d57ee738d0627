#include "link/codestring.h"

#include "link/hex.h"
#include "link/protocol.h"

QString installerCodeDigits(const QString& text) {
    QString digits;
    for (QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits.append(c);
    return digits;
}

QByteArray codeString(const QString& installerCode) {
    QByteArray out;
    for (int p = 0; p < 6; ++p) {
        if (p < installerCode.size() && installerCode[p].isDigit() &&
            installerCode[p].unicode() < 128) {
            const int d = installerCode[p].unicode() - '0';
            out.append(hex::byteToHex(static_cast<std::uint8_t>(15 - d)).at(1));
        } else {
            out.append('0');
        }
    }
    return out;
}

QByteArray authorisedCommand(int k, const QString& installerCode) {
    static const char* const kPrefixes[] = {"RPWD", "RPWS", "RPWE", "RSTP", "PT1D",
                                            "PT2D", "PT1A", "PT2A", "RPWF", "DLRF"};
    const QByteArray code = codeString(installerCode);
    if (k >= 0 && k <= proto::kAuthDeleteRadio) return QByteArray(kPrefixes[k]) + code;
    if (k >= proto::kAuthTeachFirst && k <= proto::kAuthTeachLast)
        return QByteArray("TRF") + char('0' + (k - proto::kAuthTeachFirst)) + code;
    return {};
}
