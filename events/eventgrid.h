#pragma once

#include <QTableWidget>
#include <array>

#include "events/eventrecord.h"

// The grid both event windows show records in: 14 columns, the first a fixed column of row
// numbers. Widths are the least each column gets; a column also gets room for its header and
// for the widest text it shows, so nothing is cut whatever the font.
constexpr int kEventGridColumns = 14;
void setupEventGrid(QTableWidget* grid, ZoneUserVariant variant,
                    const std::array<int, kEventGridColumns>& widths);

// Writes a decoded record into columns 1..13 of a grid row (0-based); a record that is not
// shown empties them.
void fillEventRow(QTableWidget* grid, int row, const EventRow& record);

// The width the grid needs to show every column without a horizontal scroll bar.
int eventGridWidth(const QTableWidget* grid);
