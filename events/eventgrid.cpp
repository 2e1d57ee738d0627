#include "events/eventgrid.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "events/eventtexts.h"

namespace {
constexpr int kPadding = 12;

// The widest text a column of a row can hold, for its width.
QString widestContent(int column) {
    switch (column) {
        case 1:
            return QStringLiteral("00/00 - 00:00");
        case 2: {
            QString widest;
            for (int type = 1; type <= kShownEventTypes; ++type)
                if (eventShownText(type).trimmed().size() > widest.size())
                    widest = eventShownText(type).trimmed();
            return widest;
        }
        case 3:
            return QStringLiteral("F=13");
        case 13:
            return QStringLiteral("Aktív");
        default:
            return QStringLiteral("X");
    }
}
}  // namespace

void setupEventGrid(QTableWidget* grid, ZoneUserVariant variant,
                    const std::array<int, kEventGridColumns>& widths) {
    grid->setColumnCount(kEventGridColumns);
    const QStringList headers = eventGridHeaders(variant);
    grid->setHorizontalHeaderLabels(headers);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    // Nothing to edit or pick: a focus frame on a cell would only look like a selection.
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    const QFontMetrics header(grid->horizontalHeader()->font());
    const QFontMetrics cells(grid->font());
    for (int c = 0; c < kEventGridColumns; ++c)
        grid->setColumnWidth(
            c, std::max({widths[size_t(c)], header.horizontalAdvance(headers[c]) + kPadding,
                         cells.horizontalAdvance(widestContent(c)) + kPadding}));
    for (int r = 0; r < grid->rowCount(); ++r)
        for (int c = 0; c < kEventGridColumns; ++c) {
            auto* item = new QTableWidgetItem;
            if (c == 0) {
                // The fixed column looks like the header it continues.
                item->setBackground(grid->palette().button());
                item->setText(QString::number(r + 1));
            }
            if (c == 0 || c >= 4) item->setTextAlignment(Qt::AlignCenter);
            grid->setItem(r, c, item);
        }
}

void fillEventRow(QTableWidget* grid, int row, const EventRow& record) {
    auto set = [&](int c, const QString& text) { grid->item(row, c)->setText(text); };
    set(1, record.time);
    set(2, record.text);
    set(3, record.zoneUser);
    for (size_t m = 0; m < record.marks.size(); ++m) set(4 + int(m), record.marks[m]);
    set(13, record.status);
}

int eventGridWidth(const QTableWidget* grid) {
    int width = 2 * grid->frameWidth();
    if (grid->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        width += grid->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < grid->columnCount(); ++c) width += grid->columnWidth(c);
    return width;
}
