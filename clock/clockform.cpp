#include "clock/clockform.h"

#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "base/dialogs.h"
#include "base/lineopening.h"
#include "base/namedbutton.h"
#include "clock/clockpage.h"
#include "link/ecomport.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/texts.h"

namespace {
// Gives a button back however its operation ends, a serial error included.
struct Reenable {
    QPushButton* button;
    ~Reenable() { button->setEnabled(true); }
};
}  // namespace

TFormClock::TFormClock(ModuleLink& link, UserDialogs& dialogs, std::function<QDateTime()> pcClock,
                       QWidget* parent)
    : QDialog(parent), m_link(link), m_dialogs(dialogs), m_pcClock(std::move(pcClock)) {
    setWindowTitle(QStringLiteral("GSM-Korvanta - Óra ellenőrzése / beállítása"));
    auto button = [this](const char* name, const char* caption) {
        QPushButton* b = namedButton(this, name, caption);
        b->setAutoDefault(false);
        return b;
    };
    btReadClock = button("btReadClock", "Dátum és idő leolvasása a modulról");
    btSetTime = button("btSetTime", "A modul órájának beállítása a számítógép órája alapján");
    btClose = button("btClose", "Ablak bezárása");
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    lbModuleTime = label("lbModuleTime");
    lbPcTime = label("lbPcTime");
    lbDifference = label("lbDifference");
    clearClocks();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 10, 0, 0);
    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 0);
    buttons->setSpacing(8);
    for (QPushButton* b : {btReadClock, btSetTime}) {
        b->setMinimumHeight(b->sizeHint().height() + 10);
        buttons->addWidget(b);
    }
    for (QLabel* l : {lbModuleTime, lbPcTime, lbDifference}) buttons->addWidget(l);
    buttons->addSpacing(8);
    buttons->addWidget(btClose, 0, Qt::AlignRight);
    layout->addLayout(buttons);
    layout->addWidget(StatusBar1);
    // Room around the longest caption, and for the longest status text, the set failure.
    setMinimumWidth(std::max(
        btSetTime->sizeHint().width() + 64,
        StatusBar1->fontMetrics().horizontalAdvance(QString::fromUtf8(clockpage::kSetFailed)) +
            60));

    connect(btReadClock, &QPushButton::clicked, this, &TFormClock::btReadClockClick);
    connect(btSetTime, &QPushButton::clicked, this, &TFormClock::btSetTimeClick);
    connect(btClose, &QPushButton::clicked, this, &TFormClock::btCloseClick);
    adjustSize();
    setFixedSize(sizeHint().expandedTo(minimumSize()));
}

void TFormClock::btReadClockClick() {
    std::optional<clockpage::ReadResult> result;
    QString comError;
    const bool ran = withModule(m_link, m_dialogs, showStatus(), [&](ModuleExchange& exchange) {
        StatusBar1->showMessage(QString::fromUtf8(clockpage::kReading));
        btReadClock->setEnabled(false);
        Reenable reenable{btReadClock};
        try {
            result = clockpage::read(exchange);
        } catch (const EComPort& e) {
            comError = e.message();
        }
    });
    if (!ran) return;
    // The boxes come after the exchange: the link is free again while the user reads them.
    if (result && result->outcome == clockpage::ReadResult::Done) {
        // The PC's time as the page came, so the difference is the clocks', not the user's.
        const QDateTime pc = m_pcClock();
        lbModuleTime->setText(clockpage::moduleTimeText(result->page));
        lbPcTime->setText(clockpage::pcTimeText(pc));
        lbDifference->setText(clockpage::differenceText(clockpage::minutesAhead(result->page, pc)));
        m_dialogs.message(result->text);
        StatusBar1->clearMessage();
        return;
    }
    // A failed read leaves no old reading standing as if it were this one.
    clearClocks();
    if (result && result->outcome == clockpage::ReadResult::LoginFailed)
        m_dialogs.message(result->text);
    if (!comError.isEmpty()) m_dialogs.message(comError);
    StatusBar1->showMessage(QString::fromUtf8(clockpage::kReadFailed));
}

void TFormClock::clearClocks() {
    lbModuleTime->setText(QString::fromUtf8(clockpage::kModuleTimeLabel));
    lbPcTime->setText(QString::fromUtf8(clockpage::kPcTimeLabel));
    lbDifference->setText(QString::fromUtf8(clockpage::kDifferenceLabel));
}

void TFormClock::btSetTimeClick() {
    std::optional<clockpage::SetResult> result;
    QString verdict;
    QString comError;
    const bool ran = withModule(m_link, m_dialogs, showStatus(), [&](ModuleExchange& exchange) {
        btSetTime->setEnabled(false);
        Reenable reenable{btSetTime};
        try {
            result = clockpage::set(exchange, m_pcClock, [this] {
                StatusBar1->showMessage(QString::fromUtf8(clockpage::kSetting));
            });
        } catch (const EComPort& e) {
            comError = e.message();
        }
        verdict = exchange.verdict();
    });
    if (!ran) return;
    if (result == clockpage::SetResult::LoginFailed) m_dialogs.message(verdict);
    if (!comError.isEmpty()) m_dialogs.message(comError);
    StatusBar1->showMessage(QString::fromUtf8(
        result == clockpage::SetResult::Done ? clockpage::kSetDone : clockpage::kSetFailed));
}
