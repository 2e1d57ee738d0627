#pragma once

#include <QByteArray>
#include <QLocale>
#include <optional>

#include "status/statusframe.h"

class ModuleExchange;

// One status frame asked for on purpose, rather than by the window's running polls: the
// same authorised poll, sent again a few times while nothing usable comes back.
namespace statuspoll {

struct Result {
    enum Outcome {
        Done,
        WrongCode,   // "PWDERR": the code carried by the poll was refused
        NoAnswer,    // nothing came to any poll
        BadFrames,   // status lines came, none of them one this program can read
        PortLost,
    } outcome = NoAnswer;
    std::optional<StatusView> view;  // on Done
    QByteArray line;                 // the frame as it came, on Done
};

constexpr int kPolls = 3;
constexpr int kTicksPerPoll = 10;

// Inside the caller's exchange, which keeps the keep-alive's answers out of the wait.
Result pollOnce(ModuleExchange& exchange, const QLocale& locale = QLocale::c(),
                int polls = kPolls, int ticksPerPoll = kTicksPerPoll);

}  // namespace statuspoll
