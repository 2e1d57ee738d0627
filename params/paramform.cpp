#include "params/paramform.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "events/eventtexts.h"
#include "params/digitgrid.h"
#include "params/editorwidgets.h"
#include "params/flashaddr.h"
#include "params/layout.h"
#include "params/onoffmode.h"

namespace {

constexpr int kNameLength = 10;
constexpr int kCodeLength = 6;
const char* const kCodeMessage = "A jelszó csak 4 vagy 6 jegyű szám lehet!";

QString rowCaption(int n, const char* word) {
    // Numbers below 10 get two leading blanks so the captions line up.
    return QStringLiteral("%1%2").arg(n < 10 ? QStringLiteral("  ") : QString()).arg(n) +
           QString::fromUtf8(word);
}

QWidget* scrolled(QWidget* content) {
    auto* area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

QCheckBox* centredCheck(QGridLayout* grid, int row, int col, QWidget* parent) {
    auto* box = new QCheckBox(parent);
    grid->addWidget(box, row, col, Qt::AlignCenter);
    return box;
}

bool isAcceptableCode(const QString& text) {
    if (text.size() != 4 && text.size() != 6) return false;
    for (QChar c : text)
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('*'))
            return false;
    return true;
}

}  // namespace

TFormParSetting::TFormParSetting(UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs) {
    setWindowTitle(QStringLiteral("FormParSetting"));
    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->addTab(scrolled(buildZonesPage()), QStringLiteral("Zónák"));
    PageControl->addTab(scrolled(buildUsersPage()), QStringLiteral("Felhasználók"));
    PageControl->addTab(buildEventsPage(), QStringLiteral("Események"));
    PageControl->addTab(buildRelaysPage(), QStringLiteral("Relé kimenetek"));
    PageControl->addTab(scrolled(buildPhonesPage()),
                        QStringLiteral("Telefonszámok && egyéb paraméterek"));
    PageControl->addTab(scrolled(buildRadioPage()), QStringLiteral("Rádiós eszközök beállításai"));
    // The first opening shows the relay page; later openings the page last in front.
    PageControl->setCurrentIndex(kRelays);

    btSettingOK = new QPushButton(QStringLiteral("Beállítások Rögzítése"), this);
    btSettingOK->setObjectName(QStringLiteral("btSettingOK"));
    btSettingCancel = new QPushButton(QStringLiteral("Beállítások Visszavonása"), this);
    btSettingCancel->setObjectName(QStringLiteral("btSettingCancel"));
    btSettingOK->setAutoDefault(false);
    btSettingCancel->setAutoDefault(false);
    connect(btSettingOK, &QPushButton::clicked, this, &TFormParSetting::btSettingOKClick);
    connect(btSettingCancel, &QPushButton::clicked, this, &TFormParSetting::btSettingCancelClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btSettingOK);
    buttons->addWidget(btSettingCancel);
    layout->addLayout(buttons);
    resize(1060, 640);
    bindFields();
    FormCreate();
}

void TFormParSetting::FormCreate() {
    for (QScrollArea* area : {ScrollBox1, ScrollBox2}) area->verticalScrollBar()->setValue(0);
}

void TFormParSetting::registerControl(QObject* control) {
    m_controls.insert(control->objectName(), control);
}

QLineEdit* TFormParSetting::makeCodeBox(const QString& name) {
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    box->setMaxLength(kCodeLength);
    box->setFixedWidth(70);
    box->installEventFilter(this);
    registerControl(box);
    return box;
}

QWidget* TFormParSetting::buildZonesPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    const int headingRow = 0;
    int col = 1;

    // Check columns.
    struct CheckSpec {
        const char* name;
        const char* heading;
    };
    const CheckSpec checks[] = {
        {"cbBypass", "Bypass"}, {"cbZonaCsendes", "Csendes zóna"}, {"cbKoveto", "  Követő zóna"}};
    for (const CheckSpec& c : checks) {
        grid->addWidget(new VerticalLabel(QString::fromUtf8(c.heading), page), headingRow, col,
                        Qt::AlignBottom | Qt::AlignHCenter);
        auto* column = new CheckColumn(this);
        column->setObjectName(QString::fromLatin1(c.name));
        for (int n = 1; n <= FlashAddr::ZoneCount; ++n)
            column->append(centredCheck(grid, n, col, page));
        registerControl(column);
        ++col;
    }

    // Option groups, one vertical heading per option.
    struct OptionSpec {
        const char* name;
        const QStringList& choices;
    };
    const OptionSpec options[] = {{"rgZonaBek%1", layout::zoneWiringChoices()},
                                  {"rgZonaPart%1", layout::zonePartitionChoices()}};
    for (const OptionSpec& o : options) {
        for (int i = 0; i < o.choices.size(); ++i)
            grid->addWidget(new VerticalLabel(o.choices[i], page), headingRow, col + i,
                            Qt::AlignBottom | Qt::AlignHCenter);
        for (int n = 1; n <= FlashAddr::ZoneCount; ++n) {
            auto* group = new QButtonGroup(this);
            group->setObjectName(QString::fromLatin1(o.name).arg(n));
            for (int i = 0; i < o.choices.size(); ++i) {
                auto* button = new QRadioButton(page);
                group->addButton(button, i);
                grid->addWidget(button, n, col + i, Qt::AlignCenter);
            }
            registerControl(group);
        }
        col += int(o.choices.size());
    }

    // Spinners.
    struct SpinSpec {
        const char* name;
        const char* box;
        const char* heading;
        int max;
    };
    const SpinSpec spins[] = {
        {"UdZonaErz%1", "edZonaErz%1", "Zóna érzékenység\n(tizedmásodperc)", 255},
        {"UdZonaBeKesl%1", "edZonaBeKesl%1", "Belépési késlelt.\n(másodperc)", 255},
        {"UdZonaKiKesl%1", "edZonaKiKesl%1", "Kilépési késlelt.\n(másodperc)", 255},
        {"UdZonaIntel%1", "edZonaIntel%1", "Intelligens zóna\n(0-25 perc)", 25},
        {"UdZonaCover%1", "edZonaCover%1", "Zóna takarás idő\n(0-25 óra)", 25},
    };
    for (const SpinSpec& s : spins) {
        grid->addWidget(new VerticalLabel(QString::fromUtf8(s.heading), page), headingRow, col,
                        Qt::AlignBottom | Qt::AlignHCenter);
        for (int n = 1; n <= FlashAddr::ZoneCount; ++n) {
            QSpinBox* spin = makeSpinner(page, QString::fromLatin1(s.name).arg(n),
                                         QString::fromLatin1(s.box).arg(n), 0, s.max, s.max);
            grid->addWidget(spin, n, col);
            registerControl(spin);
        }
        ++col;
    }

    // Night setting, with the night walk time above it once for the page.
    auto* nightHead = new QVBoxLayout;
    nightHead->addWidget(new QLabel(QStringLiteral("Éjszakai\nséta időtartam\n(0-25 perc)"), page));
    QSpinBox* nightDelay =
        makeSpinner(page, QStringLiteral("udNightDelay"), QStringLiteral("edNightDelay"), 1, 25, 1);
    registerControl(nightDelay);
    nightHead->addWidget(nightDelay);
    nightHead->addSpacing(8);
    nightHead->addWidget(new QLabel(QStringLiteral("Éjszakai\nzóna beállítás"), page));
    grid->addLayout(nightHead, headingRow, col, Qt::AlignBottom);
    for (int n = 1; n <= FlashAddr::ZoneCount; ++n) {
        auto* list = new QComboBox(page);
        list->setObjectName(QStringLiteral("cbNightSet%1").arg(n));
        list->addItems(layout::nightSettingChoices());
        list->setCurrentIndex(-1);
        grid->addWidget(list, n, col);
        registerControl(list);
    }
    ++col;

    grid->addWidget(new QLabel(QStringLiteral("Zóna neve\n(max 10 karakter)"), page), headingRow,
                    col, Qt::AlignBottom);
    for (int n = 1; n <= FlashAddr::ZoneCount; ++n) {
        auto* name = new QLineEdit(page);
        name->setObjectName(QStringLiteral("edZonaNeve%1").arg(n));
        name->setMaxLength(kNameLength);
        name->setFixedWidth(110);
        grid->addWidget(name, n, col);
        registerControl(name);
        grid->addWidget(new QLabel(rowCaption(n, ". Zóna"), page), n, 0);
    }
    grid->setColumnStretch(col + 1, 1);
    grid->setRowStretch(FlashAddr::ZoneCount + 1, 1);
    return page;
}

QWidget* TFormParSetting::buildUsersPage() {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);

    auto* masterFrame = new QGroupBox(page);
    auto* masterRow = new QHBoxLayout(masterFrame);
    masterRow->addWidget(new QLabel(QStringLiteral("Telepítői kód megváltoztatása:"), masterFrame));
    edMasterCode = makeCodeBox(QStringLiteral("edMasterCode"));
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
    grid->addWidget(new QLabel(QStringLiteral("Jogosultságok"), page), 0, firstRight, 1,
                    int(layout::userRightsCaptions().size()), Qt::AlignCenter);
    for (int b = 0; b < layout::userRightsCaptions().size(); ++b) {
        grid->addWidget(new VerticalLabel(layout::userRightsCaptions()[b], page), headingRow,
                        firstRight + b, Qt::AlignBottom | Qt::AlignHCenter);
        auto* column = new CheckColumn(this);
        column->setObjectName(QStringLiteral("cblUserRights%1").arg(b + 1));
        for (int n = 1; n <= FlashAddr::UserCount; ++n)
            column->append(centredCheck(grid, firstRow + n - 1, firstRight + b, page));
        registerControl(column);
    }
    for (int n = 1; n <= FlashAddr::UserCount; ++n) {
        const int row = firstRow + n - 1;
        grid->addWidget(new QLabel(rowCaption(n, ".Felhasználó "), page), row, 0);
        auto* name = new QLineEdit(page);
        name->setObjectName(QStringLiteral("edUserName%1").arg(n));
        name->setMaxLength(kNameLength);
        name->setFixedWidth(110);
        grid->addWidget(name, row, 1);
        registerControl(name);
        grid->addWidget(makeCodeBox(QStringLiteral("edUserCode%1").arg(n)), row, 2);
    }
    grid->setColumnStretch(firstRight + int(layout::userRightsCaptions().size()), 1);
    return page;
}

QSpinBox* TFormParSetting::makeSpin(QWidget* parent, const QString& name, const QString& box,
                                    int min, int max, int initial) {
    QSpinBox* spin = makeSpinner(parent, name, box, min, max, initial);
    spin->setFixedWidth(62);
    registerControl(spin);
    return spin;
}

DigitGrid* TFormParSetting::makeGrid(const QString& name, int family, int cells) {
    auto* g = new DigitGrid(grid::Family(family), cells);
    g->setObjectName(name);
    registerControl(g);
    return g;
}

void TFormParSetting::focusScrollBox(QScrollArea* area) { area->setFocus(Qt::OtherFocusReason); }

void TFormParSetting::acgTel1KeyPress(DigitGrid& g, QChar key) { g.typeKey(key); }
void TFormParSetting::acgUserAccountKeyPress(DigitGrid& g, QChar key) { g.typeKey(key); }

namespace {

// The rows of a scrolled list and their fixed heading share these widths, so the columns
// line up whichever row is in view.
QHBoxLayout* fixedRow(QWidget* owner) {
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);
    return row;
}
void addFixed(QHBoxLayout* row, QWidget* w, int width) {
    w->setFixedWidth(width);
    row->addWidget(w);
}
// A widget centred in a cell of fixed width.
void addCentred(QHBoxLayout* row, QWidget* w, int width) {
    auto* cell = new QWidget;
    auto* cellLayout = new QHBoxLayout(cell);
    cellLayout->setContentsMargins(0, 0, 0, 0);
    cellLayout->addWidget(w, 0, Qt::AlignCenter);
    addFixed(row, cell, width);
}
QVBoxLayout* rowsColumn(QWidget* rows) {
    auto* column = new QVBoxLayout(rows);
    column->setSpacing(1);
    column->setContentsMargins(0, 2, 0, 2);
    return column;
}
QLabel* centred(const QString& text) {
    auto* l = new QLabel(text);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    return l;
}

constexpr int kCaptionWidth = 170;
constexpr int kCheckWidth = 34;

}  // namespace

QList<CheckColumn*> TFormParSetting::makeCheckColumns(const QString& pattern, int count) {
    QList<CheckColumn*> columns;
    for (int c = 1; c <= count; ++c) {
        auto* column = new CheckColumn(this);
        column->setObjectName(pattern.arg(c));
        registerControl(column);
        columns.append(column);
    }
    return columns;
}

void TFormParSetting::addTallChecks(QHBoxLayout* row, QWidget* rowWidget,
                                    const QList<CheckColumn*>& columns, QList<QCheckBox*>& boxes) {
    for (CheckColumn* column : columns) {
        auto* box = new QCheckBox(rowWidget);
        box->installEventFilter(this);
        boxes.append(box);
        column->append(box);
        addCentred(row, box, kCheckWidth);
    }
}

QScrollArea* TFormParSetting::makeRowsArea(const QString& name, QWidget* rows,
                                           const QList<QCheckBox*>& boxes, QHBoxLayout* heading) {
    auto* area = new QScrollArea;
    area->setObjectName(name);
    area->setWidget(rows);
    area->setWidgetResizable(true);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QCheckBox* box : boxes) m_tallColumnBoxes.insert(box, area);
    // The rows sit inside the area's frame; the heading moves in by as much.
    heading->setContentsMargins(4 + area->frameWidth(), 0, 4, 0);
    return area;
}

QWidget* TFormParSetting::buildEventsPage() {
    const int gridWidth = qMax(70, 3 * (fontMetrics().horizontalAdvance(QLatin1Char('0')) + 6) + 1);
    constexpr int kSmsWidth = 160;
    constexpr int kVoiceWidth = 62;
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* heading = new QWidget(page);
    QHBoxLayout* head = fixedRow(heading);
    addFixed(head, new QLabel, kCaptionWidth);
    addFixed(head, centred(QStringLiteral("Contact-ID\nkód")), gridWidth);
    for (const QString& c : layout::reportMaskCaptions()) addFixed(head, centred(c), kCheckWidth);
    addFixed(head, centred(QStringLiteral("SMS üzenet *")), kSmsWidth);
    addFixed(head, centred(QStringLiteral("Hangüzenet\nsorszáma")), kVoiceWidth + 20);
    head->addStretch();
    layout->addWidget(heading);

    const QList<CheckColumn*> columns =
        makeCheckColumns(QStringLiteral("clbEvents%1"), int(layout::reportMaskCaptions().size()));
    auto* rows = new QWidget;
    QVBoxLayout* rowsLayout = rowsColumn(rows);
    QList<QCheckBox*> boxes;
    for (int n = 1; n <= FlashAddr::EventCount; ++n) {
        auto* rowWidget = new QWidget(rows);
        QHBoxLayout* row = fixedRow(rowWidget);
        auto* caption = new QLabel(eventCaption(n), rowWidget);
        caption->setObjectName(QStringLiteral("EventLabel%1").arg(n));
        addFixed(row, caption, kCaptionWidth);
        addCentred(row, makeGrid(QStringLiteral("acgEvent%1").arg(n), int(grid::Family::Hex), 3),
                   gridWidth);
        addTallChecks(row, rowWidget, columns, boxes);
        auto* sms = new QLineEdit(rowWidget);
        sms->setObjectName(QStringLiteral("edSMS%1").arg(n));
        sms->setMaxLength(FlashAddr::EventSmsLength);
        registerControl(sms);
        addFixed(row, sms, kSmsWidth);
        row->addSpacing(10);
        addFixed(row,
                 makeSpin(rowWidget, QStringLiteral("UdHanguz%1").arg(n),
                          QStringLiteral("edHanguz%1").arg(n), 0, 12, 0),
                 kVoiceWidth);
        row->addStretch();
        rowsLayout->addWidget(rowWidget);
    }
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

    const QList<CheckColumn*> columns =
        makeCheckColumns(QStringLiteral("cblR%1"), int(headings.size()));
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
        auto* title = new QLabel(QStringLiteral("RELE %1 :").arg(r), page);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        right->addWidget(title);
        auto* form = new QGridLayout;
        form->addWidget(new QLabel(QStringLiteral("Start késleltetés ( 0-255 sec ) :"), page), 0,
                        0);
        form->addWidget(makeSpin(page, QStringLiteral("UdREL%1delay").arg(r),
                                 QStringLiteral("edREL%1delay").arg(r), 0, 255, 0),
                        0, 1);
        form->addWidget(new QLabel(QStringLiteral("Maximális időtartam ( 0-255 sec ) :"), page), 1,
                        0);
        form->addWidget(makeSpin(page, QStringLiteral("UdREL%1time").arg(r),
                                 QStringLiteral("edREL%1time").arg(r), 0, 255, 0),
                        1, 1);
        right->addLayout(form);
        right->addSpacing(12);
    }
    right->addStretch();
    outer->addLayout(right);
    return page;
}

QWidget* TFormParSetting::buildPhonesPage() {
    // Left: the numbers with the siren frame under them; right: the other parameters.
    auto* page = new QWidget;
    auto* outer = new QHBoxLayout(page);
    auto* leftColumn = new QVBoxLayout;
    outer->addLayout(leftColumn);
    auto* numbers = new QGridLayout;
    numbers->setVerticalSpacing(6);
    leftColumn->addLayout(numbers);
    const int tel = int(grid::Family::Telephone);
    numbers->addWidget(new QLabel(QStringLiteral("Nyugtázás"), page), 0, 2);
    for (int i = 1; i <= FlashAddr::PhoneCount; ++i) {
        numbers->addWidget(new QLabel(QStringLiteral("%1. Telefonszám").arg(i), page), i, 0);
        numbers->addWidget(makeGrid(QStringLiteral("acgTel%1").arg(i), tel, FlashAddr::PhoneSize),
                           i, 1);
        auto* ack = new QComboBox(page);
        ack->setObjectName(QStringLiteral("cbACK%1").arg(i));
        ack->addItems(layout::ackModeChoices());
        ack->setCurrentIndex(-1);
        registerControl(ack);
        numbers->addWidget(ack, i, 2);
    }
    int row = FlashAddr::PhoneCount + 1;
    for (int i = 1; i <= FlashAddr::CentrePhoneCount; ++i, ++row) {
        numbers->addWidget(new QLabel(QStringLiteral("%1. Központ tel.").arg(i), page), row, 0);
        numbers->addWidget(
            makeGrid(QStringLiteral("acgTelCentr%1").arg(i), tel, FlashAddr::PhoneSize), row, 1);
    }
    numbers->addWidget(new QLabel(QStringLiteral("Ügyfél azonosító"), page), row, 0);
    numbers->addWidget(makeGrid(QStringLiteral("acgUserAccount"), int(grid::Family::Hex),
                                FlashAddr::AccountDigits),
                       row++, 1);
    numbers->addWidget(new QLabel(QStringLiteral("SMS továbbítás"), page), row, 0);
    numbers->addWidget(makeGrid(QStringLiteral("acgSMSFW"), tel, FlashAddr::PhoneSize), row++, 1);

    auto* frames = new QVBoxLayout;
    outer->addLayout(frames, 1);
    auto* sirens = new QGroupBox(QStringLiteral("Sziréna kimenetek beállítása:"), page);
    auto* sirenGrid = new QGridLayout(sirens);
    int r = 0;
    for (int o = 1; o <= FlashAddr::OutputCount; ++o) {
        sirenGrid->addWidget(new QLabel(QStringLiteral("OUT %1 :").arg(o), sirens), r, 0);
        auto* mode = new QComboBox(sirens);
        mode->setObjectName(QStringLiteral("cbOUT%1mode").arg(o));
        mode->addItems(layout::outputModeChoices());
        mode->setCurrentIndex(-1);
        registerControl(mode);
        sirenGrid->addWidget(mode, r++, 1, 1, 2);
        sirenGrid->addWidget(
            new QLabel(QStringLiteral("Start késleltetés ( 0-255 sec ) :"), sirens), r, 1,
            Qt::AlignRight);
        sirenGrid->addWidget(makeSpin(sirens, QStringLiteral("UdOUT%1delay").arg(o),
                                      QStringLiteral("edOUT%1delay").arg(o), 0, 255, 0),
                             r++, 2);
        sirenGrid->addWidget(
            new QLabel(QStringLiteral("Maximális időtartam ( 1-25 perc ) :"), sirens), r, 1,
            Qt::AlignRight);
        sirenGrid->addWidget(makeSpin(sirens, QStringLiteral("UdOUT%1time").arg(o),
                                      QStringLiteral("edOUT%1time").arg(o), 1, 25, 1),
                             r++, 2);
    }
    sirenGrid->addWidget(new QLabel(QStringLiteral("Tesztjelentés időpontja (óó:pp) :"), sirens), r,
                         0, 1, 2);
    meTesztIdopont = new QLineEdit(sirens);
    meTesztIdopont->setObjectName(QStringLiteral("meTesztIdopont"));
    // An optional digit, a required digit, ":", two required digits; blanks show as "_".
    meTesztIdopont->setInputMask(QStringLiteral("09:99;_"));
    meTesztIdopont->setFixedWidth(62);
    registerControl(meTesztIdopont);
    sirenGrid->addWidget(meTesztIdopont, r++, 2);
    sirenGrid->addWidget(
        new QLabel(QStringLiteral("Tesztjelentés gyakorisága (0 - 255 nap) :"), sirens), r, 0, 1,
        2);
    sirenGrid->addWidget(
        makeSpin(sirens, QStringLiteral("udTesztGyak"), QStringLiteral("edTesztGyak"), 0, 255, 0),
        r++, 2);
    leftColumn->addSpacing(10);
    leftColumn->addWidget(sirens);
    leftColumn->addStretch();

    auto* other = new QGroupBox(page);
    auto* otherGrid = new QGridLayout(other);
    // Long captions wrap, so the frame fits beside the numbers.
    auto wrapped = [other](const QString& text) {
        auto* l = new QLabel(text, other);
        l->setWordWrap(true);
        l->setMaximumWidth(300);
        return l;
    };
    otherGrid->addWidget(
        wrapped(QStringLiteral("Élesítés és kikapcsolás módja az A és B bemeneteken :")), 0, 0);
    udOnOffMode =
        makeSpin(other, QStringLiteral("udOnOffMode"), QStringLiteral("edOnOffMode"), 0, 3, 0);
    if (auto* box = udOnOffMode->findChild<QLineEdit*>()) box->setReadOnly(true);
    otherGrid->addWidget(udOnOffMode, 0, 1);
    btOnOffMode = new QPushButton(QStringLiteral("Módosítás"), other);
    btOnOffMode->setObjectName(QStringLiteral("btOnOffMode"));
    btOnOffMode->setAutoDefault(false);
    connect(btOnOffMode, &QPushButton::clicked, this, &TFormParSetting::btOnOffModeClick);
    otherGrid->addWidget(btOnOffMode, 0, 2);
    struct Limit {
        const char* caption;
        const char* name;
        const char* box;
        int min, max;
    };
    const Limit limits[] = {
        {"A riasztás maximális ideje ( 5-25 perc ) :", "UdAlarmMax", "edAlarmMax", 5, 25},
        {"Egy zónáról küldhető riasztások maximális száma :\n(0-25,  0=nincs korlátozva)",
         "UdZoneAlarmMax", "edZoneAlarmMax", 0, 25},
        {"Automatikus élesítés adott idő után, ha nincs mozgás :\n(1-255 óra,  0=auto élesítés "
         "kikapcsolva)",
         "UdAutoArm", "edAutoArm", 0, 255},
    };
    int lr = 1;
    for (const Limit& l : limits) {
        otherGrid->addWidget(wrapped(QString::fromUtf8(l.caption)), lr, 0);
        otherGrid->addWidget(makeSpin(other, QString::fromLatin1(l.name),
                                      QString::fromLatin1(l.box), l.min, l.max, l.min),
                             lr++, 1);
    }
    frames->addWidget(other);
    frames->addStretch();
    return page;
}

QWidget* TFormParSetting::buildRadioPage() {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    auto* title = new QLabel(QStringLiteral("Rádiós távkezelő nyomógombjainak beállítása"), page);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    outer->addWidget(title);
    auto* grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch();
    const char* const headings[] = {
        "1. nyomógomb\n( 4 gombos -> fekete )\n( 2 gombos -> zöld )",
        "2. nyomógomb\n( 4 gombos -> piros )\n( 2 gombos -> piros )",
        "3. nyomógomb\n( 4 gombos -> zöld )",
        "4. nyomógomb\n( 4 gombos -> kék )",
    };
    const char letters[] = {'A', 'B', 'C', 'D'};
    for (int b = 0; b < 4; ++b) {
        auto* h = new QLabel(QString::fromUtf8(headings[b]), page);
        h->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        grid->addWidget(h, 0, b + 1, Qt::AlignBottom);
    }
    for (int n = 1; n <= FlashAddr::UserCount; ++n) {
        grid->addWidget(new QLabel(rowCaption(n, ".Felhasználó "), page), n, 0);
        for (int b = 0; b < 4; ++b) {
            auto* box = new QComboBox(page);
            box->setObjectName(QString::asprintf("cbRFButt%c%02d", letters[b], n));
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            box->addItems(layout::remoteButtonChoices());
            box->setMaxVisibleItems(int(layout::remoteButtonChoices().size()));
            box->setCurrentIndex(-1);
            box->setMinimumWidth(150);
            registerControl(box);
            grid->addWidget(box, n, b + 1);
        }
    }
    grid->setColumnStretch(5, 1);
    return page;
}

void TFormParSetting::btOnOffModeClick() {
    if (!m_onOffMode) return;
    m_onOffMode->setTarget(udOnOffMode);
    m_onOffMode->setItemIndex(udOnOffMode->value());
    m_onOffMode->exec();
}

void TFormParSetting::bindFields() {
    using layout::Kind;
    using layout::Value;
    layout::forEachInstance([this](const layout::Instance& in) {
        // One field, one control: show what the image holds, take what the control holds.
        auto bind = [this, in](auto show, auto take) {
            m_bindings.append({[in, show](const QByteArray& img) { show(layout::read(in, img)); },
                               [in, take](QByteArray& img) { layout::write(in, img, take()); }});
        };
        const QString name = in.name();
        const Kind kind = in.field->kind;
        switch (kind) {
            case Kind::Text:
            case Kind::Code:
                if (auto* box = control<QLineEdit>(name))
                    bind([box](const Value& v) { box->setText(v.text); },
                         [box] { return Value::ofText(box->text()); });
                return;
            case Kind::TestTime:
                if (auto* box = control<QLineEdit>(name))
                    bind([box](const Value& v) { box->setText(v.text); },
                         [box] {
                             // Unfilled places of the mask count as blanks, by position.
                             return Value::ofText(
                                 box->displayText().replace(QLatin1Char('_'), QLatin1Char(' ')));
                         });
                return;
            case Kind::Phone:
            case Kind::HexDigits:
                if (auto* g = control<DigitGrid>(name))
                    bind([g](const Value& v) { g->setCells(v.text); },
                         [g] { return Value::ofText(g->cells()); });
                return;
            case Kind::Spinner:
                if (auto* spin = control<QSpinBox>(name))
                    bind([spin](const Value& v) { spin->setValue(v.number); },
                         [spin] { return Value::ofNumber(spin->value()); });
                return;
            case Kind::OptionGroup:
                if (auto* group = control<QButtonGroup>(name))
                    bind([group](const Value& v) { group->button(v.number)->setChecked(true); },
                         [group] { return Value::ofNumber(group->checkedId()); });
                return;
            case Kind::DropDown:
                if (auto* list = control<QComboBox>(name))
                    bind([list](const Value& v) { list->setCurrentIndex(v.number); },
                         [list] { return Value::ofNumber(list->currentIndex()); });
                return;
            case Kind::RemoteButton:
                // These boxes can be typed into: a text that is none of the functions counts as
                // no selection.
                if (auto* list = control<QComboBox>(name))
                    bind([list](const Value& v) { list->setCurrentIndex(v.number); },
                         [list, in] {
                             return Value::ofNumber(
                                 int(in.field->choices->indexOf(list->currentText())));
                         });
                return;
            case Kind::FlagEqualOne:
            case Kind::FlagNotZero:
            case Kind::RightsWord:
            case Kind::ReportMask:
            case Kind::TriggerSet: {
                // The check box of each bit: a flag is item "row" of its column ("cbBypass[%d]");
                // a rights word or report mask has a column per bit, the row its item; a trigger
                // set is a column of its own whose items are the triggers.
                QList<QCheckBox*> boxes;
                if (layout::isFlag(kind)) {
                    auto* column = control<CheckColumn>(name.left(name.indexOf(QLatin1Char('['))));
                    if (column) boxes.append(column->item(in.index));
                } else if (kind == Kind::TriggerSet) {
                    if (auto* column = control<CheckColumn>(name))
                        for (int k = 0; k < column->count(); ++k) boxes.append(column->item(k));
                } else {
                    for (int bit = 0; bit < layout::bitCount(kind); ++bit)
                        if (auto* column = control<CheckColumn>(name + QString::number(bit + 1)))
                            boxes.append(column->item(in.index));
                }
                if (boxes.isEmpty()) return;
                const bool flag = layout::isFlag(kind);
                bind(
                    [boxes, flag](const Value& v) {
                        const std::uint64_t bits = flag ? std::uint64_t(v.number) : v.bits;
                        for (int b = 0; b < boxes.size(); ++b)
                            boxes[b]->setChecked((bits >> b) & 1);
                    },
                    [boxes, flag] {
                        std::uint64_t bits = 0;
                        for (int b = 0; b < boxes.size(); ++b)
                            if (boxes[b]->isChecked()) bits |= std::uint64_t(1) << b;
                        return flag ? Value::ofNumber(int(bits)) : Value::ofBits(bits);
                    });
                return;
            }
        }
    });
}

void TFormParSetting::LoadFromImage(const ParamImage& image) {
    m_image = image;
    for (const Binding& b : m_bindings) b.load(image.bytes());
}

ParamImage TFormParSetting::StoreToImage() const {
    QByteArray bytes = m_image.bytes();
    for (const Binding& b : m_bindings) b.store(bytes);
    // The codecs write in place, so the size cannot change.
    return ParamImage::fromBytes(bytes).value_or(m_image);
}

void TFormParSetting::btSettingOKClick() { accept(); }

bool TFormParSetting::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && m_tallColumnBoxes.contains(watched)) {
        if (m_tallColumnBoxes.value(watched) == ScrollBox1)
            clbEvents1Enter();
        else
            cblR1Enter();
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        // Leaving the window (a message box, another program) is no leaving of the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            if (auto* box = qobject_cast<QLineEdit*>(watched)) edUserCode1Exit(box);
    }
    return QDialog::eventFilter(watched, event);
}

void TFormParSetting::edUserCode1Exit(QLineEdit* box) {
    if (isAcceptableCode(box->text())) return;
    m_dialogs.message(QString::fromUtf8(kCodeMessage));
    box->clear();
}
