#include "radio/rfform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "base/dialogs.h"
#include "base/lineopening.h"
#include "link/ecomport.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/texts.h"
#include "radio/radiocommand.h"

namespace {

// The three rows of slots: where each begins among the device indexes, and the names of its
// panels, labels and teach buttons (numbered from 1).
struct SlotRow {
    int first;
    const char* panel;
    const char* label;
    const char* button;
    const char* caption;  // beside the row, in the sensors' group
};
constexpr SlotRow kRows[] = {
    {radio::kFirstA, "PanelA", "lbA", "btTeachA", "A"},
    {radio::kFirstB, "PanelB", "lbB", "btTeachB", "B"},
    {radio::kFirstUser, "PanelU", "lbU", "btTeachUser", ""},
};

// Dark panels get white text: black on blue or red is hard to read.
QColor textOn(radio::SlotColour colour) {
    switch (colour) {
        case radio::SlotColour::Teal:
        case radio::SlotColour::Blue:
        case radio::SlotColour::Red:
            return Qt::white;
        default:
            return Qt::black;
    }
}

}  // namespace

TFormRF::TFormRF(ModuleLink& link, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_poller(link), PollPause(m_poller.pause()), m_link(link), m_dialogs(dialogs) {
    setWindowTitle(QStringLiteral("Rádiós eszközök tanítása"));
    buildControls();
    m_rfTimer.setInterval(link.timings().pollMs);
    connect(&m_rfTimer, &QTimer::timeout, this, &TFormRF::RFTimerTimer);
    connect(&m_link, &ModuleLink::radioFrameLine, this, &TFormRF::ShowRadioFrame);
}

void TFormRF::buildControls() {
    auto button = [this](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    const QString teach = QString::fromUtf8(radio::kTeachButton);
    // Wide enough for the longest text a slot shows, "Tanulás".
    // Thirteen columns must fit a 1024-pixel screen, so a slot is as wide as its longest text,
    // the bold "Tanulás" or the button's caption, and no wider: the style's minimum button
    // width would not fit.
    QFont bold = font();
    bold.setBold(true);
    const int buttonText = fontMetrics().horizontalAdvance(teach) +
                           2 * style()->pixelMetric(QStyle::PM_ButtonMargin) + 8;
    const int slotWidth =
        std::max(QFontMetrics(bold).horizontalAdvance(QString::fromUtf8(radio::kTeachingText)) + 12,
                 buttonText);
    for (const SlotRow& row : kRows) {
        for (int i = 0; i < radio::kZones; ++i) {
            const int index = row.first + i;
            const QString n = QString::number(i + 1);
            auto* panel = new QFrame(this);
            panel->setObjectName(QString::fromLatin1(row.panel) + n);
            panel->setFrameShape(QFrame::Panel);
            panel->setFrameShadow(QFrame::Raised);
            panel->setAutoFillBackground(true);
            panel->setFixedWidth(slotWidth);
            auto* label = new QLabel(QString::fromLatin1(radio::kInitial), panel);
            label->setObjectName(QString::fromLatin1(row.label) + n);
            label->setTextFormat(Qt::PlainText);  // what a radio frame says, as it says it
            label->setAlignment(Qt::AlignCenter);
            label->setFont(bold);
            auto* inner = new QVBoxLayout(panel);
            inner->setContentsMargins(2, 4, 2, 4);
            inner->addWidget(label);
            Panel[size_t(index)] = panel;
            lb[size_t(index)] = label;
            QPushButton* b = button(QString::fromLatin1(row.button) + n, teach);
            b->setFixedWidth(slotWidth);
            btTeach[size_t(index)] = b;
            const int tag = index + 1;
            connect(b, &QPushButton::clicked, this, [this, tag] { btTeachA1Click(tag); });
            showSlot(index, {QString::fromLatin1(radio::kInitial), radio::SlotColour::ButtonFace});
        }
    }

    auto header = [this](const QString& text) {
        auto* l = new QLabel(text, this);
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    auto* sensors = new QGroupBox(QStringLiteral(" Rádiós szenzorok "), this);
    sensors->setObjectName(QStringLiteral("gbSensors"));
    auto* sensorGrid = new QGridLayout(sensors);
    sensorGrid->setHorizontalSpacing(4);
    for (int z = 0; z < radio::kZones; ++z)
        sensorGrid->addWidget(header(radio::zoneCaption(z)), 0, z + 1);
    for (int r = 0; r < 2; ++r) {
        const SlotRow& row = kRows[r];
        auto* caption = header(QString::fromLatin1(row.caption));
        caption->setFont(bold);
        sensorGrid->addWidget(caption, 1 + 2 * r, 0);
        for (int z = 0; z < radio::kZones; ++z) {
            sensorGrid->addWidget(Panel[size_t(row.first + z)], 1 + 2 * r, z + 1);
            sensorGrid->addWidget(btTeach[size_t(row.first + z)], 2 + 2 * r, z + 1);
        }
        if (r == 0) sensorGrid->setRowMinimumHeight(2, btTeach[0]->sizeHint().height() + 6);
    }

    auto* remotes = new QGroupBox(QStringLiteral(" Rádiós távvezérlők "), this);
    remotes->setObjectName(QStringLiteral("gbRemotes"));
    auto* remoteGrid = new QGridLayout(remotes);
    remoteGrid->setHorizontalSpacing(4);
    // The empty first column lines the remotes up under the sensors.
    remoteGrid->addWidget(header(QString()), 0, 0);
    remoteGrid->setColumnMinimumWidth(0, sensorGrid->itemAtPosition(1, 0)->sizeHint().width());
    for (int u = 0; u < radio::kZones; ++u) {
        remoteGrid->addWidget(header(radio::userCaption(u)), 0, u + 1);
        remoteGrid->addWidget(Panel[size_t(radio::kFirstUser + u)], 1, u + 1);
        remoteGrid->addWidget(btTeach[size_t(radio::kFirstUser + u)], 2, u + 1);
    }

    btRFDeleteAll =
        button(QStringLiteral("btRFDeleteAll"), QStringLiteral("Az összes rádiós eszköz törlése"));
    lbRFval = new QLabel(QStringLiteral("0"), this);
    lbRFval->setObjectName(QStringLiteral("lbRFval"));
    lbRFval->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000")) + 4);
    pbRFTerero = new QProgressBar(this);
    pbRFTerero->setObjectName(QStringLiteral("pbRFTerero"));
    pbRFTerero->setRange(0, radio::kStrengthMax);
    pbRFTerero->setValue(0);
    pbRFTerero->setTextVisible(false);
    pbRFTerero->setMinimumWidth(200);
    btClose = button(QStringLiteral("btClose"), QStringLiteral("Ablak bezárása"));

    auto* strength = new QHBoxLayout;
    strength->addWidget(
        new QLabel(QStringLiteral("Az utolsó rádiós jelzés erőssége (0-63):"), this));
    strength->addWidget(lbRFval);
    strength->addWidget(pbRFTerero, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btRFDeleteAll);
    bottom->addSpacing(24);
    bottom->addLayout(strength, 1);
    bottom->addSpacing(24);
    bottom->addWidget(btClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sensors);
    layout->addWidget(remotes);
    layout->addLayout(bottom);

    connect(btRFDeleteAll, &QPushButton::clicked, this, &TFormRF::btRFDeleteAllClick);
    connect(btClose, &QPushButton::clicked, this, &TFormRF::btCloseClick);
    adjustSize();
    setFixedSize(sizeHint());
}

void TFormRF::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_pollErrorShown = false;
}

void TFormRF::showSlot(int index, const radio::SlotView& view) {
    QFrame* panel = Panel[size_t(index)];
    QPalette p = panel->palette();
    const std::optional<radio::Rgb> c = radio::rgb(view.colour);
    p.setColor(QPalette::Window,
               c ? QColor(c->red, c->green, c->blue) : palette().color(QPalette::Button));
    panel->setPalette(p);
    QLabel* label = lb[size_t(index)];
    QPalette lp = label->palette();
    lp.setColor(QPalette::WindowText, textOn(view.colour));
    label->setPalette(lp);
    label->setText(view.text);
}

QColor TFormRF::panelColour(int index) const {
    return Panel[size_t(index)]->palette().color(QPalette::Window);
}

void TFormRF::ShowRadioFrame(const QByteArray& line) {
    const std::optional<radio::FrameView> view = radio::decode(line);
    if (!view) return;
    for (int s = 0; s < radio::kSlots; ++s) showSlot(s, view->slotViews[size_t(s)]);
    lbRFval->setText(QString::number(view->strength));
    pbRFTerero->setValue(view->strengthBar);
}

void TFormRF::startPolling() {
    m_poller.takeRadioRefused();
    m_poller.start();
    m_rfTimer.start();
}

void TFormRF::stopPolling() {
    m_rfTimer.stop();
    m_poller.stop();
}

void TFormRF::RFTimerTimer() {
    if (m_poller.takeRadioRefused()) {
        m_dialogs.message(QString::fromUtf8(radio::kRefused));
        return;
    }
    // A hold, or an exchange (a teach, or another window's transfer), keeps the line: a poll
    // now would land between its command and the answer.
    if (!m_poller.tick()) return;
    try {
        m_poller.poll(proto::kAuthPollRadio);
    } catch (const EComPort& e) {
        // Once per opening: the next tick would fail the same way, twice a second.
        if (!m_pollErrorShown) {
            m_pollErrorShown = true;
            m_dialogs.message(e.message());
        }
    }
}

bool TFormRF::holdPolling(int pause) {
    const Timings& t = m_link.timings();
    return m_poller.hold(pause, t.pollMs / std::max(1, t.tickMs), [this] {
        return !isVisible() || !m_link.connected() || !m_rfTimer.isActive();
    });
}

void TFormRF::setCommandButtonsEnabled(bool enabled) {
    for (QPushButton* b : btTeach) b->setEnabled(enabled);
    btRFDeleteAll->setEnabled(enabled);
}

void TFormRF::sendBetweenPauses(int command, int pause) {
    // The exchange keeps every other sender off the line until the second pause is over, and
    // refuses to start while another window's transfer runs.
    withLine(m_link, [this](const QString& t) { m_dialogs.message(t); },
             [&](ModuleExchange& exchange) {
                 setCommandButtonsEnabled(false);
                 struct Restore {
                     TFormRF* form;
                     ~Restore() {
                         form->PollPause = 0;
                         form->setCommandButtonsEnabled(true);
                     }
                 } restore{this};
                 try {
                     radio::commandBetweenPauses(exchange, command, pause,
                                                 [this](int p) { return holdPolling(p); });
                 } catch (const EComPort& e) {
                     m_dialogs.message(e.message());
                 }
             });
}

void TFormRF::btTeachA1Click(int tag) {
    if (!m_link.connected()) {
        m_dialogs.message(QString::fromUtf8(texts::kNoSerial));
        return;
    }
    if (!m_dialogs.confirm(QString::fromUtf8(radio::kConfirmTeach))) return;
    sendBetweenPauses(proto::kAuthTeachFirst + tag - 1, radio::kTeachPause);
}

void TFormRF::btRFDeleteAllClick() {
    if (!m_link.connected()) {
        m_dialogs.message(QString::fromUtf8(texts::kNoSerial));
        return;
    }
    if (!m_dialogs.confirm(QString::fromUtf8(radio::kConfirmDelete1))) return;
    if (!m_dialogs.confirm(QString::fromUtf8(radio::kConfirmDelete2))) return;
    sendBetweenPauses(proto::kAuthDeleteRadio, radio::kDeletePause);
}
