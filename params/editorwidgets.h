#pragma once

#include <QCheckBox>
#include <QList>
#include <QObject>
#include <QSpinBox>
#include <QWidget>

// A heading whose lines read bottom to top, for the narrow columns of the editor pages.
class VerticalLabel : public QWidget {
    Q_OBJECT
public:
    explicit VerticalLabel(const QString& text, QWidget* parent = nullptr);
    QString text() const { return m_text; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;  // lines separated by '\n', drawn side by side
};

// One check column: a check box in each row of a page, addressed as items of one control.
class CheckColumn : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    void append(QCheckBox* box) { m_items.append(box); }
    int count() const { return int(m_items.size()); }
    QCheckBox* item(int i) const { return m_items.at(i); }
    bool checked(int i) const { return m_items.at(i)->isChecked(); }
    void setChecked(int i, bool on) { m_items.at(i)->setChecked(on); }

private:
    QList<QCheckBox*> m_items;
};

// A spinner whose box, when left holding a number outside the range, takes the nearer end.
QSpinBox* makeSpinner(QWidget* parent, const QString& name, const QString& boxName, int min,
                      int max, int initial);
