#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <optional>

// The settings file keeps a grid's own line format, so files of earlier runs read back:
// "cols,rows", then "cw i,width" per column, then "col,row,text" per non-empty cell, each line
// ended by CR LF; in a text CR is stored as 0x09 and LF as 0x08.
struct SettingsGrid {
    int columns = 2;
    int rows = 1;
    QList<int> widths{20, 20};
    QMap<QPair<int, int>, QString> cells;  // (column, row) -> text
};

// Empty when the file is rejected: no size line, 0 columns or rows, a malformed line, or a
// cell outside the grid.
std::optional<SettingsGrid> parseSettingsGrid(const QByteArray& bytes);
QByteArray formatSettingsGrid(const SettingsGrid& grid);

// Larger files are rejected unread.
// Larger files are rejected unread.
constexpr int kSetupIniMaxBytes = 1 << 20;

struct Setup {
    QString port;   // cell 0,0
    QString phone;  // cell 1,0
};

std::optional<Setup> readSetupIni(const QString& path);
// Writes through a temporary file and a rename, so a failed write leaves the old file intact.
// On failure returns false with "Cannot Create " + path in *error.
bool writeSetupIni(const QString& path, const Setup& setup, QString* error = nullptr);
