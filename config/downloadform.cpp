#include "config/downloadform.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "base/namedbutton.h"
#include "config/datafile.h"
#include "config/historyform.h"
#include "config/transferwords.h"
#include "link/ecomport.h"
#include "link/modulelink.h"
#include "params/paramtext.h"

namespace {
constexpr int kPanelsPerRow = 4;
}

TFormDownload::TFormDownload(ModuleLink& link, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_transfer(link) {
    setWindowTitle(QStringLiteral("GSM-Korvanta paraméterbeállítás"));

    auto* layout = new QVBoxLayout(this);
    auto* panels = new QGridLayout;
    for (int b = 0; b < image::kBlockCount; ++b) {
        auto* panel = new QLabel(QStringLiteral("Blokk %1").arg(b + 1), this);
        panel->setObjectName(QStringLiteral("BP%1").arg(b + 1));
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setMinimumSize(90, 36);
        panel->setAutoFillBackground(true);
        BP[b] = panel;
        panels->addWidget(panel, b / kPanelsPerRow, b % kPanelsPerRow);
    }
    setAllPanels(PanelColour::Silver);
    layout->addLayout(panels);
    lbResult = new QLabel(this);
    lbResult->setObjectName(QStringLiteral("lbResult"));
    lbResult->setTextFormat(Qt::PlainText);
    lbResult->setWordWrap(true);
    layout->addWidget(lbResult);

    auto button = [this](const char* name, const char* caption) {
        return namedButton(this, name, caption);
    };
    btOpen = button("btOpen", "Beolvasás fájlból");
    btSave = button("btSave", "Mentés fájlba");
    btRead = button("btRead", "<-- Adatok beolvasása a modulból");
    btWrite = button("btWrite", "--> Adatok áttöltése a modulba");
    btCompare = button("btCompare", "<--> Adatok összehasonlítása");
    btEdit = button("btEdit", "Adatok szerkesztése");
    btStop = button("btStop", "Stop");
    btClose = button("btClose", "Ablak bezárása");

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(btOpen);
    fileRow->addWidget(btSave);
    layout->addLayout(fileRow);
    for (QPushButton* b : {btRead, btWrite, btCompare, btEdit}) layout->addWidget(b);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(btStop);
    bottomRow->addStretch();
    btHistory = button("btHistory", "Előzmények...");
    setToolTips(this, {
        {"btOpen", "Konfiguráció betöltése .KD2 fájlból a képbe"},
        {"btSave", "A kép mentése .KD2 fájlba"},
        {"btRead", "A modul teljes paramétermemóriájának beolvasása a képbe"},
        {"btWrite", "A kép beírása a modulba és érvénybe léptetése"},
        {"btCompare", "A kép összevetése a modul memóriájával, blokkonként"},
        {"btEdit", "A kép paramétereinek szerkesztése"},
        {"btStop", "A futó beolvasás, írás vagy összevetés leállítása"},
        {"btHistory", "A korábban beolvasott, beírt és összevetett konfigurációk"},
        {"btClose", "Az ablak bezárása"},
    });
    bottomRow->addWidget(btHistory);
    bottomRow->addWidget(btClose);
    layout->addLayout(bottomRow);
    memoDiff = new QPlainTextEdit(this);
    memoDiff->setObjectName(QStringLiteral("memoDiff"));
    memoDiff->setReadOnly(true);
    memoDiff->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoDiff->setMinimumHeight(120);
    memoDiff->hide();
    layout->addWidget(memoDiff);
    m_history = new TFormHistory(
        m_transfer, [this](const QString& path) { return loadDataFile(path); }, dialogs, this);
    m_history->setWindowFlag(Qt::Window);

    connect(btRead, &QPushButton::clicked, this, &TFormDownload::btReadClick);
    connect(btWrite, &QPushButton::clicked, this, &TFormDownload::btWriteClick);
    connect(btCompare, &QPushButton::clicked, this, &TFormDownload::btCompareClick);
    connect(btOpen, &QPushButton::clicked, this, &TFormDownload::btOpenClick);
    connect(btSave, &QPushButton::clicked, this, &TFormDownload::btSaveClick);
    connect(btEdit, &QPushButton::clicked, this, &TFormDownload::btEditClick);
    connect(btStop, &QPushButton::clicked, this, &TFormDownload::btStopClick);
    connect(btClose, &QPushButton::clicked, this, &TFormDownload::btCloseClick);
    connect(btHistory, &QPushButton::clicked, this, &TFormDownload::btHistoryClick);
    connect(&m_transfer, &ConfigTransfer::finished, this, &TFormDownload::showCompareDifferences);
    connect(&m_transfer, &ConfigTransfer::finished, this, [this](ConfigTransfer::Outcome outcome) {
        lbResult->setText(
            transferwords::sentence(m_transfer.lastKind(), outcome, m_transfer.endedAt()));
    });

    connect(&m_transfer, &ConfigTransfer::panelColour, this, &TFormDownload::setPanelColour);
    connect(&m_transfer, &ConfigTransfer::buttonsEnabled, this,
            &TFormDownload::setTransferButtonsEnabled);
    connect(&m_transfer, &ConfigTransfer::message, this,
            [this](const QString& text) { m_dialogs.message(text); });
    connect(&m_transfer, &ConfigTransfer::historyNotKept, this, [this](const QString& why) {
        m_dialogs.message(QStringLiteral("Az előzmény mentése sikertelen: %1").arg(why));
    });
    adjustSize();
}

QColor TFormDownload::panelColour(int block) const {
    return BP[block]->palette().color(QPalette::Window);
}

void TFormDownload::setPanelColour(int block, PanelColour colour) {
    QPalette p = BP[block]->palette();
    const Rgb c = panelRgb(colour);
    const QColor rgb(c.red, c.green, c.blue);
    p.setColor(QPalette::Window, rgb);
    // Dark panels need light text to stay readable.
    p.setColor(QPalette::WindowText, rgb.lightness() < 100 ? Qt::white : Qt::black);
    BP[block]->setPalette(p);
}

void TFormDownload::setAllPanels(PanelColour colour) {
    for (int b = 0; b < image::kBlockCount; ++b) setPanelColour(b, colour);
}

void TFormDownload::setTransferButtonsEnabled(bool enabled) {
    for (QPushButton* b : {btOpen, btSave, btRead, btWrite, btCompare, btEdit, btClose})
        b->setEnabled(enabled);
}

void TFormDownload::btReadClick() {
    runTransfer([this] { m_transfer.read(); });
}

void TFormDownload::btWriteClick() {
    runTransfer([this] { m_transfer.write(); });
}

void TFormDownload::btCompareClick() {
    runTransfer([this] { m_transfer.compare(); });
}

void TFormDownload::runTransfer(const std::function<void()>& transfer) {
    try {
        transfer();
    } catch (const EComPort& e) {
        // A serial error ends the transfer without an outcome; the words still say where, and
        // what it left unchanged.
        lbResult->setText(
            transferwords::serialErrorSentence(m_transfer.lastKind(), m_transfer.endedAt()));
        m_dialogs.message(e.message());
    }
}

void TFormDownload::btStopClick() { m_transfer.requestStop(); }

void TFormDownload::btOpenClick() {
    setAllPanels(PanelColour::Silver);
    const QString path = m_dialogs.openFileName(QString::fromUtf8(datafile::kFilter),
                                                QString::fromUtf8(datafile::kInitialName));
    if (path.isEmpty()) return;
    loadDataFile(path);
}

bool TFormDownload::loadDataFile(const QString& path) {
    ParamImage image = ConfigImage();
    if (const auto error = datafile::open(path, image)) {
        m_dialogs.message(*error);
        return false;
    }
    setConfigImage(image);
    setAllPanels(PanelColour::Green);
    // The image is now the file's: words about the last transfer would no longer fit it.
    lbResult->clear();
    return true;
}

TFormDownload::~TFormDownload() = default;

void TFormDownload::btHistoryClick() {
    m_history->refresh();
    m_history->show();
    m_history->raise();
}

void TFormDownload::showCompareDifferences(ConfigTransfer::Outcome outcome) {
    if (outcome != ConfigTransfer::Outcome::Different) {
        memoDiff->hide();
        return;
    }
    const int block = m_transfer.differingBlock();
    QStringList lines{QStringLiteral("Eltérő paraméterek a(z) %1. blokkban").arg(block + 1),
                      QStringLiteral("(paraméter: modul -> kép):")};
    const QList<paramtext::Difference> diffs =
        paramtext::compare(m_transfer.comparedModuleBytes(), ConfigImage().bytes());
    for (const paramtext::Difference& d : diffs) lines << paramtext::diffLine(d);
    if (diffs.isEmpty()) lines << QStringLiteral("(csak nem megjelenített bájtok térnek el)");
    if (block + 1 < image::kBlockCount)
        lines << QStringLiteral("A további blokkokat az összehasonlítás nem olvasta be.");
    memoDiff->setPlainText(lines.join(QLatin1Char('\n')));
    memoDiff->show();
}

void TFormDownload::btSaveClick() {
    const QString path = m_dialogs.saveFileName(QString::fromUtf8(datafile::kFilter),
                                                QString::fromUtf8(datafile::kInitialName));
    if (path.isEmpty()) return;
    if (const auto error = datafile::save(datafile::withDefaultExtension(path), ConfigImage()))
        m_dialogs.message(*error);
}

void TFormDownload::btEditClick() {
    if (onEdit) onEdit();
}
