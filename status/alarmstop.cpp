#include "status/alarmstop.h"

#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/texts.h"

namespace alarmstop {

namespace {
// A keep-alive's answer comes within a line's round trip; this is ample.
constexpr int kKeepAliveSettleTicks = 5;
}  // namespace

Verdict sendAndAwait(ModuleExchange& exchange) {
    ModuleLink& link = exchange.link();
    // A keep-alive sent just before the exchange paused it may still be answered; that
    // "PWDOK" must land before the flags are cleared, not after.
    if (link.keepAliveAwaited())
        link.waitFor(link.tickCounter(), kKeepAliveSettleTicks,
                     [&] { return !link.keepAliveAwaited() || link.flag(Flag::PortLost); });
    link.clearFlags({Flag::PasswordOk, Flag::PasswordError});
    link.SendAuthorised(proto::kAuthStopAlarm);
    switch (link.wait(link.tickCounter(), proto::kAlarmStopTicks,
                      {Flag::PasswordOk, Flag::PasswordError, Flag::PortLost})) {
        case Flag::PasswordOk:
            return Verdict::Stopped;
        case Flag::PasswordError:
            return Verdict::WrongCode;
        default:
            return Verdict::NoAnswer;
    }
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
