// The radio remotes page: four buttons per user, each set to one of nine functions.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "params/editorrows.h"
#include "params/flashaddr.h"
#include "params/paramform.h"

QWidget* TFormParSetting::buildRadioPage() {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    outer->addWidget(
        editor::boldLabel(QStringLiteral("Rádiós távkezelő nyomógombjainak beállítása"), page));
    auto* grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch();
    const struct {
        const char* field;
        const char* heading;
    } buttons[] = {
        {"cbRFButtA%02d", "1. nyomógomb\n( 4 gombos -> fekete )\n( 2 gombos -> zöld )"},
        {"cbRFButtB%02d", "2. nyomógomb\n( 4 gombos -> piros )\n( 2 gombos -> piros )"},
        {"cbRFButtC%02d", "3. nyomógomb\n( 4 gombos -> zöld )"},
        {"cbRFButtD%02d", "4. nyomógomb\n( 4 gombos -> kék )"},
    };
    for (int b = 0; b < 4; ++b) {
        auto* h = new QLabel(QString::fromUtf8(buttons[b].heading), page);
        h->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        grid->addWidget(h, 0, b + 1, Qt::AlignBottom);
    }
    for (int n = 1; n <= FlashAddr::UserCount; ++n) {
        grid->addWidget(new QLabel(editor::rowCaption(n, ".Felhasználó "), page), n, 0);
        for (int b = 0; b < 4; ++b) {
            QComboBox* box = makeDropDown(buttons[b].field, n, page);
            box->setMinimumWidth(150);
            grid->addWidget(box, n, b + 1);
        }
    }
    grid->setColumnStretch(5, 1);
    return page;
}
