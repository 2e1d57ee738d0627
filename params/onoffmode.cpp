#include "params/onoffmode.h"

#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

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
        auto* item = new QRadioButton(itemTexts()[i], rgOnOffModeBox);
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

void TFormOnOffMode::btCloseClick() {
    if (m_target && itemIndex() >= 0) m_target->setValue(itemIndex());
    accept();
}
