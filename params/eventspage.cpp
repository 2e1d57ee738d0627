// The event reporting page: a scrolled list of the 47 events under a fixed heading.
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include "events/eventtexts.h"
#include "params/digitgrid.h"
#include "params/editorrows.h"
#include "params/editorwidgets.h"
#include "params/flashaddr.h"
#include "params/paramform.h"

using namespace editor;

QWidget* TFormParSetting::buildEventsPage() {
    constexpr int kVoiceWidth = 62;
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* heading = new QWidget(page);
    QHBoxLayout* head = fixedRow(heading);
    // Sizes come from the first row's controls, so the heading fits them in any font.
    const QList<CheckColumn*> columns = makeCheckColumns("clbEvents");
    auto* rows = new QWidget;
    QVBoxLayout* rowsLayout = rowsColumn(rows);
    QList<QCheckBox*> boxes;
    int gridWidth = 0;
    int smsWidth = 0;
    for (int n = 1; n <= FlashAddr::EventCount; ++n) {
        auto* rowWidget = new QWidget(rows);
        QHBoxLayout* row = fixedRow(rowWidget);
        auto* caption = new QLabel(eventCaption(n), rowWidget);
        caption->setObjectName(QStringLiteral("EventLabel%1").arg(n));
        addFixed(row, caption, kCaptionWidth);
        DigitGrid* contactId = makeGrid("acgEvent%d", n);
        gridWidth = qMax(70, contactId->sizeHint().width());
        addCentred(row, contactId, gridWidth);
        addTallChecks(row, rowWidget, columns, boxes);
        QLineEdit* sms = makeTextBox("edSMS%d", n, rowWidget);
        smsWidth = sms->minimumWidth();
        row->addWidget(sms);
        row->addSpacing(10);
        addFixed(row, makeSpin("UdHanguz%d", n, rowWidget), kVoiceWidth);
        row->addStretch();
        rowsLayout->addWidget(rowWidget);
    }
    addFixed(head, new QLabel, kCaptionWidth);
    addFixed(head, centred(QStringLiteral("Contact-ID\nkód")), gridWidth);
    for (const QString& c : layout::reportMaskCaptions()) addFixed(head, centred(c), kCheckWidth);
    addFixed(head, centred(QStringLiteral("SMS üzenet *")), smsWidth);
    addFixed(head, centred(QStringLiteral("Hangüzenet\nsorszáma")), kVoiceWidth + 20);
    head->addStretch();
    layout->addWidget(heading);

    ScrollBox1 = makeRowsArea(QStringLiteral("ScrollBox1"), rows, boxes, head);
    layout->addWidget(ScrollBox1, 1);

    auto* note = new QLabel(
        QStringLiteral("*  :  Az SMS üzenet szövegében a $ karakter helyére a zóna vagy a "
                       "felhasználó nevét, a # karakter helyére pedig a sorszámát helyettesíti a "
                       "modul."),
        page);
    note->setObjectName(QStringLiteral("lbSmsNote"));
    note->setWordWrap(true);
    layout->addWidget(note);
    return page;
}
