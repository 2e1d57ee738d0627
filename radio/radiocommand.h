#pragma once

#include <functional>

class ModuleExchange;

namespace radio {

// A teach or delete-all command of the radio window, whose polls share the line: the polls
// are held for `pause` ticks, the command goes out, and they are held as long again so the
// module has its quiet while it works. `hold` holds the polls and says whether the line is
// ours; when it is not (the window closed, the port went) nothing is sent. True when the
// command went out.
bool commandBetweenPauses(ModuleExchange& exchange, int command, int pause,
                          const std::function<bool(int pause)>& hold);

}  // namespace radio
