#pragma once

#include <QString>

class QCheckBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class QWidget;

// Builders the editor pages share: row captions, scrolled pages, and the fixed-width rows of
// the two long scrolled lists, whose columns line up with their heading whichever row is in view.
namespace editor {

constexpr int kCaptionWidth = 170;  // row captions of the scrolled lists
constexpr int kCheckWidth = 34;     // a check column

// "  1. Zóna" .. "12. Zóna": numbers below 10 get two leading blanks so the captions line up.
QString rowCaption(int n, const char* word);
// A page in a scrolling area of its own, so a window smaller than the page never cuts it.
QWidget* scrolled(QWidget* content);
QCheckBox* centredCheck(QGridLayout* grid, int row, int col, QWidget* parent);

QHBoxLayout* fixedRow(QWidget* owner);
void addFixed(QHBoxLayout* row, QWidget* w, int width);
// A widget centred in a cell of fixed width.
void addCentred(QHBoxLayout* row, QWidget* w, int width);
QVBoxLayout* rowsColumn(QWidget* rows);
QLabel* centred(const QString& text);
QLabel* boldLabel(const QString& text, QWidget* parent);
// Width of a box that shows `chars` times `widest` in full, in the widget's font.
int boxWidthFor(const QWidget* box, int chars, QChar widest = QLatin1Char('W'));

}  // namespace editor
