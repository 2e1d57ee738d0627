#include "params/digitgrid.h"

#include <QKeyEvent>
#include <QPainter>

namespace {
constexpr int kCellPadding = 6;
const QColor kInfoBackground(255, 255, 225);  // light yellow of the hexadecimal grids
}  // namespace

DigitGrid::DigitGrid(grid::Family family, int cells, QWidget* parent)
    : QWidget(parent), m_family(family) {
    m_state.cells = QString(cells, grid::kEmpty);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void DigitGrid::setCells(const QString& cells) {
    for (int i = 0; i < cellCount(); ++i)
        m_state.cells[i] =
            grid::validateCell(m_family, i < cells.size() ? QString(cells[i]) : QString());
    update();
}

void DigitGrid::setCurrentCell(int i) {
    m_state.current = qBound(0, i, cellCount() - 1);
    update();
}

int DigitGrid::cellWidth() const {
    return fontMetrics().horizontalAdvance(QLatin1Char('0')) + kCellPadding;
}

QSize DigitGrid::sizeHint() const {
    return {cellCount() * cellWidth() + 1, fontMetrics().height() + kCellPadding};
}

void DigitGrid::keyPressEvent(QKeyEvent* event) {
    // Navigation keys keep their meaning; every character is the grid's alone.
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        setCurrentCell(m_state.current + (event->key() == Qt::Key_Left ? -1 : 1));
        return;
    }
    const QString text =
        event->key() == Qt::Key_Backspace ? QString(QChar(grid::kBackspace)) : event->text();
    for (QChar c : text) typeKey(c);
    event->accept();
}

void DigitGrid::typeKey(QChar key) {
    grid::applyKey(m_family, m_state, key);
    update();
}

void DigitGrid::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    setCurrentCell(int(event->position().x()) / cellWidth());
}

void DigitGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = cellWidth();
    const int h = height() - 1;
    const QColor background =
        m_family == grid::Family::Hex ? kInfoBackground : palette().color(QPalette::Base);
    for (int i = 0; i < cellCount(); ++i) {
        const QRect r(i * w, 0, w, h);
        const bool current = i == m_state.current && hasFocus();
        p.fillRect(r, current ? palette().color(QPalette::Highlight) : background);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(r);
        p.setPen(current ? palette().color(QPalette::HighlightedText)
                         : palette().color(QPalette::Text));
        p.drawText(r, Qt::AlignCenter, QString(m_state.cells[i]));
    }
}
