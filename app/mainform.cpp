#include "app/mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "base/lineopening.h"
#include "base/namedbutton.h"
#include "base/plaintext.h"
#include "base/windowfit.h"
#include "app/serialform.h"
#include "app/setupini.h"
#include "config/versionquery.h"
#include "link/ecomport.h"
#include "link/exchange.h"
#include "link/modem.h"
#include "link/modulelink.h"
#include "link/portnames.h"
#include "link/texts.h"
#include "status/alarmstop.h"

namespace {
constexpr int kInstallerCodeMaxLength = 6;
const char* const kDetailsInitial = " >>";
const char* const kDetailsShown = "<<";
const char* const kDetailsHidden = ">>";

QFrame* bevelGroup(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    return frame;
}
}  // namespace

void ClickableStatusBar::mousePressEvent(QMouseEvent* event) {
    QStatusBar::mousePressEvent(event);
    emit clicked();
}

TForm1::TForm1(ModuleLink& link, UserDialogs& dialogs, const QString& setupPath, QWidget* parent)
    : QMainWindow(parent), m_link(link), m_dialogs(dialogs), m_setupPath(setupPath) {
    buildControls();
    m_link.setInstallerCodeSource([this] { return edPWD->text(); });
    connect(&m_link, &ModuleLink::statusText, this, &TForm1::setStatus);
    connect(&m_link, &ModuleLink::comError, this,
            [this](const QString& text) { m_dialogs.message(text); });
    // The link, connected to the port before this window, already waits for the device here.
    connect(&m_link.ComPort1(), &TComPort::portLost, this, [this] {
        setStatus(QString::fromUtf8(texts::kNoSerial));
        showConnectedButtons(false);
    });
    m_link.setReopenLostPort(true);
    connect(&m_link, &ModuleLink::portReopened, this,
            [this] { portOpened(QString::fromUtf8(texts::kSerialRestored)); });
    FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::buildControls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);

    auto button = [this](const char* name, const char* caption, bool bold = true) {
        QPushButton* b = namedButton(this, name, caption);
        QFont f = b->font();
        f.setBold(bold);
        b->setFont(f);
        return b;
    };
    auto label = [this](const char* name, const char* caption) {
        auto* l = new QLabel(QString::fromUtf8(caption), this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };

    // Declaration order of the controls.
    btParameterSetting = button("btParameterSetting", "Paraméterek beállítása");
    btClose = button("btClose", "Kilépés");
    cbCOM = new QComboBox(this);
    cbCOM->setObjectName(QStringLiteral("cbCOM"));
    lbSelectSerialPort = label("lbSelectSerialPort", "Soros port kiválasztása");
    btConnect = button("btConnect", "Soros kapcsolat létrehozása");
    btDisconnect = button("btDisconnect", "Soros kapcsolat bontása");
    btDisconnect->setEnabled(false);
    StatusBar1 = new ClickableStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    lbGiveMasterCode = label("lbGiveMasterCode", "Telepítői kód megadása");
    edPhoneNr = new QLineEdit(this);
    edPhoneNr->setObjectName(QStringLiteral("edPhoneNr"));
    lbPhoneNrForRemote = label("lbPhoneNrForRemote", "Telefonszám megadása távoli eléréshez:");
    btDial = button("btDial", "Tárcsázás");
    btATH = button("btATH", "Vonal bontás");
    btDetails = button("btDetails", kDetailsInitial, false);
    edPWD = new QLineEdit(this);
    edPWD->setObjectName(QStringLiteral("edPWD"));
    edPWD->setMaxLength(kInstallerCodeMaxLength);
    QFont bold = edPWD->font();
    bold.setBold(true);
    edPWD->setFont(bold);
    btEventlistShort = button("btEventlistShort", "Rövid eseménylista lekérdezése");
    btAskVersion = button("btAskVersion", "Modul verziójának lekérdezése");
    btFirmware = button("btFirmware", "Firmware");
    btFirmware->setVisible(false);
    btStatus = button("btStatus", "Modul állapotának figyelése");
    btClock = button("btClock", "Óra ellenőrzése / beállítása");
    btSotpAllAlarm = button("btSotpAllAlarm", "Riasztás leállítása");
    btSotpAllAlarm->setIcon(style()->standardIcon(QStyle::SP_MessageBoxCritical));
    // Maroon by its palette: a style sheet would put the style's own font back, not bold.
    QPalette maroon = btSotpAllAlarm->palette();
    maroon.setColor(QPalette::ButtonText, QColor(0x80, 0, 0));
    btSotpAllAlarm->setPalette(maroon);
    btRFlearn = button("btRFlearn", "Rádiós eszközök tanítása");

    // Group 1: port and installer code.
    auto* portGroup = bevelGroup(central);
    auto* portLayout = new QVBoxLayout(portGroup);
    portLayout->addWidget(lbSelectSerialPort);
    portLayout->addWidget(cbCOM);
    portLayout->addWidget(btConnect);
    portLayout->addWidget(btDisconnect);
    portLayout->addWidget(lbGiveMasterCode);
    portLayout->addWidget(edPWD);
    // Group 2: phone link.
    auto* phoneGroup = bevelGroup(central);
    auto* phoneLayout = new QVBoxLayout(phoneGroup);
    phoneLayout->addWidget(lbPhoneNrForRemote);
    phoneLayout->addWidget(edPhoneNr);
    auto* dialRow = new QHBoxLayout;
    dialRow->addWidget(btDial);
    dialRow->addWidget(btATH);
    phoneLayout->addLayout(dialRow);
    // Group 3: functions.
    auto* functionGroup = bevelGroup(central);
    auto* functionLayout = new QVBoxLayout(functionGroup);
    for (QPushButton* b : {btParameterSetting, btEventlistShort, btAskVersion, btStatus, btClock,
                           btRFlearn, btSotpAllAlarm})
        functionLayout->addWidget(b);

    outer->addWidget(portGroup);
    outer->addWidget(phoneGroup);
    outer->addWidget(functionGroup);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(btDetails);
    bottomRow->addWidget(btFirmware);
    bottomRow->addStretch();
    bottomRow->addWidget(btClose);
    outer->addLayout(bottomRow);
    outer->addStretch();
    setCentralWidget(central);
    setStatusBar(StatusBar1);

    connect(btConnect, &QPushButton::clicked, this, &TForm1::btConnectClick);
    connect(btDisconnect, &QPushButton::clicked, this, &TForm1::btDisconnectClick);
    connect(btDetails, &QPushButton::clicked, this, &TForm1::btDetailsClick);
    connect(btDial, &QPushButton::clicked, this, &TForm1::btDialClick);
    connect(btATH, &QPushButton::clicked, this, &TForm1::btATHClick);
    connect(btClose, &QPushButton::clicked, this, &QWidget::close);
    connect(StatusBar1, &ClickableStatusBar::clicked, this, &TForm1::StatusBar1Click);
    connect(cbCOM, &QComboBox::textActivated, this, &TForm1::choosePort);
    onAskVersion = [this] { btAskVersionClick(); };
    onStopAllAlarm = [this] { btSotpAllAlarmClick(); };

    const std::pair<QPushButton*, std::function<void()>*> hooks[] = {
        {btParameterSetting, &onParameterSetting},
        {btEventlistShort, &onEventlistShort},
        {btAskVersion, &onAskVersion},
        {btFirmware, &onFirmware},
        {btStatus, &onStatus},
        {btClock, &onClock},
        {btSotpAllAlarm, &onStopAllAlarm},
        {btRFlearn, &onRFlearn},
    };
    for (const auto& [b, hook] : hooks)
        connect(b, &QPushButton::clicked, this, [this, hook] {
            if (*hook) reportComErrors(m_dialogs, *hook);
        });

    for (const PortEntry& p : listPorts()) {
        cbCOM->addItem(p.name);
        // The device path is where a link points: any text at all.
        cbCOM->setItemData(cbCOM->count() - 1, plainToolTip(p.device), Qt::ToolTipRole);
    }

    setToolTips(this, {
        {"btConnect", "A kiválasztott soros port megnyitása"},
        {"btDisconnect", "A soros port lezárása"},
        {"btDial", "A megadott telefonszám tárcsázása a modemmel"},
        {"btATH", "A telefonvonal bontása"},
        {"btParameterSetting", "A modul paramétereinek beolvasása, írása, szerkesztése, mentése"},
        {"btEventlistShort", "A modul utolsó 90 eseménye a zóna- és felhasználónevekkel"},
        {"btAskVersion", "A modul firmware- és adatverziója"},
        {"btStatus", "A modul élő állapota; riasztás leállítása, élesítés, kikapcsolás"},
        {"btClock", "A modul órájának kiolvasása, beállítása a PC órájáról"},
        {"btRFlearn", "Rádiós érzékelők és távvezérlők tanítása, törlése"},
        {"btSotpAllAlarm", "Minden futó riasztás leállítása a modulban"},
        {"btDetails", "A soros forgalom ablaka"},
        {"btClose", "Kilépés a programból"},
    });
    // The firmware window's button stays hidden; the keyboard reaches the window.
    auto* firmware = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), this);
    connect(firmware, &QShortcut::activated, this, [this] {
        if (onFirmware) reportComErrors(m_dialogs, onFirmware);
    });

    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    setMinimumWidth(260);
    adjustSize();
    setFixedSize(sizeHint());
}

void TForm1::setTrafficWindow(TSerialForm* form) {
    m_traffic = form;
    connect(form, &TSerialForm::closedByButton, this,
            [this] { btDetails->setText(QString::fromLatin1(kDetailsHidden)); });
}

void TForm1::FormCreate() {
    const std::optional<Setup> setup = readSetupIni(m_setupPath);
    if (!setup) {
        // The port keeps its default; the box shows its first entry without applying it.
        if (cbCOM->count() > 0) cbCOM->setCurrentIndex(0);
        edPhoneNr->clear();
        return;
    }
    m_link.ComPort1().setPort(setup->port);
    cbCOM->setCurrentIndex(cbCOM->findText(m_link.ComPort1().port(), Qt::MatchExactly));
    edPhoneNr->setText(setup->phone);
}

void TForm1::FormDestroy() {
    if (m_destroyed) return;
    m_destroyed = true;
    QString error;
    if (!writeSetupIni(m_setupPath, {m_link.ComPort1().port(), edPhoneNr->text()}, &error))
        qWarning("%s", qPrintable(error));
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Ends any dial that is waiting.
    m_link.setAbort();
    QMainWindow::closeEvent(event);
    emit closed();
}

void TForm1::showConnectedButtons(bool open) {
    btConnect->setEnabled(!open);
    // While a lost port is waited for, disconnect is how the user stops waiting.
    btDisconnect->setEnabled(open || !m_link.lostPort().isEmpty());
}

void TForm1::portOpened(const QString& status) {
    showConnectedButtons(true);
    setStatus(status);
}

void TForm1::btConnectClick() {
    try {
        m_link.ComPort1().open();
    } catch (const EComPort&) {
        setStatus(QString::fromUtf8(texts::kPortUnavailable));
        showConnectedButtons(false);
        return;
    }
    m_link.forgetLostPort();
    portOpened(QString::fromUtf8(texts::kSerialOk));
}

void TForm1::btDisconnectClick() {
    m_link.forgetLostPort();
    setStatus(QString::fromUtf8(texts::kNoSerial));
    m_link.ComPort1().close();
    showConnectedButtons(false);
}

void TForm1::choosePort(const QString& name) {
    // The buttons keep showing the open state if the new port fails; disconnect resets them.
    reportComErrors(m_dialogs, [&] { m_link.ComPort1().setPort(name); });
    // Another port chosen: the lost one is no longer the user's, so it is not reopened.
    const QString lost = m_link.lostPort();
    if (!lost.isEmpty() && lost != m_link.ComPort1().port()) {
        m_link.forgetLostPort();
        showConnectedButtons(m_link.connected());
    }
}

void TForm1::btDetailsClick() {
    if (!m_traffic) return;
    if (m_traffic->isHidden()) {
        btDetails->setText(QString::fromLatin1(kDetailsShown));
        if (!m_trafficPlaced) {
            // First showing: beside the main window, so neither hides the other, on whichever
            // side the screen has room for it.
            if (const QScreen* s = screen())
                m_traffic->move(besideFrame(frameGeometry(), m_traffic->frameGeometry().size(),
                                            s->availableGeometry())
                                    .topLeft());
            m_trafficPlaced = true;
        }
        m_traffic->show();
    } else {
        btDetails->setText(QString::fromLatin1(kDetailsHidden));
        m_traffic->hide();
    }
}

void TForm1::btDialClick() {
    btDial->setEnabled(false);
    reportComErrors(m_dialogs, [this] {
        modem::dial(m_link, edPhoneNr->text(), [this](const QString& t) { m_dialogs.message(t); });
    });
    btDial->setEnabled(true);
}

void TForm1::btATHClick() {
    btATH->setEnabled(false);
    reportComErrors(m_dialogs, [this] { modem::hangUp(m_link); });
    btATH->setEnabled(true);
}

void TForm1::StatusBar1Click() { setWindowTitle(statusText()); }

void TForm1::btAskVersionClick() {
    // The query itself says when the port is closed; a held line is said here, rather than
    // the button being ignored.
    withLine(m_link, [this](const QString& t) { setStatus(t); }, [this](ModuleExchange& exchange) {
        btAskVersion->setEnabled(false);
        struct Reenable {
            QPushButton* b;
            ~Reenable() { b->setEnabled(true); }
        } reenable{btAskVersion};
        const QString text = runVersionQuery(exchange);
        if (!text.isEmpty()) m_dialogs.message(text);
    });
}

void TForm1::btSotpAllAlarmClick() {
    if (!m_dialogs.confirm(QString::fromUtf8(alarmstop::kConfirm))) return;
    // Holding the exchange keeps the keep-alive quiet while the verdict is awaited: its
    // "PWDOK" would pass for the module's confirmation of a stop it never heard.
    withModule(m_link, m_dialogs, [this](const QString& t) { setStatus(t); },
               [this](ModuleExchange& exchange) {
                   btSotpAllAlarm->setEnabled(false);
                   setStatus(QString::fromUtf8(alarmstop::kRunning));
                   struct Restore {
                       TForm1* form;
                       ~Restore() {
                           form->btSotpAllAlarm->setEnabled(true);
                           form->setStatus(QString());
                       }
                   } restore{this};
                   m_dialogs.message(alarmstop::message(alarmstop::sendAndAwait(exchange)));
               });
}
