#pragma once

#include <QByteArray>
#include <QString>

// The module and the files of this program speak Windows-1250.
QString fromModuleText(const QByteArray& bytes);
QByteArray toModuleText(const QString& text);
