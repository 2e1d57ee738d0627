#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

// What telvora-cli needs of the terminal, on POSIX and on Windows.
namespace cliterminal {

bool stdinIsTerminal();
bool stderrIsTerminal();

// Writes `prompt` to standard error and reads one line from standard input with the echo off;
// nothing at the end of input or when the terminal cannot be set.
std::optional<QString> readHidden(const QString& prompt);

// Exit codes of a command ended by a signal, as a shell reports a process killed by it.
constexpr int kExitInterrupted = 130;  // SIGINT, Ctrl+C
constexpr int kExitTerminated = 143;   // SIGTERM

// While it lives, Ctrl+C (SIGINT) and SIGTERM no longer end the program on the spot: each is
// handed to `onSignal` on the event loop's thread, with the exit code it stands for, so the
// running command can end its exchange with the module cleanly and say where it left it.
// The signal handler itself only writes one byte, which the event loop then picks up.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void(int exitCode)> onSignal);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

}  // namespace cliterminal
