#include "radio/radiocommand.h"

#include "link/exchange.h"

namespace radio {

bool commandBetweenPauses(ModuleExchange& exchange, int command, int pause,
                          const std::function<bool(int)>& hold) {
    if (!hold(pause)) return false;
    exchange.sendAuthorised(command);
    hold(pause);
    return true;
}

}  // namespace radio
