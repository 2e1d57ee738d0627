#pragma once

#include <QApplication>
#include <QStatusBar>
#include <QString>
#include <QTest>
#include <functional>
#include <memory>

#include "app/appwindows.h"
#include "sim/korvantasim.h"
#include "support/faultyserial.h"
#include "support/scripteddialogs.h"
#include "support/simrig.h"

// Every window of the program, as start-up makes them, on a pseudo-terminal to the simulated
// module. It keeps every status text the windows show, and setup.ini goes to `setupPath`.
struct WindowsRig {
    WindowsRig(const QString& comName, const QString& setupPath,
               const QString& code = QStringLiteral("1234"),
               const Timings& timings = endToEndTimings())
        : started(sim.start(comName, &error)), windows(dialogs, timings, makeDevice(), setupPath) {
        sim.setInstallerCode(code);
        windows.mainForm.edPWD->setText(code);
        QObject::connect(&windows.link, &ModuleLink::statusText,
                         [this](const QString& t) { seen << t; });
        for (QWidget* w : QApplication::topLevelWidgets())
            for (QStatusBar* bar : w->findChildren<QStatusBar*>())
                QObject::connect(bar, &QStatusBar::messageChanged,
                                 [this](const QString& t) { seen << t; });
    }

    std::unique_ptr<SerialDevice> makeDevice() {
        auto d = std::make_unique<FaultySerialDevice>(makeQtSerialDevice());
        device = d.get();
        return d;
    }
    // Presses "Soros kapcsolat létrehozása" on the module's port, as the user would.
    bool connectToModule() {
        windows.link.ComPort1().setPort(sim.comName());
        QTest::mouseClick(windows.mainForm.btConnect, Qt::LeftButton);
        return windows.link.connected();
    }
    // Everything the user was told: status bars and messages.
    QStringList told() const { return seen + dialogs.messages; }
    bool toldAny(const QStringList& texts) const {
        const QStringList all = told();
        for (const QString& t : texts)
            if (all.contains(t)) return true;
        return false;
    }
    // The program's own wait, up to `ticks` of its tick counter.
    bool pump(const std::function<bool()>& done, int ticks) {
        return windows.link.waitFor(windows.link.tickCounter(), ticks, done);
    }
    // Opens the status window as its button does, runs `inside` while it polls, closes it.
    void inStatusWindow(const std::function<void()>& inside) {
        TFormStatus& status = windows.statusForm;
        bool ran = false;
        QTimer::singleShot(0, &status, [&] {
            inside();
            ran = true;
            status.close();
        });
        QTest::mouseClick(windows.mainForm.btStatus, Qt::LeftButton);
        QVERIFY(ran);
    }
    // Lets the status window poll for `n` of its ticks.
    void pollFor(int n) {
        int ticks = 0;
        const QMetaObject::Connection c = QObject::connect(
            &windows.statusForm.StatusTimer(), &QTimer::timeout, [&] { ++ticks; });
        pump([&] { return ticks >= n; }, 100 * n);
        QObject::disconnect(c);
    }

    // Before the windows: they still speak while they close.
    QStringList seen;
    ScriptedDialogs dialogs;
    KorvantaSim sim;
    QString error;
    bool started;
    FaultySerialDevice* device = nullptr;  // owned by the link's port
    TelvoraWindows windows;
};
