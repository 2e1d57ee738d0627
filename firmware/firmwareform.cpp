#include "firmware/firmwareform.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <optional>

#include "base/dialogs.h"
#include "base/lineopening.h"
#include "base/namedbutton.h"
#include "firmware/upload.h"
#include "link/ecomport.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/texts.h"

TFormFirmware::TFormFirmware(ModuleLink& link, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_link(link), m_dialogs(dialogs) {
    setWindowTitle(QStringLiteral("Firmware Letöltő"));
    auto button = [this](const char* name, const char* caption) {
        return namedButton(this, name, caption);
    };
    btLoad = button("btLoad", "Új firmware beolvasása fájlból");
    btStart = button("btStart", "Letöltés indítása");
    btStart->setEnabled(false);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    btCRC_Restart = button("btCRC_Restart", "CRC ellenőrzés és újraindítás");
    btStop = button("btStop", "Stop");
    btClose = button("btClose", "Ablak bezárása");
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 10, 0, 0);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 0, 12, 0);
    body->setSpacing(8);
    body->addWidget(btLoad);
    body->addWidget(btStart);
    body->addWidget(ProgressBar1);
    body->addWidget(btCRC_Restart);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btStop);
    bottom->addStretch();
    bottom->addWidget(btClose);
    body->addSpacing(4);
    body->addLayout(bottom);
    layout->addLayout(body);
    layout->addWidget(StatusBar1);
    // Room for the longest status text.
    setMinimumWidth(
        StatusBar1->fontMetrics().horizontalAdvance(QString::fromUtf8(firmware::kNothingLoaded)) +
        40);

    connect(btLoad, &QPushButton::clicked, this, &TFormFirmware::btLoadClick);
    connect(btStart, &QPushButton::clicked, this, &TFormFirmware::btStartClick);
    connect(btStop, &QPushButton::clicked, this, &TFormFirmware::btStopClick);
    connect(btCRC_Restart, &QPushButton::clicked, this, &TFormFirmware::btCRC_RestartClick);
    connect(btClose, &QPushButton::clicked, this, &TFormFirmware::btCloseClick);
    adjustSize();
}

void TFormFirmware::setStatus(const char* text) {
    StatusBar1->showMessage(QString::fromUtf8(text));
}

void TFormFirmware::setTransferButtonsEnabled(bool enabled) {
    btLoad->setEnabled(enabled);
    btStart->setEnabled(enabled);
}

void TFormFirmware::btLoadClick() {
    const QString path = m_dialogs.openFileName(QString::fromLatin1(gkf::kFilter),
                                                QString::fromLatin1(gkf::kInitialName));
    if (path.isEmpty()) return;
    auto image = std::make_shared<gkf::Image>();
    if (const std::optional<QString> error = gkf::load(path, *image)) {
        m_dialogs.message(*error);
        return;
    }
    m_image = std::move(image);
    btStart->setEnabled(true);
    setStatus(firmware::kLoaded);
}

bool TFormFirmware::canSend() {
    if (!m_link.connected()) {
        m_dialogs.message(QString::fromUtf8(texts::kNoSerial));
        return false;
    }
    // Without a loaded file the control page is not built: its zeros would go out numbered
    // as page 0, the first block of the parameter memory. An empty file has no pages to send.
    if (!m_image || m_image->pageCount() == 0) {
        setStatus(firmware::kNothingLoaded);
        return false;
    }
    return true;
}

bool TFormFirmware::withExchange(const std::function<void(ModuleExchange&)>& body) {
    m_verdict.clear();
    m_comError.clear();
    return withLine(
        m_link, [this](const QString& t) { StatusBar1->showMessage(t); },
        [&](ModuleExchange& exchange) {
            setTransferButtonsEnabled(false);
            struct Restore {
                TFormFirmware* form;
                ~Restore() {
                    form->m_uploading = false;
                    form->setTransferButtonsEnabled(true);
                }
            } restore{this};
            try {
                body(exchange);
            } catch (const EComPort& e) {
                m_comError = e.message();
            }
            m_verdict = exchange.verdict();
        });
}

void TFormFirmware::btStartClick() {
    if (!canSend()) return;
    const std::shared_ptr<const gkf::Image> image = m_image;
    std::optional<firmware::UploadOutcome> outcome;
    const bool ran = withExchange([&](ModuleExchange& exchange) {
        const firmware::Progress start = firmware::progressAt(0, image->pageCount());
        ProgressBar1->setRange(0, start.maximum);
        ProgressBar1->setValue(0);
        m_uploading = true;
        firmware::UploadHooks hooks;
        hooks.loggedIn = [this] { setStatus(firmware::kUploading); };
        hooks.pageStarted = [this, &image](int page) {
            ProgressBar1->setValue(firmware::progressAt(page, image->pageCount()).position);
        };
        outcome = firmware::upload(exchange, *image, hooks);
    });
    if (!ran) return;
    if (outcome == firmware::UploadOutcome::LoginFailed) m_dialogs.message(m_verdict);
    if (!m_comError.isEmpty()) m_dialogs.message(m_comError);
    if (outcome == firmware::UploadOutcome::Done) {
        setStatus(firmware::kUploadDone);
        btCRC_Restart->setEnabled(true);
    } else if (outcome == firmware::UploadOutcome::Stopped) {
        setStatus(firmware::kUploadStopped);
    } else {
        // A page the module never acknowledged ends the upload as a failure too: a progress
        // text left standing would say it still runs.
        setStatus(firmware::kUploadFailed);
    }
}

void TFormFirmware::btStopClick() {
    // The stop request is the link's; outside an upload it would stop another window's
    // transfer instead.
    if (m_uploading) m_link.requestStop();
}

void TFormFirmware::btCRC_RestartClick() {
    if (!canSend()) return;
    const std::shared_ptr<const gkf::Image> image = m_image;
    std::optional<firmware::CheckOutcome> outcome;
    const bool ran = withExchange([&](ModuleExchange& exchange) {
        outcome = firmware::check(exchange, image->control,
                                  [this] { setStatus(firmware::kChecking); });
    });
    if (!ran) return;
    if (outcome == firmware::CheckOutcome::LoginFailed) m_dialogs.message(m_verdict);
    if (!m_comError.isEmpty()) m_dialogs.message(m_comError);
    if (outcome == firmware::CheckOutcome::Confirmed) {
        setStatus(firmware::kCheckDone);
        m_dialogs.message(QString::fromUtf8(firmware::kRestarting));
    } else {
        // No verdict within the wait is a failed check, not one still running.
        setStatus(firmware::kCheckFailed);
    }
}
