#include "events/pagedownload.h"

#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/pageframe.h"
#include "link/protocol.h"

const PageDownloadPlan kEventListPlan{proto::kEventFirstPage, proto::kEventPageCount,
                                      "Eseménylista letöltése...", "Eseménylista letöltése ",
                                      "Eseménylista letöltve."};
const PageDownloadPlan kNamesPlan{
    proto::kNameFirstPage, proto::kNamePageCount, "Zóna és Felhasználói nevek letöltése...",
    "Zóna és Felhasználói nevek letöltése ", "Zóna és Felhasználói nevek letöltve."};

QString downloadFailedText() { return QStringLiteral("Leolvasás sikertelen."); }

DownloadOutcome downloadPages(ModuleExchange& exchange, const PageDownloadPlan& plan,
                              QByteArray* pages, const std::function<void(const QString&)>& status,
                              QString* verdict) {
    if (!exchange.link().connected()) return DownloadOutcome::NotConnected;
    status(QString::fromUtf8(plan.running));
    if (!exchange.login()) {
        status(downloadFailedText());
        if (verdict) *verdict = exchange.verdict();
        return DownloadOutcome::LoginFailed;
    }
    QByteArray staged;
    int failedAt = -1;
    exchange.readPages(
        quint16(plan.firstPage), plan.pageCount, ModuleExchange::PageCheck::LowByte,
        [&](int p, const frame::Frame& f) {
            status(QString::fromUtf8(plan.pageDone) + QString::number(p) + QStringLiteral("..."));
            staged += frame::data(f);
            return true;
        },
        &failedAt);
    if (failedAt >= 0) {
        status(downloadFailedText());
        return DownloadOutcome::Failed;
    }
    *pages = staged;
    status(QString::fromUtf8(plan.done));
    return DownloadOutcome::Done;
}
