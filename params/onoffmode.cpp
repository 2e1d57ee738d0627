#include "params/onoffmode.h"

#include <QHBoxLayout>

#include "base/windowfit.h"
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

PhraseRadioButton::PhraseRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent) {}

QStringList PhraseRadioButton::phrases(const QString& text) {
    static const QRegularExpression blankRun(QStringLiteral(" {2,}"));
    return text.trimmed().split(blankRun, Qt::SkipEmptyParts);
}

int PhraseRadioButton::indent() const { return fontMetrics().horizontalAdvance(QStringLiteral("0 - ")); }

QSize PhraseRadioButton::sizeHint() const {
    const QStringList lines = phrases(text());
    int width = 0;
    for (int i = 0; i < lines.size(); ++i)
        width = qMax(width, (i == 0 ? 0 : indent()) + fontMetrics().horizontalAdvance(lines[i]));
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    const QSize indicator = style()->sizeFromContents(QStyle::CT_RadioButton, &option, QSize(), this);
    const int spacing = style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &option, this);
    return QSize(indicator.width() + spacing + width,
                 qMax(indicator.height(), int(lines.size()) * fontMetrics().lineSpacing()));
}

void PhraseRadioButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_RadioButton, option);
    option.text = text();
    const QRect contents = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
    const QStringList lines = phrases(text());
    int y = contents.top() + (contents.height() - int(lines.size()) * fontMetrics().lineSpacing()) / 2;
    for (int i = 0; i < lines.size(); ++i, y += fontMetrics().lineSpacing())
        painter.drawText(QRect(contents.left() + (i == 0 ? 0 : indent()), y,
                               contents.width(), fontMetrics().lineSpacing()),
                         Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
}

const QStringList& TFormOnOffMode::itemTexts() {
    // The blank runs lay the texts out in columns across the wide group.
    static const QStringList texts{
        QStringLiteral("0 - Csak a kezelőn keresztül"),
        QStringLiteral("1 - Kapcsolóval:") + QString(64, QLatin1Char(' ')) +
            QStringLiteral("Folyamatos 1k = Élesített ,") + QString(19, QLatin1Char(' ')) +
            QStringLiteral("Folyamatos 2k = Kikapcsolt,") + QString(6, QLatin1Char(' ')) +
            QStringLiteral("(egyéb = szabotázs)"),
        QStringLiteral("2 - Kétféle impulzussal:") + QString(5, QLatin1Char(' ')) +
            QStringLiteral("Folyamatos 2k = alaphelyzet,") + QString(4, QLatin1Char(' ')) +
            QStringLiteral("Rövidzár impulzus = Élesítés,") + QString(14, QLatin1Char(' ')) +
            QStringLiteral("1k Impulzus = Kikapcsolás") + QString(8, QLatin1Char(' ')) +
            QStringLiteral("(szakadás = szabotázs)"),
        QStringLiteral("3 - Egyféle impulzussal:") + QString(4, QLatin1Char(' ')) +
            QStringLiteral("Folyamatos 2k = alaphelyzet,") + QString(4, QLatin1Char(' ')) +
            QStringLiteral("1k impulzus = Élesítés/Kikapcsolás,") + QString(54, QLatin1Char(' ')) +
            QStringLiteral("(egyéb = szabotázs)"),
    };
    return texts;
}

TFormOnOffMode::TFormOnOffMode(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Élesítés / Kikapcsolás módja az A és B bemeneteken"));
    rgOnOffModeBox = new QGroupBox(QStringLiteral("Élesítés / Kikapcsolás"), this);
    rgOnOffModeBox->setObjectName(QStringLiteral("rgOnOffModeBox"));
    rgOnOffMode = new QButtonGroup(this);
    rgOnOffMode->setObjectName(QStringLiteral("rgOnOffMode"));
    auto* items = new QVBoxLayout(rgOnOffModeBox);
    for (int i = 0; i < itemTexts().size(); ++i) {
        auto* item = new PhraseRadioButton(itemTexts()[i], rgOnOffModeBox);
        rgOnOffMode->addButton(item, i);
        items->addWidget(item);
    }
    btClose = new QPushButton(QStringLiteral("Bezárás"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    connect(btClose, &QPushButton::clicked, this, &TFormOnOffMode::btCloseClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rgOnOffModeBox);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btClose);
    layout->addLayout(row);
}

void TFormOnOffMode::setItemIndex(int index) {
    if (QAbstractButton* b = rgOnOffMode->button(index)) b->setChecked(true);
}

void TFormOnOffMode::fitTo(const QRect& available) {
    const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(16, 40);
    const QRect f = fittedFrame(sizeHint(), available, frame);
    resize(f.size() - frame);
    move(f.topLeft());
}

void TFormOnOffMode::btCloseClick() {
    if (m_target && itemIndex() >= 0) m_target->setValue(itemIndex());
    accept();
}
