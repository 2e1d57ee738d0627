#include "params/trafficmask.h"

#include "link/pageframe.h"
#include "link/protocol.h"
#include "params/layout.h"

namespace trafficmask {

QString hideCodes(const QString& line) {
    const QString token = QString::fromLatin1(proto::kReadFrame);
    if (!line.startsWith(token) || line.size() != token.size() + frame::kHexDigits) return line;
    // The page number is read from the digits whether or not the checksum holds: a damaged
    // frame shows its codes as plainly as a good one.
    bool ok = false;
    const int page = line.mid(token.size() + 2 * frame::kPageHighOffset, 4).toInt(&ok, 16);
    if (!ok || page < proto::kConfigFirstPage ||
        page >= proto::kConfigFirstPage + proto::kConfigPageCount)
        return line;
    const int first = (page - proto::kConfigFirstPage) * frame::kDataSize;
    QString out = line;
    layout::forEachInstance([&](const layout::Instance& i) {
        if (i.field->kind != layout::Kind::Code) return;
        for (int b = 0; b < i.field->size; ++b) {
            const int at = i.offset + b - first;
            if (at < 0 || at >= frame::kDataSize) continue;
            out.replace(token.size() + 2 * at, 2, QStringLiteral("**"));
        }
    });
    return out;
}

}  // namespace trafficmask
