#pragma once

#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <functional>

class ModuleLink;
class UserDialogs;

// Reads the module's clock and sets it from the PC's. Opened modally from the main window.
class TFormClock : public QDialog {
    Q_OBJECT
public:
    // `pcClock` is the PC's local time; tests hand in a fixed one.
    TFormClock(
        ModuleLink& link, UserDialogs& dialogs,
        std::function<QDateTime()> pcClock = [] { return QDateTime::currentDateTime(); },
        QWidget* parent = nullptr);

    QPushButton* btReadClock;
    QPushButton* btSetTime;
    QPushButton* btClose;
    QStatusBar* StatusBar1;
    // Refreshed on each read: the module's time, the PC's, and how far apart they are.
    QLabel* lbModuleTime;
    QLabel* lbPcTime;
    QLabel* lbDifference;

    void btReadClockClick();
    void btSetTimeClick();
    void btCloseClick() { close(); }

    QString statusText() const { return StatusBar1->currentMessage(); }

private:
    // The three labels with their captions only: no read, or the last one failed.
    void clearClocks();
    // Where this window's operations report, for the shared opening.
    std::function<void(const QString&)> showStatus() {
        return [this](const QString& t) { StatusBar1->showMessage(t); };
    }
    ModuleLink& m_link;
    UserDialogs& m_dialogs;
    std::function<QDateTime()> m_pcClock;
};
