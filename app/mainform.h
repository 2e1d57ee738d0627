#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <functional>

class ModuleLink;
class UserDialogs;
class TSerialForm;

// A status bar that reports a click on it.
class ClickableStatusBar : public QStatusBar {
    Q_OBJECT
public:
    using QStatusBar::QStatusBar;
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// The installer's home screen: port, installer code, phone number, and the buttons that open
// every other window. The link itself lives in ModuleLink; this window shows it.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    TForm1(ModuleLink& link, UserDialogs& dialogs,
           const QString& setupPath = QStringLiteral("setup.ini"), QWidget* parent = nullptr);
    ~TForm1() override;

    ModuleLink& link() { return m_link; }
    void setTrafficWindow(TSerialForm* form);

    // Controls, in the window's order.
    QPushButton* btParameterSetting;
    QPushButton* btClose;
    QComboBox* cbCOM;
    QLabel* lbSelectSerialPort;
    QPushButton* btConnect;
    QPushButton* btDisconnect;
    ClickableStatusBar* StatusBar1;
    QLabel* lbGiveMasterCode;
    QLineEdit* edPhoneNr;
    QLabel* lbPhoneNrForRemote;
    QPushButton* btDial;
    QPushButton* btATH;
    QPushButton* btDetails;
    QLineEdit* edPWD;
    QPushButton* btEventlistShort;
    QPushButton* btAskVersion;
    QPushButton* btFirmware;
    QPushButton* btStatus;
    QPushButton* btClock;
    QPushButton* btSotpAllAlarm;
    QPushButton* btRFlearn;

    // Hooks for the windows that later parts of the program attach.
    std::function<void()> onParameterSetting;
    std::function<void()> onEventlistShort;
    std::function<void()> onAskVersion;
    std::function<void()> onFirmware;
    std::function<void()> onStatus;
    std::function<void()> onClock;
    std::function<void()> onStopAllAlarm;
    std::function<void()> onRFlearn;

    QString statusText() const { return StatusBar1->currentMessage(); }

    void btConnectClick();
    void btDisconnectClick();
    void btDetailsClick();
    void StatusBar1Click();
    void btAskVersionClick();
    void btDialClick();
    void btATHClick();
    void btSotpAllAlarmClick();
    void FormCreate();
    void FormDestroy();

signals:
    // The main window was closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setStatus(const QString& text) { StatusBar1->showMessage(text); }
    void choosePort(const QString& name);
    void showConnectedButtons(bool open);
    // The port is open, by hand or reopened: the buttons, the status text, the keep-alive.
    void portOpened(const QString& status);

    ModuleLink& m_link;
    UserDialogs& m_dialogs;
    QString m_setupPath;
    TSerialForm* m_traffic = nullptr;
    bool m_destroyed = false;
    bool m_trafficPlaced = false;
};
