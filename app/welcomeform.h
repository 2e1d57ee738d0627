#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

// The splash window: shown while the program creates its windows, then hidden for the rest of
// the run. It is the application's main form; closing the main window closes it and ends the
// program.
class TFormWelcome : public QWidget {
    Q_OBJECT
public:
    explicit TFormWelcome(int tickMs, QWidget* parent = nullptr);

    QWidget* Panel1;
    QLabel* Image1;
    QLabel* lbVer;
    QTimer TimerCreateAll;
    QTimer TimerShowWelcome;

    // "v1.22 (dv.2)" and "GSM-Korvanta  v1.22 (dv.2)".
    static QString versionText();
    static QString mainCaption();

signals:
    // First tick of TimerCreateAll: the rest of the windows are to be made.
    void createAll();
    // First tick of TimerShowWelcome: the splash goes, the main window comes.
    void showMain();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void TimerCreateAllTimer();
    void TimerShowWelcomeTimer();

    bool m_started = false;  // the splash starts the sequence once, at its first showing
};
