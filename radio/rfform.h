#pragma once

#include <QColor>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <array>

#include "link/linepoller.h"
#include "radio/radioframe.h"

class ModuleLink;
class UserDialogs;

// The module's 36 radio slots, live while the window is open: it polls twice a second and
// shows every radio frame the receiver hands it. Teaches one slot or deletes them all.
class TFormRF : public QDialog {
    Q_OBJECT
    // First of all: PollPause is its pause.
    LinePoller m_poller;

public:
    TFormRF(ModuleLink& link, UserDialogs& dialogs, QWidget* parent = nullptr);

    // 0: polls run. 1: held. Above 1: counts down one a tick, then holds at 1.
    qint32& PollPause;
    QTimer& RFTimer() { return m_rfTimer; }
    // The window opens and closes: its polls start and end, the line's owner told. A refusal
    // of an earlier opening is forgotten.
    void startPolling();
    void stopPolling();

    // By device index: PanelA1..12, PanelB1..12, PanelU1..12 and their labels and buttons.
    std::array<QFrame*, radio::kSlots> Panel;
    std::array<QLabel*, radio::kSlots> lb;
    std::array<QPushButton*, radio::kSlots> btTeach;
    QPushButton* btRFDeleteAll;
    QLabel* lbRFval;
    QProgressBar* pbRFTerero;
    QPushButton* btClose;

    void RFTimerTimer();
    // The receiver's hand-over of an "AT_<" line, whether or not the window is shown.
    void ShowRadioFrame(const QByteArray& line);
    // Every teach button: its tag is the device index + 1.
    void btTeachA1Click(int tag);
    void btRFDeleteAllClick();
    void btCloseClick() { close(); }

    QColor panelColour(int index) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void showSlot(int index, const radio::SlotView& view);
    // Pauses the polls and waits until the pause has counted down to 1. False when the
    // window was closed or the line went away meanwhile: the command is not sent then.
    bool holdPolling(int pause);
    // A teach or delete-all command between two pauses of the polls.
    void sendBetweenPauses(int command, int pause);
    void setCommandButtonsEnabled(bool enabled);

    ModuleLink& m_link;
    UserDialogs& m_dialogs;
    QTimer m_rfTimer;
    bool m_pollErrorShown = false;
};
