#pragma once

#include <QChar>
#include <QString>

// The digit grids of the editor hold one character per cell and take characters only through
// their key rules: telephone numbers (digits, 16 cells) and hexadecimal codes (Contact-ID and
// account number).
namespace grid {

enum class Family { Telephone, Hex };

constexpr QChar kEmpty = QLatin1Char(' ');
constexpr char16_t kBackspace = 8;

struct State {
    QString cells;    // one character per cell, kEmpty for an empty cell
    int current = 0;  // the current cell
};

// Applies one typed character. Every key is consumed, whether or not it changed anything.
void applyKey(Family family, State& state, QChar key);

// A cell's text changed in place rather than through the keys: what the cell keeps.
QChar validateCell(Family family, const QString& text);

}  // namespace grid
