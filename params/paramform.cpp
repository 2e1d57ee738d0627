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
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/dialogs.h"
#include "params/editorwidgets.h"
#include "params/flashaddr.h"
#include "params/layout.h"

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

TFormParSetting::TFormParSetting(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("FormParSetting"));
    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->addTab(scrolled(buildZonesPage()), QStringLiteral("Zónák"));
    PageControl->addTab(scrolled(buildUsersPage()), QStringLiteral("Felhasználók"));
    for (const char* caption : {"Események", "Relé kimenetek", "Telefonszámok && egyéb paraméterek",
                                "Rádiós eszközök beállításai"})
        PageControl->addTab(new QWidget, QString::fromUtf8(caption));
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
    resize(880, 560);
    bindFields();
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

void TFormParSetting::bindFields() {
    using layout::Kind;
    layout::forEachInstance([this](const layout::Instance& in) {
        const QString name = in.name();
        const layout::Field& f = *in.field;
        Binding b;
        switch (f.kind) {
            case Kind::Text:
            case Kind::Code: {
                auto* box = control<QLineEdit>(name);
                if (!box) return;
                b.load = [box, in](const QByteArray& img) {
                    box->setText(layout::read(in, img).text);
                };
                b.store = [box, in](QByteArray& img) { layout::write(in, img, {box->text()}); };
                break;
            }
            case Kind::Spinner: {
                auto* spin = control<QSpinBox>(name);
                if (!spin) return;
                b.load = [spin, in](const QByteArray& img) {
                    spin->setValue(layout::read(in, img).number);
                };
                b.store = [spin, in](QByteArray& img) {
                    layout::Value v;
                    v.number = spin->value();
                    layout::write(in, img, v);
                };
                break;
            }
            case Kind::OptionGroup: {
                auto* group = control<QButtonGroup>(name);
                if (!group) return;
                b.load = [group, in](const QByteArray& img) {
                    group->button(layout::read(in, img).number)->setChecked(true);
                };
                b.store = [group, in](QByteArray& img) {
                    layout::Value v;
                    v.number = group->checkedId();
                    layout::write(in, img, v);
                };
                break;
            }
            case Kind::DropDown:
            case Kind::RemoteButton: {
                auto* list = control<QComboBox>(name);
                if (!list) return;
                b.load = [list, in](const QByteArray& img) {
                    list->setCurrentIndex(layout::read(in, img).number);
                };
                b.store = [list, in](QByteArray& img) {
                    layout::Value v;
                    v.number = list->currentIndex();
                    layout::write(in, img, v);
                };
                break;
            }
            case Kind::FlagEqualOne:
            case Kind::FlagNotZero: {
                // "cbBypass[%d]": the column is the control, the row its item.
                auto* column = control<CheckColumn>(name.left(name.indexOf(QLatin1Char('['))));
                if (!column) return;
                const int item = in.index;
                b.load = [column, item, in](const QByteArray& img) {
                    column->setChecked(item, layout::read(in, img).number != 0);
                };
                b.store = [column, item, in](QByteArray& img) {
                    layout::Value v;
                    v.number = column->checked(item) ? 1 : 0;
                    layout::write(in, img, v);
                };
                break;
            }
            case Kind::RightsWord:
            case Kind::ReportMask: {
                // One column per bit; the row is the item.
                QList<CheckColumn*> columns;
                for (int bit = 0; bit < layout::bitCount(f.kind); ++bit)
                    columns.append(control<CheckColumn>(name + QString::number(bit + 1)));
                if (columns.contains(nullptr)) return;
                const int item = in.index;
                b.load = [columns, item, in](const QByteArray& img) {
                    const std::uint64_t bits = layout::read(in, img).bits;
                    for (int bit = 0; bit < columns.size(); ++bit)
                        columns[bit]->setChecked(item, (bits >> bit) & 1);
                };
                b.store = [columns, item, in](QByteArray& img) {
                    layout::Value v;
                    for (int bit = 0; bit < columns.size(); ++bit)
                        if (columns[bit]->checked(item)) v.bits |= std::uint64_t(1) << bit;
                    layout::write(in, img, v);
                };
                break;
            }
            case Kind::TriggerSet: {
                auto* column = control<CheckColumn>(name);
                if (!column) return;
                b.load = [column, in](const QByteArray& img) {
                    const std::uint64_t bits = layout::read(in, img).bits;
                    for (int k = 0; k < column->count(); ++k)
                        column->setChecked(k, (bits >> k) & 1);
                };
                b.store = [column, in](QByteArray& img) {
                    layout::Value v;
                    for (int k = 0; k < column->count(); ++k)
                        if (column->checked(k)) v.bits |= std::uint64_t(1) << k;
                    layout::write(in, img, v);
                };
                break;
            }
            case Kind::Phone:
            case Kind::HexDigits:
            case Kind::TestTime:
                return;  // the grids and the masked box come with their pages
        }
        m_bindings.append(b);
    });
}

void TFormParSetting::LoadFromImage(QByteArray& image) {
    m_image = &image;
    for (const Binding& b : m_bindings) b.load(image);
}

void TFormParSetting::StoreToImage(QByteArray& image) {
    for (const Binding& b : m_bindings) b.store(image);
}

void TFormParSetting::btSettingOKClick() {
    if (m_image) StoreToImage(*m_image);
    accept();
}

bool TFormParSetting::eventFilter(QObject* watched, QEvent* event) {
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
    dialogs().message(QString::fromUtf8(kCodeMessage));
    box->clear();
}
