#include "status/statuspoll.h"

#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"

namespace statuspoll {

Result pollOnce(ModuleExchange& exchange, const QLocale& locale, int polls, int ticksPerPoll) {
    ModuleLink& link = exchange.link();
    Result result;
    bool sawLine = false;
    // The receiver hands every status line over by signal; only the first readable one counts.
    // Let go however the poll ends, a serial error included: the handler holds our locals.
    struct Watch {
        QMetaObject::Connection c;
        ~Watch() { QObject::disconnect(c); }
    } watch;
    watch.c =
        QObject::connect(&link, &ModuleLink::statusFrameLine, &link, [&](const QByteArray& line) {
            if (result.view) return;
            sawLine = true;
            if (auto view = decodeStatusFrame(line, locale)) {
                result.view = view;
                result.line = line;
            }
        });
    for (int p = 0; p < polls && !result.view; ++p) {
        if (exchange.portLost()) break;
        exchange.sendAuthorised(proto::kAuthPollStatus);
        exchange.waitUntil([&] { return result.view.has_value() || exchange.refused(); },
                           ticksPerPoll);
        if (exchange.refused() && !result.view) break;
        if (exchange.stopRequested()) break;  // no further poll once asked to end
    }
    QObject::disconnect(watch.c);
    if (result.view)
        result.outcome = Result::Done;
    else if (exchange.portLost())
        result.outcome = Result::PortLost;
    else if (exchange.refused())
        result.outcome = Result::WrongCode;
    else
        result.outcome = sawLine ? Result::BadFrames : Result::NoAnswer;
    return result;
}

}  // namespace statuspoll
