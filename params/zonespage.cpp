// The zones page: one row per zone under vertical column headings.
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "params/editorrows.h"
#include "params/editorwidgets.h"
#include "params/flashaddr.h"
#include "params/paramform.h"

using editor::rowCaption;

QWidget* TFormParSetting::buildZonesPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    const int headingRow = 0;
    int col = 1;
    auto heading = [&](const QString& text, int column) {
        grid->addWidget(new VerticalLabel(text, page), headingRow, column,
                        Qt::AlignBottom | Qt::AlignHCenter);
    };

    // Check columns.
    const struct {
        const char* field;
        const char* heading;
    } checks[] = {{"cbBypass[%d]", "Bypass"},
                  {"cbZonaCsendes[%d]", "Csendes zóna"},
                  {"cbKoveto[%d]", "  Követő zóna"}};
    for (const auto& c : checks) {
        heading(QString::fromUtf8(c.heading), col);
        CheckColumn* column = makeCheckColumns(c.field).first();
        for (int n = 1; n <= FlashAddr::ZoneCount; ++n)
            column->append(editor::centredCheck(grid, n, col, page));
        ++col;
    }

    // Option groups, one vertical heading per option.
    for (const char* field : {"rgZonaBek%d", "rgZonaPart%d"}) {
        const QStringList& choices = *fieldOf(field).field->choices;
        for (int i = 0; i < choices.size(); ++i) heading(choices[i], col + i);
        for (int n = 1; n <= FlashAddr::ZoneCount; ++n) {
            QButtonGroup* group = makeOptionGroup(field, n, page);
            for (int i = 0; i < choices.size(); ++i)
                grid->addWidget(group->button(i), n, col + i, Qt::AlignCenter);
        }
        col += int(choices.size());
    }

    // Spinners.
    const struct {
        const char* field;
        const char* heading;
    } spins[] = {
        {"UdZonaErz%d", "Zóna érzékenység\n(tizedmásodperc)"},
        {"UdZonaBeKesl%d", "Belépési késlelt.\n(másodperc)"},
        {"UdZonaKiKesl%d", "Kilépési késlelt.\n(másodperc)"},
        {"UdZonaIntel%d", "Intelligens zóna\n(0-25 perc)"},
        {"UdZonaCover%d", "Zóna takarás idő\n(0-25 óra)"},
    };
    for (const auto& s : spins) {
        heading(QString::fromUtf8(s.heading), col);
        for (int n = 1; n <= FlashAddr::ZoneCount; ++n)
            grid->addWidget(makeSpin(s.field, n, page), n, col);
        ++col;
    }

    // Night setting, with the night walk time above it once for the page.
    auto* nightHead = new QVBoxLayout;
    nightHead->addWidget(new QLabel(QStringLiteral("Éjszakai\nséta időtartam\n(0-25 perc)"), page));
    nightHead->addWidget(makeSpin("udNightDelay", 1, page));
    nightHead->addSpacing(8);
    nightHead->addWidget(new QLabel(QStringLiteral("Éjszakai\nzóna beállítás"), page));
    grid->addLayout(nightHead, headingRow, col, Qt::AlignBottom);
    for (int n = 1; n <= FlashAddr::ZoneCount; ++n)
        grid->addWidget(makeDropDown("cbNightSet%d", n, page), n, col);
    ++col;

    grid->addWidget(new QLabel(QStringLiteral("Zóna neve\n(max 10 karakter)"), page), headingRow,
                    col, Qt::AlignBottom);
    for (int n = 1; n <= FlashAddr::ZoneCount; ++n) {
        grid->addWidget(makeTextBox("edZonaNeve%d", n, page), n, col);
        grid->addWidget(new QLabel(rowCaption(n, ". Zóna"), page), n, 0);
    }
    grid->setColumnStretch(col + 1, 1);
    grid->setRowStretch(FlashAddr::ZoneCount + 1, 1);
    return page;
}
