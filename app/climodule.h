#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>

#include "link/timing.h"

// telvora-cli's commands that talk to a module on a serial port.
namespace climodule {

// The program's exit codes, for every command.
constexpr int kOk = 0;
constexpr int kDifferent = 1;  // compare, diff: something differs
constexpr int kError = 2;

// Text as UTF-8 onto standard output or error.
void print(FILE* to, const QString& text);

// Asked from outside for the running command to end (a signal): the exchange with the module
// stops before its next page, and the command ends with one line saying what state it left
// the module in, and this exit code.
class Interruption {
public:
    void request(int exitCode) {
        if (m_exitCode != 0) return;  // the first one counts
        m_exitCode = exitCode;
        if (m_onRequest) m_onRequest();
    }
    bool requested() const { return m_exitCode != 0; }
    int exitCode() const { return m_exitCode; }
    // What stops the exchange that runs; set by the command while it holds the link.
    void setOnRequest(std::function<void()> onRequest) { m_onRequest = std::move(onRequest); }

private:
    int m_exitCode = 0;
    std::function<void()> m_onRequest;
};

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
    Interruption* interruption = nullptr;  // none: nothing can interrupt the command
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
