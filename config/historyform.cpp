#include "config/historyform.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "base/namedbutton.h"
#include "config/datafile.h"
#include "config/transfer.h"
#include "params/paramtext.h"

namespace {
const char* const kNoEntries = "Nincs még mentett konfiguráció.";
const char* const kSame = "Nincs eltérés: a kép ugyanezt tartalmazza.";
}  // namespace

TFormHistory::TFormHistory(ConfigTransfer& transfer, Loader load, UserDialogs& dialogs,
                           QWidget* parent)
    : QDialog(parent), m_transfer(transfer), m_load(std::move(load)), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("FormHistory"));
    setWindowTitle(QStringLiteral("GSM-Korvanta - Konfigurációs előzmények"));

    gridEntries = new QTableWidget(0, 2, this);
    gridEntries->setObjectName(QStringLiteral("gridEntries"));
    gridEntries->setHorizontalHeaderLabels({QStringLiteral("Időpont"), QStringLiteral("Esemény")});
    gridEntries->horizontalHeader()->setStretchLastSection(true);
    gridEntries->verticalHeader()->hide();
    gridEntries->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridEntries->setSelectionMode(QAbstractItemView::SingleSelection);
    gridEntries->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridEntries->setColumnWidth(0, 150);
    gridEntries->setMinimumHeight(140);

    memoDiff = new QPlainTextEdit(this);
    memoDiff->setObjectName(QStringLiteral("memoDiff"));
    memoDiff->setReadOnly(true);
    memoDiff->setLineWrapMode(QPlainTextEdit::NoWrap);

    btLoadEntry = namedButton(this, "btLoadEntry", "Betöltés a képbe");
    btCompareFile = namedButton(this, "btCompareFile", "Összevetés fájllal...");
    btClose = namedButton(this, "btClose", "Ablak bezárása");
    for (QPushButton* b : {btLoadEntry, btCompareFile, btClose}) b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btLoadEntry);
    buttons->addWidget(btCompareFile);
    buttons->addStretch();
    buttons->addWidget(btClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gridEntries, 1);
    layout->addWidget(memoDiff, 2);
    layout->addLayout(buttons);
    resize(560, 460);

    connect(gridEntries, &QTableWidget::itemSelectionChanged, this,
            &TFormHistory::gridEntriesSelect);
    connect(btLoadEntry, &QPushButton::clicked, this, &TFormHistory::btLoadEntryClick);
    connect(btCompareFile, &QPushButton::clicked, this, &TFormHistory::btCompareFileClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
}

void TFormHistory::refresh() {
    m_entries = history::list(m_transfer.historyFolder());
    gridEntries->clearContents();
    gridEntries->setRowCount(int(m_entries.size()));
    for (int r = 0; r < m_entries.size(); ++r) {
        const history::Entry& e = m_entries[r];
        gridEntries->setItem(r, 0, new QTableWidgetItem(e.when.toString(
                                       QStringLiteral("yyyy.MM.dd. HH:mm:ss"))));
        gridEntries->setItem(r, 1, new QTableWidgetItem(history::eventText(e.event)));
    }
    btLoadEntry->setEnabled(!m_entries.isEmpty());
    if (m_entries.isEmpty())
        memoDiff->setPlainText(QString::fromUtf8(kNoEntries));
    else
        gridEntries->selectRow(0);
}

void TFormHistory::gridEntriesSelect() {
    const int row = gridEntries->currentRow();
    if (row < 0 || row >= m_entries.size()) return;
    const history::Entry& e = m_entries[row];
    showDifferences(e.path, QStringLiteral("%1, %2").arg(
                                e.when.toString(QStringLiteral("yyyy.MM.dd. HH:mm:ss")),
                                history::eventText(e.event)));
}

void TFormHistory::showDifferences(const QString& path, const QString& title) {
    ParamImage other;
    if (const auto error = datafile::open(path, other)) {
        memoDiff->setPlainText(QStringLiteral("%1: %2").arg(path, *error));
        return;
    }
    const QList<paramtext::Difference> diffs =
        paramtext::compare(other.bytes(), m_transfer.ConfigImage().bytes());
    QStringList lines{title, QStringLiteral("paraméter: ez a konfiguráció -> a kép"), QString()};
    if (diffs.isEmpty()) lines << QString::fromUtf8(kSame);
    for (const paramtext::Difference& d : diffs) lines << paramtext::diffLine(d);
    memoDiff->setPlainText(lines.join(QLatin1Char('\n')));
}

void TFormHistory::btLoadEntryClick() {
    const int row = gridEntries->currentRow();
    if (row < 0 || row >= m_entries.size()) return;
    if (m_load(m_entries[row].path)) gridEntriesSelect();
}

void TFormHistory::btCompareFileClick() {
    const QString path = m_dialogs.openFileName(QString::fromUtf8(datafile::kFilter),
                                                QString::fromUtf8(datafile::kInitialName));
    if (!path.isEmpty()) showDifferences(path, path);
}
