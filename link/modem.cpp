#include "link/modem.h"

#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/textcodec.h"
#include "link/texts.h"

namespace modem {

namespace {
const QByteArray kDial("ATD");
const QByteArray kHangUp("ATH");
const QByteArray kEscape("+++");

// Sends "AT" or "ATH" with echo and waits for "OK" (and the abort flag where it counts).
bool askOk(ModuleLink& link, const QByteArray& command, int ticks, bool abortable) {
    link.clearFlags({Flag::Ok});
    link.SendCommandEcho(command);
    // A lost port ends the wait: nothing more can come.
    const Flag got = abortable
                         ? link.wait(link.delayCounter(), ticks, {Flag::Ok, Flag::Abort, Flag::PortLost})
                         : link.wait(link.delayCounter(), ticks, {Flag::Ok, Flag::PortLost});
    return got == Flag::Ok;
}
}  // namespace

bool dial(ModuleLink& link, const QString& number,
          const std::function<void(const QString&)>& tell) {
    link.clearFlags({Flag::Abort, Flag::PortLost});
    if (link.GetInstallerCode().isEmpty()) {
        tell(QString::fromUtf8(kNoCode));
        return false;
    }
    if (number.isEmpty()) {
        tell(QString::fromUtf8(kNoNumber));
        return false;
    }
    if (link.lineHeld()) {
        // An exchange, or another dial, talks to the module: an "AT" now would answer into it.
        link.setStatusText(QString::fromUtf8(texts::kBusy));
        return false;
    }
    const ModuleLink::ModemHold hold(link, ModuleLink::ModemActivity::Dialling);
    if (!link.connected()) {
        tell(QString::fromUtf8(texts::kNoSerial));
    } else {
        link.setStatusText(QString::fromUtf8(kDialling));
        for (int i = 0; i < kProbes; ++i)
            if (askOk(link, proto::kModemAt, kProbeTicks, true) || link.flag(Flag::Abort) ||
                link.flag(Flag::PortLost))
                break;
        // A modem that answered a probe must answer once more before it is asked to dial.
        const bool ready = askOk(link, proto::kModemAt, kProbeTicks, true);
        if (ready && !link.flag(Flag::Abort))
            link.SendRaw(kDial + toModuleText(number) + proto::kLineEnd);
        link.clearFlags({Flag::Connect});
        link.wait(link.delayCounter(), kConnectTicks, {Flag::Connect, Flag::Abort, Flag::PortLost});
    }
    const bool connected = link.flag(Flag::Connect);
    if (!connected) link.setStatusText(QString::fromUtf8(kNoConnection));
    return connected;
}

bool probe(ModuleLink& link) {
    if (link.lineHeld()) return false;
    link.SendCommandEcho(proto::kModemAt);
    return true;
}

void hangUp(ModuleLink& link) {
    link.setAbort();
    const ModuleLink::ModemHold hold(link, ModuleLink::ModemActivity::HangingUp);
    link.clearFlags({Flag::PortLost});
    if (link.connected()) {
        link.setStatusText(QString::fromUtf8(kHangingUp));
        bool ok = false;
        for (int i = 0; i < kHangUpTries && !ok; ++i)
            ok = askOk(link, kHangUp, kHangUpTicks, false);
        if (!ok && !link.flag(Flag::PortLost)) {
            link.wait(link.delayCounter(), kEscapeGuardTicks, {Flag::PortLost});
            link.SendRaw(kEscape);
            link.wait(link.delayCounter(), kEscapeGuardTicks, {Flag::PortLost});
            for (int i = 0; i < kAfterEscapeTries && !ok; ++i)
                ok = askOk(link, kHangUp, kAfterEscapeTicks, false);
        }
        const bool finalOk = askOk(link, kHangUp, kFinalHangUpTicks, false);
        link.setStatusText(QString::fromUtf8(ok || finalOk ? kHungUp : kHangUpFailed));
    }
}

}  // namespace modem
