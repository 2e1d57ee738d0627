#include "events/eventlistform.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "base/dialogs.h"
#include "base/lineopening.h"
#include "base/namedbutton.h"
#include "events/eventgrid.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/texts.h"

namespace {

constexpr std::array<int, kEventGridColumns> kColumnWidths = {54, 114, 157, 167, 20, 20, 20,
                                                              20, 20,  20,  20,  20, 32, 46};

// Puts a button back however the handler ends, a serial error included.
struct Reenable {
    QPushButton* button;
    ~Reenable() { button->setEnabled(true); }
};

}  // namespace

TFormEventlistShort::TFormEventlistShort(ModuleLink& link, UserDialogs& dialogs,
                                         const NameFields& nameFields, QWidget* parent)
    : QWidget(parent), m_link(link), m_dialogs(dialogs), m_nameFields(nameFields) {
    setWindowTitle(QStringLiteral("GSM-Korvanta  Rövid eseménylista"));

    acgEvSh = new QTableWidget(eventring::kShownRows, kEventGridColumns, this);
    acgEvSh->setObjectName(QStringLiteral("acgEvSh"));
    setupEventGrid(acgEvSh, ZoneUserVariant::EventList, kColumnWidths);

    auto button = [this](const char* name, const char* caption) {
        return namedButton(this, name, caption);
    };
    btLoadEvents = button("btLoadEvents", "Eseménylista lekérdezése");
    btLoadNames = button("btLoadNames", "Zóna / Felhaszn. nevek letöltése");
    btClose = button("btClose", "Ablak bezárása");
    StatusBarEventListShort = new QStatusBar(this);
    StatusBarEventListShort->setObjectName(QStringLiteral("StatusBarEventListShort"));
    StatusBarEventListShort->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addWidget(acgEvSh);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btLoadEvents);
    buttons->addWidget(btLoadNames);
    buttons->addStretch();
    buttons->addWidget(btClose);
    layout->addLayout(buttons);
    layout->addWidget(StatusBarEventListShort);

    connect(btLoadEvents, &QPushButton::clicked, this, &TFormEventlistShort::btLoadEventsClick);
    connect(btLoadNames, &QPushButton::clicked, this, &TFormEventlistShort::btLoadNamesClick);
    connect(btClose, &QPushButton::clicked, this, &TFormEventlistShort::btCloseClick);

    const int width = eventGridWidth(acgEvSh);
    acgEvSh->setMinimumWidth(width);
    resize(width + 12, 680);
    FormCreate();
}

void TFormEventlistShort::FormCreate() {
    m_nameTable.clear();
    for (int i = 0; i < names::kCount; ++i) m_nameTable.append(QString());
}

QString TFormEventlistShort::cell(int row, int column) const {
    if (row == 0) {
        const QTableWidgetItem* h = acgEvSh->horizontalHeaderItem(column);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem* item = acgEvSh->item(row - 1, column);
    return item ? item->text() : QString();
}

void TFormEventlistShort::setCell(int row, int column, const QString& text) {
    acgEvSh->item(row - 1, column)->setText(text);
}

void TFormEventlistShort::ShowEventList() {
    const QList<int> order = shownSlots(m_eventRing);
    for (int r = 1; r <= eventring::kShownRows; ++r) {
        setCell(r, 0, QString::number(r));
        // An empty slot empties its whole row: marks left from an earlier fill would read as
        // an event's notifications.
        fillEventRow(acgEvSh, r - 1,
                     decodeEventRecord(slotRecord(m_eventRing, order[r - 1]),
                                       ZoneUserVariant::EventList, m_nameTable));
    }
}

void TFormEventlistShort::btLoadEventsClick() {
    withModule(m_link, m_dialogs, [this](const QString& t) { showStatus(t); },
               [this](ModuleExchange& exchange) { loadEvents(exchange); });
}

void TFormEventlistShort::loadEvents(ModuleExchange& exchange) {
    btLoadEvents->setEnabled(false);
    Reenable reenable{btLoadEvents};
    QByteArray pages;
    QString verdict;
    DownloadOutcome outcome = DownloadOutcome::Failed;
    try {
        outcome = downloadPages(
            exchange, kEventListPlan, &pages, [this](const QString& t) { showStatus(t); },
            &verdict);
    } catch (const EComPort& e) {
        showStatus(downloadFailedText());
        m_dialogs.message(e.message());
        return;
    }
    if (outcome == DownloadOutcome::LoginFailed) m_dialogs.message(verdict);
    if (outcome != DownloadOutcome::Done) return;
    std::copy_n(pages.constData(), m_eventRing.size(), m_eventRing.begin());
    ShowEventList();
}

DownloadOutcome TFormEventlistShort::LoadNames(QStatusBar* statusBar) {
    if (!m_link.connected()) {
        m_dialogs.message(QString::fromUtf8(texts::kNoSerial));
        return DownloadOutcome::NotConnected;
    }
    DownloadOutcome outcome = DownloadOutcome::Busy;
    withLine(m_link, [statusBar](const QString& t) { statusBar->showMessage(t); },
             [&](ModuleExchange& exchange) { outcome = LoadNames(statusBar, exchange); });
    return outcome;
}

DownloadOutcome TFormEventlistShort::LoadNames(QStatusBar* statusBar, ModuleExchange& exchange) {
    if (!m_link.connected()) {
        m_dialogs.message(QString::fromUtf8(texts::kNoSerial));
        return DownloadOutcome::NotConnected;
    }
    btLoadEvents->setEnabled(false);
    Reenable reenable{btLoadEvents};
    QByteArray pages;
    QString verdict;
    DownloadOutcome outcome = DownloadOutcome::Failed;
    try {
        outcome = downloadPages(
            exchange, kNamesPlan, &pages,
            [statusBar](const QString& t) { statusBar->showMessage(t); }, &verdict);
    } catch (const EComPort& e) {
        statusBar->showMessage(downloadFailedText());
        m_dialogs.message(e.message());
        return DownloadOutcome::Failed;
    }
    if (outcome == DownloadOutcome::LoginFailed) m_dialogs.message(verdict);
    if (outcome != DownloadOutcome::Done) return outcome;
    std::copy_n(pages.constData(), m_namePages.size(), m_namePages.begin());
    m_nameTable = namesFromPages(m_namePages, m_nameFields);
    ShowEventList();
    return outcome;
}
