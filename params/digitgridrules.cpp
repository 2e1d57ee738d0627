#include "params/digitgridrules.h"

namespace grid {

namespace {
bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
bool isHexDigit(QChar c) { return isDigit(c) || (c >= QLatin1Char('A') && c <= QLatin1Char('F')); }
}  // namespace

void applyKey(Family family, State& s, QChar key) {
    const int last = int(s.cells.size()) - 1;
    if (last < 0) return;
    if (family == Family::Hex && key >= QLatin1Char('a') && key <= QLatin1Char('z'))
        key = key.toUpper();
    if (key.unicode() == kBackspace) {
        if (s.current > 0) --s.current;
        // The telephone grid empties the rest of the number; a hex code is never shorter.
        const QChar fill = family == Family::Telephone ? kEmpty : QLatin1Char('0');
        for (int i = s.current; i <= last; ++i) s.cells[i] = fill;
        return;
    }
    if (!(family == Family::Telephone ? isDigit(key) : isHexDigit(key))) return;
    s.cells[s.current] = key;
    // In the last cell a further character replaces the one there.
    if (s.current < last) ++s.current;
}

QChar validateCell(Family family, const QString& text) {
    const QChar first = text.isEmpty() ? kEmpty : text.at(0);
    if (family == Family::Telephone) return isDigit(first) ? first : kEmpty;
    const QChar upper = first.toUpper();
    return isHexDigit(upper) ? upper : kEmpty;
}

}  // namespace grid
