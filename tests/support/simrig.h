#pragma once

#include <QDir>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include "app/mainform.h"
#include "link/modulelink.h"
#include "link/portnames.h"
#include "link/timing.h"
#include "sim/korvantasim.h"
#include "support/faultyserial.h"
#include "support/ownhome.h"
#include "support/scripteddialogs.h"

// End-to-end tests run with 5 ms ticks: a 30-tick login timeout lasts 150 ms. A lost port's
// device is looked for every 20 ms.
inline Timings endToEndTimings() { return {5, 25, 40, 5, 20}; }

// The same five times faster, 1 ms ticks, for tests whose time goes mostly into waits that no
// answer ends (the fault matrix): a wait of 200 ticks lasts a fifth of a second. Every
// interval shrinks alike, so the program does the same in ticks. An answer that comes crosses
// the pseudo-terminal within a tick or two: inside the waits for one (20 ticks and more; the
// hang-up's 6 after an escape are tried 7 times).
inline Timings shortTickTimings() { return {1, 5, 8, 1, 4}; }

// ... and in a ports folder of their own (in the program's own home: see ownhome.h).
inline void prepareEndToEnd() {
    QStandardPaths::setTestModeEnabled(true);
    QDir(portsFolder()).removeRecursively();
}

// The simulated module on a pseudo-terminal and the program's main window beside it. The
// module is started before the window, so the window lists its port.
struct SimRig {
    explicit SimRig(const QString& comName, const Timings& timings = endToEndTimings())
        : started(sim.start(comName, &error)),
          link(makeFaultyDevice(), timings),
          form(link, dialogs, setupDir.filePath(QStringLiteral("setup.ini"))) {}

    // Presses "Soros kapcsolat létrehozása" on the module's port, as the user would.
    bool connectToModule() {
        link.ComPort1().setPort(sim.comName());
        QTest::mouseClick(form.btConnect, Qt::LeftButton);
        return link.connected();
    }

    std::unique_ptr<SerialDevice> makeFaultyDevice() {
        auto d = std::make_unique<FaultySerialDevice>(makeQtSerialDevice());
        device = d.get();
        return d;
    }

    FaultySerialDevice* device = nullptr;  // owned by the link's port
    QTemporaryDir setupDir;
    ScriptedDialogs dialogs;
    KorvantaSim sim;
    QString error;
    bool started;
    ModuleLink link;
    TForm1 form;
};
