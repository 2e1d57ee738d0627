#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/mainform.h"
#include "config/downloadform.h"
#include "link/comport.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/texts.h"
#include "sim/korvantasim.h"
#include "support/images.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"
#include "support/simrig.h"

// The adapter pulled and plugged in again: the main window opens the port again by itself,
// unless the user said otherwise, and nothing that was running carries on over it.
namespace {

const QString kNoSerial = QString::fromUtf8(texts::kNoSerial);
const QString kRestored = QString::fromUtf8(texts::kSerialRestored);
const QString kSerialOk = QString::fromUtf8(texts::kSerialOk);
const QString kPortUnavailable = QString::fromUtf8(texts::kPortUnavailable);
const QString kPort = QStringLiteral("COM82");
const QString kOtherPort = QStringLiteral("COM83");

// Runs the event loop outside every wait of the program, as the idle main window does, until
// `done` or `ticks` of the link's tick timer have passed. True when done.
bool idleUntil(ModuleLink& link, const std::function<bool()>& done, int ticks) {
    int seen = 0;
    const QMetaObject::Connection c =
        QObject::connect(&link.Timer1(), &QTimer::timeout, [&] { ++seen; });
    while (!done() && seen < ticks) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QObject::disconnect(c);
    return done();
}

KorvantaSim::Fault portLostAt(KorvantaSim::CommandKind kind, int page = KorvantaSim::kAnyPage) {
    KorvantaSim::Fault f;
    f.mode = KorvantaSim::FaultMode::PortLost;
    f.command = kind;
    f.page = page;
    f.count = 1;
    return f;
}

}  // namespace

using Outcome = ConfigTransfer::Outcome;

class TestReconnectE2e : public QObject {
    Q_OBJECT

    std::unique_ptr<SimRig> m_rig;
    KorvantaSim* m_sim = nullptr;
    ModuleLink* m_link = nullptr;
    TForm1* m_form = nullptr;
    ScriptedDialogs* m_dialogs = nullptr;

    QStringList m_statuses;  // every text the main window's status bar showed

    void press(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    bool idle(const std::function<bool()>& done, int ticks = 400) {
        return idleUntil(*m_link, done, ticks);
    }
    // Ticks in which the device is looked for n times.
    int looks(int n) const { return n * endToEndTimings().reopenMs / endToEndTimings().tickMs; }

    // The keep-alive's login pulls the adapter; the main window sees the port go.
    void loseThePort() {
        m_sim->addFault(portLostAt(KorvantaSim::CommandKind::Login));
        m_link->CodeTimer().start();
        QVERIFY(idle([&] { return !m_link->connected(); }));
        QCOMPARE(m_form->statusText(), kNoSerial);
        QVERIFY(m_form->btConnect->isEnabled());
        QCOMPARE(m_link->lostPort(), kPort);
    }
    void plugBackIn() {
        QString error;
        QVERIFY2(m_sim->start(kPort, &error), qPrintable(error));
        m_sim->clearReceived();
        m_sim->resetCommandCounts();
        m_sim->resetByteCounts();
    }

private slots:
    void initTestCase() { prepareEndToEnd(); }

    void init() {
        m_rig = std::make_unique<SimRig>(kPort);
        QVERIFY2(m_rig->started, qPrintable(m_rig->error));
        m_sim = &m_rig->sim;
        m_link = &m_rig->link;
        m_form = &m_rig->form;
        m_dialogs = &m_rig->dialogs;
        m_form->edPWD->setText(QStringLiteral("1234"));
        m_statuses.clear();
        connect(m_form->StatusBar1, &QStatusBar::messageChanged, this,
                [this](const QString& t) { m_statuses << t; });
        QVERIFY(m_rig->connectToModule());
    }
    void cleanup() { m_rig.reset(); }

    // Whether the device a port was opened on is back, in a ports folder and a /dev of the
    // test's own. The name must lead to the same device again, not merely to some device.
    void deviceBack_data() {
        QTest::addColumn<QStringList>("present");  // files made; "ports/COMn>target" a link
        QTest::addColumn<QString>("comName");
        QTest::addColumn<QString>("opened");  // relative to the folder; empty: never opened
        QTest::addColumn<bool>("back");
        QTest::newRow("link back") << QStringList{"pty9", "ports/COM3>pty9"} << "COM3"
                                   << "ports/COM3" << true;
        QTest::newRow("link back to another pty")
            << QStringList{"pty4", "ports/COM3>pty4"} << "COM3" << "ports/COM3" << true;
        QTest::newRow("link gone, the fixed tty of its number there")
            << QStringList{"dev/ttyS2"} << "COM3" << "ports/COM3" << false;
        QTest::newRow("link left dangling, the fixed tty there")
            << QStringList{"dev/ttyS2", "ports/COM3>pty9"} << "COM3" << "ports/COM3" << false;
        QTest::newRow("adapter back") << QStringList{"dev/ttyUSB0"} << "COM33" << "dev/ttyUSB0"
                                      << true;
        QTest::newRow("adapter away") << QStringList{} << "COM33" << "dev/ttyUSB0" << false;
        QTest::newRow("a link now names the adapter's number")
            << QStringList{"dev/ttyUSB0", "pty9", "ports/COM33>pty9"} << "COM33" << "dev/ttyUSB0"
            << false;
        QTest::newRow("never opened") << QStringList{"dev/ttyUSB0"} << "COM33" << "" << false;
    }
    void deviceBack() {
        QFETCH(QStringList, present);
        QFETCH(QString, comName);
        QFETCH(QString, opened);
        QFETCH(bool, back);
        QTemporaryDir root;
        const QDir dir(root.path());
        QVERIFY(dir.mkpath(QStringLiteral("ports")) && dir.mkpath(QStringLiteral("dev")));
        for (const QString& p : present) {
            const QStringList linkAndTarget = p.split('>');
            if (linkAndTarget.size() == 2) {
                QVERIFY(QFile::link(dir.filePath(linkAndTarget[1]), dir.filePath(linkAndTarget[0])));
            } else {
                QFile f(dir.filePath(p));
                QVERIFY(f.open(QIODevice::WriteOnly));
            }
        }
        const QString openedDevice = opened.isEmpty() ? QString() : dir.filePath(opened);
        QCOMPARE(portDeviceBack(comName, openedDevice, dir.filePath(QStringLiteral("ports")),
                                dir.filePath(QStringLiteral("dev"))),
                 back);
    }

    // The watch on its own, on an in-memory port whose device is there when the test says.
    // Steps: lose (the device goes), back / away, fail / heal (opening it fails or works),
    // forget (the user disconnects), other (another port chosen), open (opened by hand),
    // idle (the event loop runs outside any wait), wait (a wait of the program runs),
    // exchange (an exchange holds the link while the loop runs).
    void watch_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("opens");
        QTest::addColumn<int>("reopened");
        QTest::addColumn<QString>("lost");
        QTest::newRow("back") << "lose back idle" << true << 2 << 1 << "";
        QTest::newRow("away") << "lose idle" << false << 1 << 0 << "COM1";
        QTest::newRow("back at once") << "back lose idle" << true << 2 << 1 << "";
        QTest::newRow("will not open yet") << "fail lose back idle" << false << 1 << 0 << "COM1";
        QTest::newRow("opens once it can") << "fail lose back idle heal idle" << true << 2 << 1
                                           << "";
        QTest::newRow("user disconnected") << "lose forget back idle" << false << 1 << 0 << "";
        QTest::newRow("another port chosen") << "lose other back idle" << false << 1 << 0 << "";
        QTest::newRow("opened by hand") << "lose open back idle" << true << 2 << 0 << "";
        QTest::newRow("not during a wait") << "lose back wait" << false << 1 << 0 << "COM1";
        QTest::newRow("after the wait") << "lose back wait idle" << true << 2 << 1 << "";
        QTest::newRow("not during an exchange")
            << "lose back exchange" << false << 1 << 0 << "COM1";
        QTest::newRow("after the exchange") << "lose back exchange idle" << true << 2 << 1 << "";
        QTest::newRow("lost again") << "lose back idle lose away idle" << false << 2 << 1
                                    << "COM1";
        QTest::newRow("and back again") << "lose back idle lose idle" << true << 3 << 2 << "";
    }
    void watch() {
        QFETCH(QString, steps);
        QFETCH(bool, connected);
        QFETCH(int, opens);
        QFETCH(int, reopened);
        QFETCH(QString, lost);
        auto owned = std::make_unique<MemorySerialDevice>();
        MemorySerialDevice* d = owned.get();
        Timings t{1, 5, 1000000, 1, 2};
        ModuleLink link(std::move(owned), t);
        link.setReopenLostPort(true);
        bool present = false;
        link.setDevicePresence([&](const QString&, const QString&) { return present; });
        QSignalSpy reopenedSpy(&link, &ModuleLink::portReopened);
        QSignalSpy errors(&link, &ModuleLink::comError);
        link.ComPort1().open();
        const int idleTicks = 20 * t.reopenMs / t.tickMs;
        for (const QString& step : steps.split(' ')) {
            if (step == "lose") {
                emit d->lost();
                QVERIFY(link.flag(Flag::PortLost));
            } else if (step == "back") {
                present = true;
            } else if (step == "away") {
                present = false;
            } else if (step == "fail") {
                d->failingNames = {QStringLiteral("COM1")};
            } else if (step == "heal") {
                d->failingNames.clear();
            } else if (step == "forget") {
                link.forgetLostPort();
            } else if (step == "other") {
                link.ComPort1().setPort(QStringLiteral("COM2"));
            } else if (step == "open") {
                link.ComPort1().open();
            } else if (step == "idle") {
                idleUntil(link, [] { return false; }, idleTicks);
            } else if (step == "wait") {
                QVERIFY(!link.waitFor(link.tickCounter(), idleTicks, [&] { return link.connected(); }));
            } else if (step == "exchange") {
                ModuleExchange exchange(link);
                QVERIFY(exchange.acquired());
                idleUntil(link, [] { return false; }, idleTicks);
            } else {
                QFAIL(qPrintable("unknown step " + step));
            }
        }
        QCOMPARE(link.connected(), connected);
        QCOMPARE(d->opens, opens);
        QCOMPARE(reopenedSpy.count(), reopened);
        QCOMPARE(link.lostPort(), lost);
        QCOMPARE(link.ReopenTimer().isActive(), !lost.isEmpty());
        QCOMPARE(errors.count(), 0);
        // A port opened again carries no loss with it: the next wait is not cut short.
        if (reopened > 0 && connected) QVERIFY(!link.flag(Flag::PortLost));
    }

    // The command-line tool never asks for the watch: a lost port stays closed.
    void watchIsOffUnlessAskedFor() {
        auto owned = std::make_unique<MemorySerialDevice>();
        MemorySerialDevice* d = owned.get();
        ModuleLink link(std::move(owned), Timings{1, 5, 1000000, 1, 2});
        link.setDevicePresence([](const QString&, const QString&) { return true; });
        link.ComPort1().open();
        emit d->lost();
        idleUntil(link, [&] { return link.connected(); }, 50);
        QVERIFY(!link.connected());
        QCOMPARE(d->opens, 1);
        QVERIFY(link.lostPort().isEmpty());
    }

    // Half a line received as the adapter went does not spoil the first answer after it.
    void halfLineBeforeTheLossIsDropped() {
        auto owned = std::make_unique<MemorySerialDevice>();
        MemorySerialDevice* d = owned.get();
        ModuleLink link(std::move(owned), Timings{1, 5, 1000000, 1, 2});
        link.setReopenLostPort(true);
        link.setDevicePresence([](const QString&, const QString&) { return true; });
        link.ComPort1().open();
        d->feed("<RDFL000");
        emit d->lost();
        QVERIFY(idleUntil(link, [&] { return link.connected(); }, 50));
        link.clearFlags({Flag::PasswordOk});
        d->feed("PWDOK\r\n");
        QVERIFY(link.flag(Flag::PasswordOk));
    }

    // Pulled and plugged in again, at once or a while later: the port opens by itself, the
    // status bar says so, the keep-alive runs and the module answers as before.
    void reconnects_data() {
        QTest::addColumn<bool>("atOnce");
        QTest::newRow("a while later") << false;
        QTest::newRow("at once") << true;
    }
    void reconnects() {
        QFETCH(bool, atOnce);
        if (atOnce)
            connect(m_sim, &KorvantaSim::unplugged, this, [this] { plugBackIn(); });
        loseThePort();
        QVERIFY(m_form->btDisconnect->isEnabled());
        // Whatever stopped the keep-alive meanwhile, the reopened port starts it as Connect does.
        m_link->CodeTimer().stop();
        if (!atOnce) {
            QVERIFY(!idle([&] { return m_link->connected(); }, looks(5)));
            plugBackIn();
        }
        QVERIFY(idle([&] { return m_link->connected(); }));
        QCOMPARE(m_form->statusText(), kRestored);
        QVERIFY(!m_form->btConnect->isEnabled());
        QVERIFY(m_form->btDisconnect->isEnabled());
        QVERIFY(m_link->CodeTimer().isActive());
        QVERIFY(m_link->lostPort().isEmpty());
        QVERIFY(idle([&] { return m_sim->commandCount(KorvantaSim::CommandKind::Login) > 0; }));
        QVERIFY(m_dialogs->messages.isEmpty());

        press(m_form->btAskVersion);
        QCOMPARE(m_dialogs->messages,
                 QStringList{"Programverzió: GSM-Korvanta 4.07       (DataVer=2)"});
    }

    // A transfer the loss ended stays failed: the port comes back, the transfer does not, and
    // the returned module hears no page request or write of it.
    void transferStaysFailed_data() {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("command");
        using Kind = KorvantaSim::CommandKind;
        QTest::newRow("read") << false << int(Kind::PageRead);
        QTest::newRow("write") << true << int(Kind::PageWrite);
    }
    void transferStaysFailed() {
        QFETCH(bool, write);
        QFETCH(int, command);
        TFormDownload download(*m_link, *m_dialogs);
        std::optional<Outcome> outcome;
        int outcomes = 0;
        connect(&download.transfer(), &ConfigTransfer::finished, this, [&](Outcome o) {
            outcome = o;
            ++outcomes;
        });
        const QByteArray module = m_sim->memory();
        QByteArray ours(2048, '\0');
        for (int i = 0; i < ours.size(); ++i) ours[i] = char(i * 7);
        download.setConfigImage(img(ours));
        m_sim->addFault(portLostAt(KorvantaSim::CommandKind(command), 3));
        // The device is back as soon as it went, while the transfer is still winding down.
        connect(m_sim, &KorvantaSim::unplugged, this, [this] { plugBackIn(); });
        press(write ? download.btWrite : download.btRead);
        QCOMPARE(outcome, std::optional<Outcome>(Outcome::Failed));
        // Ended by the lost port (seen though the device was back at once), not by silence.
        QVERIFY(m_statuses.contains(kNoSerial));
        QVERIFY(m_dialogs->messages.isEmpty());
        QVERIFY(idle([&] { return m_link->connected(); }));
        QCOMPARE(m_form->statusText(), kRestored);
        // Long enough for a resumed transfer to have sent anything.
        idle([] { return false; }, looks(10));
        QCOMPARE(outcomes, 1);
        for (const QByteArray& line : m_sim->receivedLines())
            QVERIFY2(!line.startsWith("RDFL") && !line.startsWith("WRFL") &&
                         !line.startsWith("WRACT") && line.size() != 540,
                     line.constData());
        QCOMPARE(m_sim->activationCount(), 0);
        QCOMPARE(m_sim->memory(), module);
        QCOMPARE(download.ConfigImage().bytes(), ours);
        QVERIFY(download.btRead->isEnabled());
    }

    // The user pressed disconnect, after the loss or before the device went: the device
    // comes back to a port nobody opens.
    void noReconnectAfterDisconnect_data() {
        QTest::addColumn<bool>("afterLoss");
        QTest::newRow("after the loss") << true;
        QTest::newRow("before the device went") << false;
    }
    void noReconnectAfterDisconnect() {
        QFETCH(bool, afterLoss);
        if (afterLoss) {
            loseThePort();
            press(m_form->btDisconnect);
        } else {
            press(m_form->btDisconnect);
            m_sim->stop();
        }
        QCOMPARE(m_form->statusText(), kNoSerial);
        QVERIFY(m_form->btConnect->isEnabled());
        QVERIFY(!m_form->btDisconnect->isEnabled());
        plugBackIn();
        QVERIFY(!idle([&] { return m_link->connected(); }, looks(10)));
        QCOMPARE(m_sim->bytesReceived(), qint64(0));
        QCOMPARE(m_form->statusText(), kNoSerial);
        QVERIFY(!m_link->ReopenTimer().isActive());
        QVERIFY(m_dialogs->messages.isEmpty());
        // Connect still works by hand.
        press(m_form->btConnect);
        QCOMPARE(m_form->statusText(), kSerialOk);
    }

    // The device stays away: nothing hangs, nobody is told again and again, the keep-alive
    // sends nothing, and Connect pressed meanwhile fails without ending the watch.
    void deviceStaysAway() {
        loseThePort();
        QVERIFY(m_link->CodeTimer().isActive());
        QVERIFY(!idle([&] { return m_link->connected(); }, looks(20)));
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(m_form->statusText(), kNoSerial);
        QVERIFY(m_link->ReopenTimer().isActive());
        press(m_form->btConnect);
        QCOMPARE(m_form->statusText(), kPortUnavailable);
        QVERIFY(m_form->btConnect->isEnabled());
        QVERIFY(m_form->btDisconnect->isEnabled());
        QVERIFY(m_dialogs->messages.isEmpty());
        plugBackIn();
        QVERIFY(idle([&] { return m_link->connected(); }));
        QCOMPARE(m_form->statusText(), kRestored);
    }

    // Another port chosen (and perhaps connected) while the device was away: its return
    // changes nothing.
    void anotherPortChosen_data() {
        QTest::addColumn<bool>("connectIt");
        QTest::newRow("chosen") << false;
        QTest::newRow("chosen and connected") << true;
    }
    void anotherPortChosen() {
        QFETCH(bool, connectIt);
        KorvantaSim other;
        QString error;
        QVERIFY2(other.start(kOtherPort, &error), qPrintable(error));
        loseThePort();
        emit m_form->cbCOM->textActivated(kOtherPort);
        QCOMPARE(m_link->ComPort1().port(), kOtherPort);
        QVERIFY(m_link->lostPort().isEmpty());
        QVERIFY(!m_form->btDisconnect->isEnabled());
        if (connectIt) {
            press(m_form->btConnect);
            QVERIFY(m_link->connected());
        }
        plugBackIn();
        idle([] { return false; }, looks(10));
        QCOMPARE(m_link->ComPort1().port(), kOtherPort);
        QCOMPARE(m_link->connected(), connectIt);
        QVERIFY(!m_statuses.contains(kRestored));
        QCOMPARE(m_sim->bytesReceived(), qint64(0));
        QVERIFY(m_dialogs->messages.isEmpty());
        if (connectIt) QVERIFY(idle([&] { return other.commandCount(KorvantaSim::CommandKind::Login) > 0; }));
    }
};

QTEST_MAIN(TestReconnectE2e)
#include "test_reconnect_e2e.moc"
