#include "base/lineopening.h"

#include "base/dialogs.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/texts.h"

bool withLine(ModuleLink& link, const std::function<void(const QString&)>& busy,
              const std::function<void(ModuleExchange&)>& body) {
    ModuleExchange exchange(link);
    if (!exchange.acquired()) {
        busy(QString::fromUtf8(texts::kBusy));
        return false;
    }
    body(exchange);
    return true;
}

bool withModule(ModuleLink& link, UserDialogs& dialogs,
                const std::function<void(const QString&)>& busy,
                const std::function<void(ModuleExchange&)>& body) {
    if (!link.connected()) {
        dialogs.message(QString::fromUtf8(texts::kNoSerial));
        return false;
    }
    return withLine(link, busy, body);
}
