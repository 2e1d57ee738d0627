#pragma once

#include <QByteArray>
#include <QString>

// The module and the files of this program speak Windows-1250.
QString fromModuleText(const QByteArray& bytes);
QByteArray toModuleText(const QString& text);

// A control character: C0, DEL or C1. Text from the module or a file holds them as data, and a
// terminal would act on them (ESC and CSI start sequences, DCS and SOS swallow what follows).
constexpr bool isControlCharacter(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Appends `text` with each control character written as an escape ("\r", "\n", "\t", else
// "\xNN") and each backslash as "\\": what is printed stays on its line, is shown rather than
// obeyed, and reads back unambiguously.
void appendEscapedText(QString& out, const QString& text);
QString escapedText(const QString& text);
