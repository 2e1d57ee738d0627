// The users page: name, code and sixteen rights per user, and the installer code.
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "params/editorrows.h"
#include "params/editorwidgets.h"
#include "params/flashaddr.h"
#include "params/paramform.h"

QWidget* TFormParSetting::buildUsersPage() {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);

    auto* masterFrame = new QGroupBox(page);
    auto* masterRow = new QHBoxLayout(masterFrame);
    masterRow->addWidget(new QLabel(QStringLiteral("Telepítői kód megváltoztatása:"), masterFrame));
    edMasterCode = makeTextBox("edMasterCode", 1, masterFrame);
    masterRow->addWidget(edMasterCode);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(masterFrame);
    outer->addLayout(top);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    outer->addLayout(grid);
    outer->addStretch();
    const int headingRow = 1;
    const int firstRow = 2;
    grid->addWidget(new QLabel(QStringLiteral("Felhasználó neve\n(max 10.karakter)"), page),
                    headingRow, 1, Qt::AlignBottom);
    grid->addWidget(new QLabel(QStringLiteral("Azonosító kódja\n(4 v. 6 számjegy)"), page),
                    headingRow, 2, Qt::AlignBottom);
    const int firstRight = 3;
    const QList<CheckColumn*> rights = makeCheckColumns("cblUserRights");
    grid->addWidget(new QLabel(QStringLiteral("Jogosultságok"), page), 0, firstRight, 1,
                    int(rights.size()), Qt::AlignCenter);
    for (int b = 0; b < rights.size(); ++b) {
        grid->addWidget(new VerticalLabel(layout::userRightsCaptions()[b], page), headingRow,
                        firstRight + b, Qt::AlignBottom | Qt::AlignHCenter);
        for (int n = 1; n <= FlashAddr::UserCount; ++n)
            rights[b]->append(editor::centredCheck(grid, firstRow + n - 1, firstRight + b, page));
    }
    for (int n = 1; n <= FlashAddr::UserCount; ++n) {
        const int row = firstRow + n - 1;
        grid->addWidget(new QLabel(editor::rowCaption(n, ".Felhasználó "), page), row, 0);
        grid->addWidget(makeTextBox("edUserName%d", n, page), row, 1);
        grid->addWidget(makeTextBox("edUserCode%d", n, page), row, 2);
    }
    grid->setColumnStretch(firstRight + int(rights.size()), 1);
    return page;
}
