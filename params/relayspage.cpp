// The relay page: which of the 60 triggers switch each relay on and off, and its two times.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "events/eventtexts.h"
#include "params/editorrows.h"
#include "params/editorwidgets.h"
#include "params/flashaddr.h"
#include "params/paramform.h"

using namespace editor;

QWidget* TFormParSetting::buildRelaysPage() {
    auto* page = new QWidget;
    auto* outer = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    outer->addLayout(left, 1);

    const QStringList headings{"R1 bekapcs.", "R1 kikapcs.", "R2 bekapcs.",
                               "R2 kikapcs.", "R3 bekapcs.", "R3 kikapcs."};
    auto* heading = new QWidget(page);
    QHBoxLayout* head = fixedRow(heading);
    addFixed(head, new QLabel, kCaptionWidth);
    for (const QString& h : headings) addCentred(head, new VerticalLabel(h, heading), kCheckWidth);
    head->addStretch();
    left->addWidget(heading);

    // Switch-on and switch-off sets alternate: cblR1 is relay 1 on, cblR2 relay 1 off, ...
    QList<int> setNumbers;
    for (int k = 1; k <= 2 * FlashAddr::RelayCount; ++k) setNumbers.append(k);
    const QList<CheckColumn*> columns = makeCheckColumns("cblR%d", setNumbers);
    auto* rows = new QWidget;
    QVBoxLayout* rowsLayout = rowsColumn(rows);
    QList<QCheckBox*> boxes;
    for (int k = 0; k < FlashAddr::TriggerCount; ++k) {
        auto* rowWidget = new QWidget(rows);
        QHBoxLayout* row = fixedRow(rowWidget);
        auto* caption = new QLabel(
            k == 0 ? QStringLiteral("00. Telefonos távvezérlés") : eventCaption(k), rowWidget);
        if (k > 0) caption->setObjectName(QStringLiteral("lbREventLabel%1").arg(k));
        addFixed(row, caption, kCaptionWidth);
        addTallChecks(row, rowWidget, columns, boxes);
        row->addStretch();
        rowsLayout->addWidget(rowWidget);
    }
    ScrollBox2 = makeRowsArea(QStringLiteral("ScrollBox2"), rows, boxes, head);
    left->addWidget(ScrollBox2, 1);

    auto* right = new QVBoxLayout;
    for (int r = 1; r <= FlashAddr::RelayCount; ++r) {
        right->addWidget(boldLabel(QStringLiteral("RELE %1 :").arg(r), page));
        auto* form = new QGridLayout;
        form->addWidget(new QLabel(QStringLiteral("Start késleltetés ( 0-255 sec ) :"), page), 0,
                        0);
        form->addWidget(makeSpin("UdREL%ddelay", r, page), 0, 1);
        form->addWidget(new QLabel(QStringLiteral("Maximális időtartam ( 0-255 sec ) :"), page), 1,
                        0);
        form->addWidget(makeSpin("UdREL%dtime", r, page), 1, 1);
        right->addLayout(form);
        right->addSpacing(12);
    }
    right->addStretch();
    outer->addLayout(right);
    return page;
}
