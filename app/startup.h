#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "app/appwindows.h"
#include "app/welcomeform.h"
#include "link/serialdevice.h"
#include "link/timing.h"

class UserDialogs;

// The program's start: the splash first, the windows about a tick later with their captions
// written, the main window a tick after that. Closing the main window ends the run.
class TelvoraStartUp : public QObject {
    Q_OBJECT
public:
    TelvoraStartUp(UserDialogs& dialogs, const Timings& timings = Timings(),
                   std::unique_ptr<SerialDevice> device = makeQtSerialDevice(),
                   const QString& setupPath = QStringLiteral("setup.ini"));
    ~TelvoraStartUp() override;

    // Shows the splash, which starts the sequence.
    void start();

    TFormWelcome welcome;
    // Made at the first tick of the splash; empty before.
    std::unique_ptr<TelvoraWindows> windows;

signals:
    void windowsCreated();
    void mainShown();
    // The main window was closed: the program is to end.
    void ended();

private:
    void createAll();
    void showMain();

    UserDialogs& m_dialogs;
    Timings m_timings;
    std::unique_ptr<SerialDevice> m_device;
    QString m_setupPath;
};

// The program's name where the platform shows an application's name (task bar, desktop
// entry). Window titles stay exactly their captions: no name is appended to them.
void nameApplication();

// The captions start-up writes: the port label, the numbered event captions of both editor
// pages, and the main window's caption with the program's version.
void writeCaptions(TelvoraWindows& windows);
