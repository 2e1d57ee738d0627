#pragma once

#include <QString>
#include <functional>

class ModuleExchange;
class ModuleLink;
class UserDialogs;

// The opening every operation with the module shares. With the line held by someone else (an
// exchange, a dial, a hang-up) `busy` gets the busy text, to show where the operation reports,
// and `body` does not run: nothing is sent. Otherwise `body` runs inside a fresh exchange, which
// ends before this returns. True when `body` ran.
bool withLine(ModuleLink& link, const std::function<void(const QString& text)>& busy,
              const std::function<void(ModuleExchange&)>& body);

// The same for an operation that needs the port open first: without one the user is told
// " Nincs soros kapcsolat." in a box, and nothing runs.
bool withModule(ModuleLink& link, UserDialogs& dialogs,
                const std::function<void(const QString& text)>& busy,
                const std::function<void(ModuleExchange&)>& body);
