#include "params/editorrows.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

namespace editor {

QString rowCaption(int n, const char* word) {
    return QStringLiteral("%1%2").arg(n < 10 ? QStringLiteral("  ") : QString()).arg(n) +
           QString::fromUtf8(word);
}

QWidget* scrolled(QWidget* content) {
    auto* area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

QCheckBox* centredCheck(QGridLayout* grid, int row, int col, QWidget* parent) {
    auto* box = new QCheckBox(parent);
    grid->addWidget(box, row, col, Qt::AlignCenter);
    return box;
}

QHBoxLayout* fixedRow(QWidget* owner) {
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);
    return row;
}

void addFixed(QHBoxLayout* row, QWidget* w, int width) {
    w->setFixedWidth(width);
    row->addWidget(w);
}

void addCentred(QHBoxLayout* row, QWidget* w, int width) {
    auto* cell = new QWidget;
    auto* cellLayout = new QHBoxLayout(cell);
    cellLayout->setContentsMargins(0, 0, 0, 0);
    cellLayout->addWidget(w, 0, Qt::AlignCenter);
    addFixed(row, cell, width);
}

QVBoxLayout* rowsColumn(QWidget* rows) {
    auto* column = new QVBoxLayout(rows);
    column->setSpacing(1);
    column->setContentsMargins(0, 2, 0, 2);
    return column;
}

QLabel* centred(const QString& text) {
    auto* l = new QLabel(text);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    return l;
}

QLabel* boldLabel(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont bold = l->font();
    bold.setBold(true);
    l->setFont(bold);
    return l;
}

int boxWidthFor(const QWidget* box, int chars, QChar widest) {
    // The style adds the frame and the text margins around the text itself.
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
    const QSize text(box->fontMetrics().horizontalAdvance(QString(chars, widest)),
                     box->fontMetrics().height());
    const QSize size = box->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, box);
    // A QLineEdit keeps a few pixels of its own inside the frame.
    return size.width() + 8;
}

}  // namespace editor
