#include "params/paramform.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <stdexcept>

#include "base/dialogs.h"
#include "base/windowfit.h"
#include "params/digitgrid.h"
#include "params/editorrows.h"
#include "params/editorwidgets.h"
#include "params/onoffmode.h"

namespace {

const char* const kCodeMessage = "A jelszó csak 4 vagy 6 jegyű szám lehet!";
constexpr int kSpinWidth = 62;

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
    // Every page scrolls when the window is smaller than it; the two long lists also scroll
    // inside their pages.
    PageControl->addTab(editor::scrolled(buildZonesPage()), QStringLiteral("Zónák"));
    PageControl->addTab(editor::scrolled(buildUsersPage()), QStringLiteral("Felhasználók"));
    PageControl->addTab(editor::scrolled(buildEventsPage()), QStringLiteral("Események"));
    PageControl->addTab(editor::scrolled(buildRelaysPage()), QStringLiteral("Relé kimenetek"));
    PageControl->addTab(editor::scrolled(buildPhonesPage()),
                        QStringLiteral("Telefonszámok && egyéb paraméterek"));
    PageControl->addTab(editor::scrolled(buildRadioPage()),
                        QStringLiteral("Rádiós eszközök beállításai"));
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
    setSizeGripEnabled(true);
    resize(kPreferredSize);
    // Walks the layout table; a field without its control stops here, loudly.
    m_bindings = editor::bindFields([this](const QString& name) { return m_controls.value(name); });
    FormCreate();
}

void TFormParSetting::fitTo(const QRect& available) {
    // Before the first showing the frame is unknown; a typical title bar and border are allowed.
    const QSize frame = isVisible() ? frameGeometry().size() - size() : kTypicalFrame;
    const QRect f = fittedFrame(kPreferredSize, available, frame);
    resize(f.size() - frame);
    move(f.topLeft());
}

void TFormParSetting::FormCreate() {
    for (QScrollArea* area : {ScrollBox1, ScrollBox2}) area->verticalScrollBar()->setValue(0);
}

void TFormParSetting::registerControl(QObject* control) {
    if (m_controls.contains(control->objectName()))
        throw std::logic_error("two editor controls named " +
                               control->objectName().toStdString());
    m_controls.insert(control->objectName(), control);
}

layout::Instance TFormParSetting::fieldOf(const char* pattern, int number) const {
    const std::optional<layout::Instance> in =
        layout::findInstance(QString::fromLatin1(pattern), number);
    if (!in)
        throw std::logic_error(std::string("no layout field ") + pattern + " " +
                               std::to_string(number));
    return *in;
}

QLineEdit* TFormParSetting::makeTextBox(const char* pattern, int number, QWidget* parent) {
    const layout::Instance in = fieldOf(pattern, number);
    auto* box = new QLineEdit(parent);
    box->setObjectName(in.name());
    box->setMaxLength(layout::maxLength(*in.field));
    const bool code = in.field->kind == layout::Kind::Code;
    if (code) box->installEventFilter(this);  // the code check runs when the box is left
    // Codes are digits (and "*"); names and messages may be any letters.
    box->setFixedWidth(editor::boxWidthFor(box, layout::maxLength(*in.field),
                                           code ? QLatin1Char('0') : QLatin1Char('W')));
    registerControl(box);
    return box;
}

QSpinBox* TFormParSetting::makeSpin(const char* pattern, int number, QWidget* parent) {
    const layout::Instance in = fieldOf(pattern, number);
    QSpinBox* spin = makeSpinner(parent, in.name(), layout::boxName(in), in.field->min,
                                 in.field->max, in.field->initial);
    spin->setFixedWidth(kSpinWidth);
    registerControl(spin);
    return spin;
}

QComboBox* TFormParSetting::makeDropDown(const char* pattern, int number, QWidget* parent) {
    const layout::Instance in = fieldOf(pattern, number);
    auto* list = new QComboBox(parent);
    list->setObjectName(in.name());
    list->addItems(*in.field->choices);
    list->setCurrentIndex(-1);
    if (in.field->kind == layout::Kind::RemoteButton) {
        // Unlike the other lists these can be typed into, and show all functions at once.
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        list->setMaxVisibleItems(int(in.field->choices->size()));
        list->setCurrentIndex(-1);
    }
    registerControl(list);
    return list;
}

QButtonGroup* TFormParSetting::makeOptionGroup(const char* pattern, int number, QWidget* parent) {
    const layout::Instance in = fieldOf(pattern, number);
    auto* group = new QButtonGroup(this);
    group->setObjectName(in.name());
    for (int i = 0; i < in.field->choices->size(); ++i) group->addButton(new QRadioButton(parent), i);
    registerControl(group);
    return group;
}

DigitGrid* TFormParSetting::makeGrid(const char* pattern, int number) {
    const layout::Instance in = fieldOf(pattern, number);
    const bool phone = in.field->kind == layout::Kind::Phone;
    auto* g = new DigitGrid(phone ? grid::Family::Telephone : grid::Family::Hex, in.field->size);
    g->setObjectName(in.name());
    registerControl(g);
    return g;
}

QList<CheckColumn*> TFormParSetting::makeCheckColumns(const char* pattern,
                                                      const QList<int>& numbers) {
    QList<CheckColumn*> columns;
    for (int number : numbers) {
        const layout::Instance in = fieldOf(pattern, number);
        // A flag or a trigger set has one column; a word has one per bit, shared by all rows.
        const int count = in.field->kind == layout::Kind::RightsWord ||
                                  in.field->kind == layout::Kind::ReportMask
                              ? layout::checkCount(in)
                              : 1;
        for (int bit = 0; bit < count; ++bit) {
            auto* column = new CheckColumn(this);
            column->setObjectName(layout::checkPlace(in, bit).column);
            registerControl(column);
            columns.append(column);
        }
    }
    return columns;
}

void TFormParSetting::focusScrollBox(QScrollArea* area) { area->setFocus(Qt::OtherFocusReason); }

void TFormParSetting::acgTel1KeyPress(DigitGrid& g, QChar key) { g.typeKey(key); }
void TFormParSetting::acgUserAccountKeyPress(DigitGrid& g, QChar key) { g.typeKey(key); }

void TFormParSetting::addTallChecks(QHBoxLayout* row, QWidget* rowWidget,
                                    const QList<CheckColumn*>& columns, QList<QCheckBox*>& boxes) {
    for (CheckColumn* column : columns) {
        auto* box = new QCheckBox(rowWidget);
        box->installEventFilter(this);
        boxes.append(box);
        column->append(box);
        editor::addCentred(row, box, editor::kCheckWidth);
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

void TFormParSetting::btOnOffModeClick() {
    if (!m_onOffMode) return;
    m_onOffMode->setTarget(udOnOffMode);
    m_onOffMode->setItemIndex(udOnOffMode->value());
    m_onOffMode->exec();
}

void TFormParSetting::LoadFromImage(const ParamImage& image) {
    m_image = image;
    for (const editor::FieldBinding& b : m_bindings) b.load(image.bytes());
}

ParamImage TFormParSetting::StoreToImage() const {
    QByteArray bytes = m_image.bytes();
    for (const editor::FieldBinding& b : m_bindings) b.store(bytes);
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
