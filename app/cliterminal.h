#pragma once

#include <QString>
#include <optional>

// What telvora-cli needs of the terminal, on POSIX and on Windows.
namespace cliterminal {

bool stdinIsTerminal();
bool stderrIsTerminal();

// Writes `prompt` to standard error and reads one line from standard input with the echo off;
// nothing at the end of input or when the terminal cannot be set.
std::optional<QString> readHidden(const QString& prompt);

}  // namespace cliterminal
