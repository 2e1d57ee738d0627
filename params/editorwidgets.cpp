#include "params/editorwidgets.h"

#include <QLineEdit>
#include <QPainter>

namespace {
constexpr int kPadding = 4;
}

VerticalLabel::VerticalLabel(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize VerticalLabel::sizeHint() const {
    const QFontMetrics fm(font());
    const QStringList lines = m_text.split(QLatin1Char('\n'));
    int longest = 0;
    for (const QString& l : lines) longest = qMax(longest, fm.horizontalAdvance(l));
    return {int(lines.size()) * fm.height() + kPadding, longest + 2 * kPadding};
}

void VerticalLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    const QStringList lines = m_text.split(QLatin1Char('\n'));
    // Rotate so the text runs upwards, anchored at the bottom: the headings line up with the
    // row area below them.
    p.translate(0, height());
    p.rotate(-90);
    const int left = (width() - int(lines.size()) * fm.height()) / 2;
    for (int i = 0; i < lines.size(); ++i)
        p.drawText(kPadding, left + i * fm.height() + fm.ascent(), lines[i]);
}

QSpinBox* makeSpinner(QWidget* parent, const QString& name, const QString& boxName, int min,
                      int max, int initial) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(min, max);
    spin->setValue(initial);
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    spin->setKeyboardTracking(false);
    if (auto* box = spin->findChild<QLineEdit*>()) box->setObjectName(boxName);
    return spin;
}
