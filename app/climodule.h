#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

#include "link/timing.h"

// telvora-cli's commands that talk to a module on a serial port.
namespace climodule {

// The program's exit codes, for every command.
constexpr int kOk = 0;
constexpr int kDifferent = 1;  // compare, diff: something differs
constexpr int kError = 2;

// Text as UTF-8 onto standard output or error.
void print(FILE* to, const QString& text);

struct Options {
    QString port;  // "COM5"
    QString code;  // the installer code's digits; never printed, never written
    Timings timings;
    bool backup = true;  // write: save what the module held first
    bool verify = true;  // write: read back and compare afterwards
    bool csv = false;    // events
    bool json = false;   // status
    bool set = false;    // clock
    QStringList files;   // read OUT, write IN, compare IN
};

// The commands that need a module, and how many files each takes.
bool isModuleCommand(const QString& command);
int fileCount(const QString& command);

// Runs one command and returns the program's exit code; reasons go to standard error as one
// line. Must run inside the application's event loop: every wait processes its events.
int run(const QString& command, const Options& options);

// A progress line: "read  [#########...........]  3/8 blocks, 2 s left". The time left is
// left out while nothing is known to estimate it from (msLeft < 0).
QString progressLine(const QString& label, int done, int total, qint64 msLeft);

}  // namespace climodule
