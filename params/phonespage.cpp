// Telephone numbers, sirens, test report, and the limits of the alarm.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "params/digitgrid.h"
#include "params/editorrows.h"
#include "params/flashaddr.h"
#include "params/paramform.h"

QWidget* TFormParSetting::buildPhonesPage() {
    // Left: the numbers with the siren frame under them; right: the other parameters.
    auto* page = new QWidget;
    auto* outer = new QHBoxLayout(page);
    auto* leftColumn = new QVBoxLayout;
    outer->addLayout(leftColumn);
    auto* numbers = new QGridLayout;
    numbers->setVerticalSpacing(6);
    leftColumn->addLayout(numbers);
    numbers->addWidget(new QLabel(QStringLiteral("Nyugtázás"), page), 0, 2);
    for (int i = 1; i <= FlashAddr::PhoneCount; ++i) {
        numbers->addWidget(new QLabel(QStringLiteral("%1. Telefonszám").arg(i), page), i, 0);
        numbers->addWidget(makeGrid("acgTel%d", i), i, 1);
        numbers->addWidget(makeDropDown("cbACK%d", i, page), i, 2);
    }
    int row = FlashAddr::PhoneCount + 1;
    for (int i = 1; i <= FlashAddr::CentrePhoneCount; ++i, ++row) {
        numbers->addWidget(new QLabel(QStringLiteral("%1. Központ tel.").arg(i), page), row, 0);
        numbers->addWidget(makeGrid("acgTelCentr%d", i), row, 1);
    }
    numbers->addWidget(new QLabel(QStringLiteral("Ügyfél azonosító"), page), row, 0);
    numbers->addWidget(makeGrid("acgUserAccount"), row++, 1);
    numbers->addWidget(new QLabel(QStringLiteral("SMS továbbítás"), page), row, 0);
    numbers->addWidget(makeGrid("acgSMSFW"), row++, 1);

    auto* frames = new QVBoxLayout;
    outer->addLayout(frames, 1);
    auto* sirens = new QGroupBox(QStringLiteral("Sziréna kimenetek beállítása:"), page);
    auto* sirenGrid = new QGridLayout(sirens);
    int r = 0;
    for (int o = 1; o <= FlashAddr::OutputCount; ++o) {
        sirenGrid->addWidget(new QLabel(QStringLiteral("OUT %1 :").arg(o), sirens), r, 0);
        sirenGrid->addWidget(makeDropDown("cbOUT%dmode", o, sirens), r++, 1, 1, 2);
        sirenGrid->addWidget(
            new QLabel(QStringLiteral("Start késleltetés ( 0-255 sec ) :"), sirens), r, 1,
            Qt::AlignRight);
        sirenGrid->addWidget(makeSpin("UdOUT%ddelay", o, sirens), r++, 2);
        sirenGrid->addWidget(
            new QLabel(QStringLiteral("Maximális időtartam ( 1-25 perc ) :"), sirens), r, 1,
            Qt::AlignRight);
        sirenGrid->addWidget(makeSpin("UdOUT%dtime", o, sirens), r++, 2);
    }
    sirenGrid->addWidget(new QLabel(QStringLiteral("Tesztjelentés időpontja (óó:pp) :"), sirens), r,
                         0, 1, 2);
    const layout::Instance testTime = fieldOf("meTesztIdopont");
    meTesztIdopont = new QLineEdit(sirens);
    meTesztIdopont->setObjectName(testTime.name());
    // An optional digit, a required digit, ":", two required digits; blanks show as "_".
    meTesztIdopont->setInputMask(QStringLiteral("09:99;_"));
    meTesztIdopont->setFixedWidth(62);
    registerControl(meTesztIdopont);
    sirenGrid->addWidget(meTesztIdopont, r++, 2);
    sirenGrid->addWidget(
        new QLabel(QStringLiteral("Tesztjelentés gyakorisága (0 - 255 nap) :"), sirens), r, 0, 1,
        2);
    sirenGrid->addWidget(makeSpin("udTesztGyak", 1, sirens), r++, 2);
    leftColumn->addSpacing(10);
    leftColumn->addWidget(sirens);
    leftColumn->addStretch();

    // The captions here break only where their own line ends are; the page scrolls if the
    // window is too narrow, rather than wrap a caption inside its parenthesis.
    auto* other = new QGroupBox(page);
    auto* otherGrid = new QGridLayout(other);
    // The mode's spinner and button sit under its caption, so the column stays narrow enough
    // for the page to fit a 1024-pixel screen.
    otherGrid->addWidget(
        new QLabel(QStringLiteral("Élesítés és kikapcsolás módja az A és B bemeneteken :"), other),
        0, 0, 1, 2);
    udOnOffMode = makeSpin("udOnOffMode", 1, other);
    if (auto* box = udOnOffMode->findChild<QLineEdit*>()) box->setReadOnly(true);
    btOnOffMode = new QPushButton(QStringLiteral("Módosítás"), other);
    btOnOffMode->setObjectName(QStringLiteral("btOnOffMode"));
    btOnOffMode->setAutoDefault(false);
    connect(btOnOffMode, &QPushButton::clicked, this, &TFormParSetting::btOnOffModeClick);
    auto* modeRow = new QHBoxLayout;
    modeRow->addStretch();
    modeRow->addWidget(btOnOffMode);
    otherGrid->addLayout(modeRow, 1, 0);
    otherGrid->addWidget(udOnOffMode, 1, 1);
    const struct {
        const char* caption;
        const char* field;
    } limits[] = {
        {"A riasztás maximális ideje ( 5-25 perc ) :", "UdAlarmMax"},
        {"Egy zónáról küldhető riasztások maximális száma :\n(0-25,  0=nincs korlátozva)",
         "UdZoneAlarmMax"},
        {"Automatikus élesítés adott idő után, ha nincs mozgás :\n(1-255 óra,  0=auto élesítés "
         "kikapcsolva)",
         "UdAutoArm"},
    };
    int lr = 2;
    for (const auto& l : limits) {
        auto* caption = new QLabel(QString::fromUtf8(l.caption), other);
        caption->setObjectName(QStringLiteral("lb%1").arg(QLatin1String(l.field)));
        otherGrid->addWidget(caption, lr, 0);
        otherGrid->addWidget(makeSpin(l.field, 1, other), lr++, 1);
    }
    frames->addWidget(other);
    frames->addStretch();
    return page;
}
