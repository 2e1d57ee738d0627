#include "status/statusform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

#include "base/dialogs.h"
#include "base/lineopening.h"
#include "base/namedbutton.h"
#include "events/eventgrid.h"
#include "events/eventlistform.h"
#include "events/names.h"
#include "events/pagedownload.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/texts.h"
#include "status/alarmstop.h"

namespace {

constexpr std::array<int, kEventGridColumns> kColumnWidths = {20, 80, 89, 33, 17, 17, 17,
                                                              17, 17, 17, 17, 17, 17, 40};
constexpr int kEventRows = 8;
// Polls held before the names download and before the first alarm stop, then between the
// second and third alarm stop: the line must be quiet of poll answers first.
constexpr const char* kNamesRunning = "Zóna és Felhasználói nevek letöltése..";

const char* const kInitialState = ".";
const char* const kMaroon = "color: #800000;";
const char* const kGreenText = "color: #008000;";

QLabel* panel(QWidget* parent, const QString& name, const QString& caption) {
    auto* p = new QLabel(caption, parent);
    p->setObjectName(name);
    // Zone captions carry the names the module sends: data, never markup.
    p->setTextFormat(Qt::PlainText);
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Raised);
    p->setMargin(2);
    p->setMinimumWidth(p->fontMetrics().horizontalAdvance(QStringLiteral("M")) * 9);
    return p;
}

QLabel* stateLabel(QWidget* parent, const QString& name, const char* initial = kInitialState) {
    auto* l = new QLabel(QString::fromUtf8(initial), parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);  // what a status frame says, as it says it
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("V! A0  /  V! B0")) + 6);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(p);
    return l;
}

void setLabel(QLabel* label, const LabelView& view) {
    label->setText(view.text);
    if (!view.colour) return;
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText,
               QColor(view.colour->red, view.colour->green, view.colour->blue));
    label->setPalette(p);
}

// Puts the window's state back however an operation ends, a serial error included.
template <class F>
struct Finally {
    F f;
    ~Finally() { f(); }
};
template <class F>
Finally(F) -> Finally<F>;

}  // namespace

TFormStatus::TFormStatus(ModuleLink& link, UserDialogs& dialogs, TFormEventlistShort& eventList,
                         QWidget* parent)
    : QDialog(parent),
      m_polls(link),
      PollToggle(m_polls.toggle()),
      PollPause(m_polls.line().pause()),
      m_link(link),
      m_dialogs(dialogs),
      m_eventList(eventList) {
    setWindowTitle(QStringLiteral("GSM-Korvanta állapotfigyelés"));
    buildControls();
    m_statusTimer.setInterval(link.timings().pollMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &TFormStatus::StatusTimerTimer);
    connect(&m_link, &ModuleLink::statusFrameLine, this, &TFormStatus::ShowStatusFrame);
    connect(&m_link, &ModuleLink::eventLine, this, &TFormStatus::ShowEventLine);
    connect(&m_link, &ModuleLink::messageLine, this, &TFormStatus::ShowModuleMessage);
}

void TFormStatus::buildControls() {
    auto button = [this](const char* name, const char* caption, const char* style = nullptr) {
        QPushButton* b = namedButton(this, name, caption);
        if (style) b->setStyleSheet(QString::fromLatin1(style));
        return b;
    };
    auto caption = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };

    // Zones, then the arm/disarm inputs.
    auto* zones = new QGridLayout;
    zones->setVerticalSpacing(2);
    for (int z = 0; z < statusframe::kZones; ++z) {
        const QString n = QString::number(z + 1);
        PanelIN[size_t(z)] = panel(this, QStringLiteral("PanelIN") + n, QStringLiteral("IN") + n);
        lbINS[size_t(z)] = stateLabel(this, QStringLiteral("lbINS") + n);
        lbINE[size_t(z)] = stateLabel(this, QStringLiteral("lbINE") + n);
        zones->addWidget(PanelIN[size_t(z)], z, 0);
        zones->addWidget(lbINS[size_t(z)], z, 1);
        zones->addWidget(lbINE[size_t(z)], z, 2);
    }
    PanelInputA = panel(this, QStringLiteral("PanelInputA"), QStringLiteral("'A' bemenet"));
    PanelInputB = panel(this, QStringLiteral("PanelInputB"), QStringLiteral("'B' bemenet"));
    lbINEA = stateLabel(this, QStringLiteral("lbINEA"));
    lbINEB = stateLabel(this, QStringLiteral("lbINEB"));
    zones->addWidget(PanelInputA, statusframe::kZones, 0);
    zones->addWidget(lbINEA, statusframe::kZones, 2);
    zones->addWidget(PanelInputB, statusframe::kZones + 1, 0);
    zones->addWidget(lbINEB, statusframe::kZones + 1, 2);

    // A panel with its caption and the label beside it, in rows of a grid.
    auto addPair = [this](QGridLayout* grid, const char* panelName, const char* text,
                          QLabel* label) {
        const int row = grid->rowCount();
        grid->addWidget(panel(this, QString::fromLatin1(panelName), QString::fromUtf8(text)), row,
                        0);
        grid->addWidget(label, row, 1);
    };
    lbPart1 = stateLabel(this, QStringLiteral("lbPart1"));
    lbPart2 = stateLabel(this, QStringLiteral("lbPart2"));
    auto* partitions = new QGridLayout;
    addPair(partitions, "PanelPart1", "1. Partíció állapota", lbPart1);
    addPair(partitions, "PanelPart2", "2. Partíció állapota", lbPart2);

    auto* outputsBox = new QGroupBox(QStringLiteral(" Kimenetek "), this);
    outputsBox->setObjectName(QStringLiteral("gbOutputs"));
    auto* outputs = new QGridLayout(outputsBox);
    for (int r = 0; r < 3; ++r) {
        const QString n = QString::number(r + 1);
        lbREL[size_t(r)] = stateLabel(this, QStringLiteral("lbREL") + n);
        outputs->addWidget(panel(this, QStringLiteral("PanelREL") + n, QStringLiteral("RELE ") + n),
                           r, 0);
        outputs->addWidget(lbREL[size_t(r)], r, 1);
    }
    for (int o = 0; o < 2; ++o) {
        const QString n = QString::number(o + 1);
        lbOUT[size_t(o)] = stateLabel(this, QStringLiteral("lbOUT") + n);
        outputs->addWidget(panel(this, QStringLiteral("PanelOUT") + n, QStringLiteral("OUT ") + n),
                           3 + o, 0);
        outputs->addWidget(lbOUT[size_t(o)], 3 + o, 1);
    }

    lbKezelo = stateLabel(this, QStringLiteral("lbKezelo"));
    lbFix = stateLabel(this, QStringLiteral("lbFix"));
    lbAkku = stateLabel(this, QStringLiteral("lbAkku"));
    lbAC = stateLabel(this, QStringLiteral("lbAC"));
    auto* supplies = new QGridLayout;
    addPair(supplies, "PanelKezelo", "Kezelő 12V", lbKezelo);
    addPair(supplies, "PanelFix", "Fix 12V", lbFix);
    addPair(supplies, "PanelAkku", "Akkumulátor", lbAkku);
    addPair(supplies, "PanelAC", "AC", lbAC);
    const QString akkuHint = QStringLiteral(
        "Utoljára mért valós akku-feszültség   /   Pillanatnyi feszültség a kapcsokon (töltés "
        "esetén a töltőfeszültség)");
    lbAkku->setToolTip(akkuHint);
    findChild<QLabel*>(QStringLiteral("PanelAkku"))->setToolTip(akkuHint);

    lbGSMpowVal = stateLabel(this, QStringLiteral("lbGSMpowVal"), "0");
    lbGSMpowVal->setMinimumWidth(0);
    pbTerero = new QProgressBar(this);
    pbTerero->setObjectName(QStringLiteral("pbTerero"));
    pbTerero->setRange(0, statusframe::kGsmMax);
    pbTerero->setValue(0);
    pbTerero->setTextVisible(false);
    lbTempVal = stateLabel(this, QStringLiteral("lbTempVal"), "");
    auto* gsm = new QGridLayout;
    gsm->addWidget(caption("GSM térerő (0-31):"), 0, 0);
    gsm->addWidget(lbGSMpowVal, 0, 1);
    gsm->addWidget(pbTerero, 1, 0, 1, 2);
    gsm->addWidget(caption("Modul hőmérs.:"), 2, 0);
    gsm->addWidget(lbTempVal, 2, 1);

    auto* right = new QVBoxLayout;
    right->addLayout(partitions);
    right->addWidget(outputsBox);
    right->addLayout(supplies);
    right->addLayout(gsm);
    right->addStretch();

    auto* top = new QHBoxLayout;
    top->addLayout(zones);
    top->addSpacing(12);
    top->addLayout(right);
    top->addStretch();

    acgEvSh = new QTableWidget(kEventRows, kEventGridColumns, this);
    acgEvSh->setObjectName(QStringLiteral("acgEvSh"));
    setupEventGrid(acgEvSh, ZoneUserVariant::StatusWindow, kColumnWidths);
    acgEvSh->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    acgEvSh->setFixedSize(eventGridWidth(acgEvSh),
                          acgEvSh->horizontalHeader()->sizeHint().height() +
                              kEventRows * acgEvSh->verticalHeader()->defaultSectionSize() +
                              2 * acgEvSh->frameWidth());
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setMinimumWidth(260);
    // A window left open for days keeps the newest messages only; a read-only pane needs no
    // undo history either.
    Memo1->setMaximumBlockCount(kModuleMessagesKept);
    Memo1->setUndoRedoEnabled(false);
    btClearMsg = button("btClearMsg", "Üzenetablak törlése");

    auto* events = new QVBoxLayout;
    events->addWidget(caption("Az utolsó nyolc esemény:"));
    events->addWidget(acgEvSh);
    events->addStretch();
    auto* messages = new QVBoxLayout;
    messages->addWidget(caption("A modul állapot üzenetei:"));
    messages->addWidget(Memo1);
    messages->addWidget(btClearMsg, 0, Qt::AlignRight);
    auto* middle = new QHBoxLayout;
    middle->addLayout(events);
    middle->addLayout(messages, 1);

    btLoadZoneNames = button("btLoadZoneNames", "Zóna nevek leolvasása");
    btSotpAllAlarm = button("btSotpAllAlarm", "Riasztás leállítása", kMaroon);
    btP1ON = button("btP1ON", "Élesítés P1", kMaroon);
    btP1OFF = button("btP1OFF", "Kikapcs.P1", kGreenText);
    btP2ON = button("btP2ON", "Élesítés P2", kMaroon);
    btP2OFF = button("btP2OFF", "Kikapcs.P2", kGreenText);
    btClose = button("btClose", "Ablak bezárása");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btLoadZoneNames, btSotpAllAlarm, btP1ON, btP1OFF, btP2ON, btP2OFF})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(btClose);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);
    layout->addWidget(StatusBar1);

    connect(btClose, &QPushButton::clicked, this, &TFormStatus::btCloseClick);
    connect(btClearMsg, &QPushButton::clicked, this, &TFormStatus::btClearMsgClick);
    connect(btLoadZoneNames, &QPushButton::clicked, this, &TFormStatus::btLoadZoneNamesClick);
    connect(btSotpAllAlarm, &QPushButton::clicked, this, &TFormStatus::btSotpAllAlarmClick);
    connect(btP1OFF, &QPushButton::clicked, this, &TFormStatus::btP1OFFClick);
    connect(btP2OFF, &QPushButton::clicked, this, &TFormStatus::btP2OFFClick);
    connect(btP1ON, &QPushButton::clicked, this, &TFormStatus::btP1ONClick);
    connect(btP2ON, &QPushButton::clicked, this, &TFormStatus::btP2ONClick);
    adjustSize();
}

QString TFormStatus::cell(int row, int column) const {
    if (row == 0) {
        const QTableWidgetItem* h = acgEvSh->horizontalHeaderItem(column);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem* item = acgEvSh->item(row - 1, column);
    return item ? item->text() : QString();
}

TextColour TFormStatus::textColour(const QLabel* label) {
    const QColor c = label->palette().color(QPalette::WindowText);
    return {c.red(), c.green(), c.blue()};
}

void TFormStatus::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TFormStatus::FormShow() {
    m_pollErrorShown = false;
    m_polls.reset();
    refreshCaptions();
}

void TFormStatus::refreshCaptions() {
    for (int z = 0; z < statusframe::kZones; ++z)
        PanelIN[size_t(z)]->setText(zoneCaption(m_eventList.NameTable(), z + 1));
}

void TFormStatus::StatusTimerTimer() {
    try {
        const char* warning = m_polls.tick();
        // A closed port is said only to whoever looks.
        if (warning && (qstrcmp(warning, texts::kNoSerial) != 0 || isVisible()))
            warnPolls(warning);
    } catch (const EComPort& e) {
        // Once per opening: the next tick would fail the same way, twice a second.
        if (!m_pollErrorShown) {
            m_pollErrorShown = true;
            m_dialogs.message(e.message());
        }
    }
}

bool TFormStatus::pollsGone() const {
    return !m_link.connected() || !m_statusTimer.isActive();
}

void TFormStatus::startPolling() {
    m_polls.line().start();
    m_statusTimer.start();
}

void TFormStatus::stopPolling() {
    m_statusTimer.stop();
    m_polls.line().stop();
}

alarmstop::Hold TFormStatus::holdPolling(int pause) {
    const Timings& t = m_link.timings();
    m_polls.line().hold(pause, t.pollMs / std::max(1, t.tickMs),
                  [this] { return !isVisible() || pollsGone(); });
    if (!isVisible()) return alarmstop::Hold::Gone;
    if (pollsGone() || PollPause > 1) return alarmstop::Hold::Lost;
    return alarmstop::Hold::Held;
}

void TFormStatus::btLoadZoneNamesClick() {
    // Without a port the user is told what the download itself would say; nothing would count
    // the hold.
    withModule(m_link, m_dialogs, showStatus(),
               [this](ModuleExchange& exchange) { loadZoneNames(exchange); });
}

void TFormStatus::loadZoneNames(ModuleExchange& exchange) {
    btLoadZoneNames->setEnabled(false);
    Finally restore{[this] {
        PollPause = 0;
        btLoadZoneNames->setEnabled(true);
        refreshCaptions();
    }};
    StatusBar1->showMessage(QString::fromUtf8(kNamesRunning));
    if (holdPolling(alarmstop::kHoldBeforeExchange) != alarmstop::Hold::Held) {
        StatusBar1->showMessage(downloadFailedText());
        return;
    }
    try {
        exchange.sendAuthorised(proto::kAuthLogin);
    } catch (const EComPort& e) {
        StatusBar1->showMessage(downloadFailedText());
        m_dialogs.message(e.message());
        return;
    }
    // A failure's text stays: it is the only word of a failed page. A download that went well
    // leaves the bar empty, as the window's other operations do.
    if (m_eventList.LoadNames(StatusBar1, exchange) == DownloadOutcome::Done)
        StatusBar1->clearMessage();
}

void TFormStatus::btSotpAllAlarmClick() {
    if (!m_dialogs.confirm(QString::fromUtf8(alarmstop::kConfirm))) return;
    withModule(m_link, m_dialogs, showStatus(),
               [this](ModuleExchange& exchange) { stopAlarms(exchange); });
}

void TFormStatus::stopAlarms(ModuleExchange& exchange) {
    btSotpAllAlarm->setEnabled(false);
    StatusBar1->showMessage(QString::fromUtf8(alarmstop::kRunning));
    Finally restore{[this] {
        btSotpAllAlarm->setEnabled(true);
        StatusBar1->clearMessage();
        PollPause = 0;
    }};
    try {
        const std::optional<alarmstop::Verdict> verdict = alarmstop::stopBetweenPolls(
            exchange, [this](int pause) { return holdPolling(pause); });
        if (verdict) m_dialogs.message(alarmstop::message(*verdict));
    } catch (const EComPort& e) {
        m_dialogs.message(e.message());
    }
}

void TFormStatus::sendPartitionCommand(int code) {
    reportComErrors(m_dialogs, [&] {
        if (!m_polls.line().command(code)) StatusBar1->showMessage(QString::fromUtf8(texts::kBusy));
    });
}

void TFormStatus::btP1OFFClick() { sendPartitionCommand(proto::kAuthPartition1Off); }
void TFormStatus::btP2OFFClick() { sendPartitionCommand(proto::kAuthPartition2Off); }
void TFormStatus::btP1ONClick() { sendPartitionCommand(proto::kAuthPartition1On); }
void TFormStatus::btP2ONClick() { sendPartitionCommand(proto::kAuthPartition2On); }

void TFormStatus::warnPolls(const char* text) {
    const QString warning = QString::fromUtf8(text);
    if (warning == m_pollWarning && StatusBar1->currentMessage() == warning) return;
    m_pollWarning = warning;
    StatusBar1->showMessage(warning);
}

void TFormStatus::pollsAnswered() {
    m_polls.answered();
    if (m_pollWarning.isEmpty()) return;
    if (StatusBar1->currentMessage() == m_pollWarning) StatusBar1->clearMessage();
    m_pollWarning.clear();
}

void TFormStatus::ShowStatusFrame(const QByteArray& line) {
    const std::optional<StatusView> v = decodeStatusFrame(line);
    if (!v) return;
    pollsAnswered();
    for (size_t z = 0; z < v->loop.size(); ++z) {
        setLabel(lbINE[z], v->loop[z]);
        setLabel(lbINS[z], v->alarm[z]);
    }
    setLabel(lbINEA, v->input[0]);
    setLabel(lbINEB, v->input[1]);
    setLabel(lbAkku, v->battery);
    setLabel(lbPart1, v->partition[0]);
    setLabel(lbPart2, v->partition[1]);
    setLabel(lbOUT[0], v->output[0]);
    setLabel(lbOUT[1], v->output[1]);
    setLabel(lbKezelo, v->keypad);
    setLabel(lbFix, v->fixed);
    for (size_t r = 0; r < v->relay.size(); ++r) setLabel(lbREL[r], v->relay[r]);
    // The bar cannot go past its ends; the number says what the module sent.
    pbTerero->setValue(std::clamp(v->gsm, 0, statusframe::kGsmMax));
    lbGSMpowVal->setText(QString::number(v->gsm));
    setLabel(lbAC, v->mains);
    lbTempVal->setText(v->temperature);
}

void TFormStatus::ShowEventLine(const QByteArray& line) {
    const auto records = decodeEventLine(line);
    for (int k = 0; k < kEventLineRecords; ++k)
        fillEventRow(acgEvSh, k,
                     decodeEventRecord(records[size_t(k)], ZoneUserVariant::StatusWindow));
}

void TFormStatus::ShowModuleMessage(const QByteArray& line) {
    Memo1->appendPlainText(moduleMessageText(line));
}
