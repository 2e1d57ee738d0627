#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <functional>

#include "status/alarmstop.h"
#include "status/statusframe.h"
#include "status/statuspoller.h"

class ModuleExchange;
class ModuleLink;
class UserDialogs;
class TFormEventlistShort;

// The module's live state while the window is open: it polls twice a second and shows what
// the receiver hands it. Also stops alarms, arms and disarms the partitions, and downloads the
// names its zone captions show.
// Module messages the status window keeps, newest last.
constexpr int kModuleMessagesKept = 1000;

class TFormStatus : public QDialog {
    Q_OBJECT
    // First of all: PollToggle and PollPause are its counters.
    StatusPoller m_polls;

public:
    TFormStatus(ModuleLink& link, UserDialogs& dialogs, TFormEventlistShort& eventList,
                QWidget* parent = nullptr);

    // Flips on every tick and picks the next poll; kept between openings.
    qint32& PollToggle;
    // 0: polls run. 1: held. Above 1: counts down one a tick while the port is open.
    qint32& PollPause;
    QTimer& StatusTimer() { return m_statusTimer; }
    // The window opens and closes: its polls start and end, the line's owner told.
    void startPolling();
    void stopPolling();

    std::array<QLabel*, statusframe::kZones> PanelIN;  // PanelIN1..12
    std::array<QLabel*, statusframe::kZones> lbINS;    // lbINS1..12
    std::array<QLabel*, statusframe::kZones> lbINE;    // lbINE1..12
    QLabel* PanelInputA;
    QLabel* PanelInputB;
    QLabel* lbINEA;
    QLabel* lbINEB;
    QLabel* lbPart1;
    QLabel* lbPart2;
    std::array<QLabel*, 3> lbREL;  // lbREL1..3
    std::array<QLabel*, 2> lbOUT;  // lbOUT1, lbOUT2
    QLabel* lbKezelo;
    QLabel* lbFix;
    QLabel* lbAkku;
    QLabel* lbAC;
    QLabel* lbGSMpowVal;
    QProgressBar* pbTerero;
    QLabel* lbTempVal;
    QTableWidget* acgEvSh;
    QPlainTextEdit* Memo1;
    QPushButton* btClearMsg;
    QPushButton* btLoadZoneNames;
    QPushButton* btSotpAllAlarm;
    QPushButton* btP1OFF;
    QPushButton* btP2OFF;
    QPushButton* btP1ON;
    QPushButton* btP2ON;
    QPushButton* btClose;
    QStatusBar* StatusBar1;

    void StatusTimerTimer();
    void FormShow();
    void btCloseClick() { close(); }
    void btClearMsgClick() { Memo1->clear(); }
    void btLoadZoneNamesClick();
    void btSotpAllAlarmClick();
    void btP1OFFClick();
    void btP2OFFClick();
    void btP1ONClick();
    void btP2ONClick();

    // The receiver's hand-overs, whether or not the window is shown.
    void ShowStatusFrame(const QByteArray& line);
    void ShowEventLine(const QByteArray& line);
    void ShowModuleMessage(const QByteArray& line);

    // Text of a cell of the event grid; row 0 is the header row.
    QString cell(int row, int column) const;
    static TextColour textColour(const QLabel* label);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Sets PollPause and waits until it has counted down to 1.
    alarmstop::Hold holdPolling(int pause);
    // Whether the polls have stopped counting: the port closed, or the timer no longer runs.
    bool pollsGone() const;
    void refreshCaptions();
    void sendPartitionCommand(int code);
    // The two operations of the window's own, inside the exchange the opening took.
    void loadZoneNames(ModuleExchange& exchange);
    void stopAlarms(ModuleExchange& exchange);
    // Where this window's operations report, for the shared opening.
    std::function<void(const QString&)> showStatus() {
        return [this](const QString& t) { StatusBar1->showMessage(t); };
    }
    void buildControls();

    ModuleLink& m_link;
    UserDialogs& m_dialogs;
    TFormEventlistShort& m_eventList;
    QTimer m_statusTimer;
    bool m_pollErrorShown = false;
    QString m_pollWarning;  // shown in the status bar; a good frame takes only this one away
    void warnPolls(const char* text);
    void pollsAnswered();
};
