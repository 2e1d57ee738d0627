#include "link/textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString fromModuleText(const QByteArray& bytes) {
    QStringDecoder decoder("windows-1250");
    if (!decoder.isValid()) return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray toModuleText(const QString& text) {
    QStringEncoder encoder("windows-1250");
    if (!encoder.isValid()) return text.toLatin1();
    return encoder.encode(text);
}
