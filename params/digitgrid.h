#pragma once

#include <QWidget>

#include "params/digitgridrules.h"

// One row of one-character cells with a current cell; characters get in only through the
// family's key rule, so a grid never holds anything its memory field cannot store.
class DigitGrid : public QWidget {
    Q_OBJECT
public:
    DigitGrid(grid::Family family, int cells, QWidget* parent = nullptr);

    grid::Family family() const { return m_family; }
    int cellCount() const { return int(m_state.cells.size()); }
    // Cells as one string, a blank for an empty cell.
    QString cells() const { return m_state.cells; }
    void setCells(const QString& cells);
    QString cell(int i) const { return QString(m_state.cells.at(i)).trimmed(); }
    // One typed character through the family's key rule.
    void typeKey(QChar key);
    void setCurrentCell(int i);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int cellWidth() const;
    grid::Family m_family;
    grid::State m_state;
};
