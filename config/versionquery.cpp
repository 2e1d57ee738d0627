#include "config/versionquery.h"

#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/textcodec.h"
#include "link/texts.h"

namespace {
const char* const kQueryRunning = "Programverzió lekérdezése...";
const char* const kQueryFailed = "Leolvasás sikertelen.";

QByteArray zeroEndedField(const frame::Frame& page, int first) {
    QByteArray out;
    for (int i = first; i < first + proto::kVersionFieldLength && page[i] != 0; ++i) out.append(char(page[i]));
    return out;
}
}  // namespace

VersionPage parseVersionPage(const frame::Frame& page) {
    VersionPage v;
    v.firmwareText = zeroEndedField(page, proto::kVersionTextOffset);
    // A leading "0" makes an empty field read as 0; a field that is no number reads as 0 too.
    bool ok = false;
    const int value = (QByteArray("0") + zeroEndedField(page, proto::kVersionDigitsOffset)).toInt(&ok, 10);
    v.dataVersion = ok ? value : 0;
    return v;
}

QString runVersionQuery(ModuleExchange& exchange) {
    ModuleLink& link = exchange.link();
    if (!link.connected()) return QString::fromUtf8(texts::kNoSerial);
    link.setStatusText(QString::fromUtf8(kQueryRunning));
    QString result;
    bool ok = false;
    frame::Frame page{};
    if (!exchange.login()) {
        result = exchange.verdict();
    } else if (exchange.readPage(quint16(proto::kVersionPage),
                                 ModuleExchange::PageCheck::WholeNumber,
                                 page) == ModuleExchange::PageResult::Ok) {
        const VersionPage v = parseVersionPage(page);
        link.setDataVer(v.dataVersion);
        result = QStringLiteral("Programverzió: ") + fromModuleText(v.firmwareText) +
                 QStringLiteral("       (DataVer=%1)").arg(v.dataVersion);
        ok = true;
    }
    // Stopped inside a transfer: nothing failed, and the query is over.
    link.setStatusText(ok || exchange.stopRequested() ? QString()
                                                      : QString::fromUtf8(kQueryFailed));
    return result;
}

QString dataVersionMismatchText(int moduleDataVer) {
    return QStringLiteral(
               "Ehhez a GSM-Korvanta programverzióhoz másik Korvanta Telvora program szükséges!   "
               "(KorvantaDataVer=%1 , TelvoraDataVer=%2)")
        .arg(moduleDataVer)
        .arg(TelvoraDataVer);
}
