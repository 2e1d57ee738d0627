#pragma once

#include <QByteArray>
#include <QString>

// The digits '0'..'9' of the installer code box, in order; everything else is dropped.
QString installerCodeDigits(const QString& text);

// Six characters authorising a command: digit d becomes the hex digit of 15 - d, a missing
// digit "0". Digits beyond the sixth are not used. The module stores codes the same way.
QByteArray codeString(const QString& installerCode);

// Text of authorised command k (without CR), or empty when k names no command.
QByteArray authorisedCommand(int k, const QString& installerCode);
