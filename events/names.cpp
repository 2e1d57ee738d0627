#include "events/names.h"

#include "link/textcodec.h"

QString nameString(const quint8* field, int width) {
    QByteArray bytes;
    for (int i = 0; i < width; ++i)
        if (field[i] != 0) bytes.append(char(field[i]));
    return QLatin1Char(' ') + fromModuleText(bytes);
}

bool isBlankName(const QString& name) {
    for (QChar ch : name)
        if (ch != QLatin1Char(' ')) return false;
    return true;
}

NameTable namesFromPages(const NamePagesBytes& pages, const NameFields& fields) {
    auto at = [&](int offset) {
        if (offset < 0 || fields.width < 0 || offset + fields.width > names::kPagesSize)
            return QString();
        return nameString(pages.data() + offset, fields.width);
    };
    NameTable table;
    for (int n = 0; n < names::kUsers; ++n)
        table.append(at(fields.userFirst + n * fields.userStride));
    for (int n = 0; n < names::kZones; ++n)
        table.append(at(fields.zoneFirst + n * fields.zoneStride));
    return table;
}

QString zoneCaption(const NameTable& table, int zone) {
    const int index = names::kUsers + zone - 1;
    const QString name = index >= 0 && index < table.size() ? table.at(index) : QString();
    return isBlankName(name) ? QStringLiteral("IN%1").arg(zone) : name;
}
