#include "status/alarmstop.h"

#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/texts.h"

namespace alarmstop {

Verdict sendAndAwait(ModuleExchange& exchange) {
    switch (exchange.authorisedCommand(proto::kAuthStopAlarm, proto::kAlarmStopTicks)) {
        case ModuleExchange::Verdict::Accepted:
            return Verdict::Stopped;
        case ModuleExchange::Verdict::Refused:
            return Verdict::WrongCode;
        case ModuleExchange::Verdict::NoAnswer:
            break;
    }
    return Verdict::NoAnswer;
}

std::optional<Verdict> stopBetweenPolls(ModuleExchange& exchange,
                                        const std::function<Hold(int)>& hold) {
    for (int pause : {kHoldBeforeExchange, kHoldBetweenStops}) {
        switch (hold(pause)) {
            case Hold::Held:
                break;
            case Hold::Lost:
                return Verdict::NoAnswer;
            case Hold::Gone:
                return std::nullopt;
        }
        exchange.sendAuthorised(proto::kAuthStopAlarm);
    }
    return sendAndAwait(exchange);
}

QString message(Verdict verdict) {
    switch (verdict) {
        case Verdict::Stopped:
            return QStringLiteral("Riasztási események leállítva!");
        case Verdict::WrongCode:
            return QString::fromUtf8(texts::kWrongCode);
        case Verdict::NoAnswer:
            break;
    }
    return QString::fromUtf8(texts::kModuleSilent);
}

}  // namespace alarmstop
