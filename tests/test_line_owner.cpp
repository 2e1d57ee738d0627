#include <QApplication>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/appwindows.h"
#include "link/exchange.h"
#include "link/texts.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

namespace {

// Every window on an in-memory line that answers nothing, with short timer intervals.
struct Rig {
    Rig() {
        auto dev = std::make_unique<MemorySerialDevice>();
        d = dev.get();
        windows = std::make_unique<TelvoraWindows>(dialogs, Timings{1, 5, 1000000, 1},
                                                   std::move(dev),
                                                   dir.filePath(QStringLiteral("setup.ini")));
        windows->mainForm.edPWD->setText(QStringLiteral("1234"));
        windows->mainForm.edPhoneNr->setText(QStringLiteral("0612345678"));
        QObject::connect(&windows->link, &ModuleLink::statusText,
                         [this](const QString& t) { told << t; });
        for (QWidget* w : QApplication::topLevelWidgets())
            for (QStatusBar* bar : w->findChildren<QStatusBar*>())
                QObject::connect(bar, &QStatusBar::messageChanged,
                                 [this](const QString& t) { told << t; });
        windows->link.ComPort1().open();
    }
    ModuleLink& link() { return windows->link; }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    MemorySerialDevice* d = nullptr;
    std::unique_ptr<TelvoraWindows> windows;
    QStringList told;
};

}  // namespace

// The line's one owner: in each state of the line, which operations may talk to the module.
// A refused operation sends nothing and says the module is busy where it reports.
class TestLineOwner : public QObject {
    Q_OBJECT

    using Operation = std::function<void(Rig&)>;
    static Operation operation(const QString& name) {
        auto press = [](QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); };
        if (name == QLatin1String("version"))
            return [=](Rig& r) { press(r.windows->mainForm.btAskVersion); };
        if (name == QLatin1String("alarm stop"))
            return [=](Rig& r) {
                r.dialogs.answers = {true};
                press(r.windows->mainForm.btSotpAllAlarm);
            };
        if (name == QLatin1String("configuration read"))
            return [=](Rig& r) { press(r.windows->downloadForm.btRead); };
        if (name == QLatin1String("event list"))
            return [=](Rig& r) { press(r.windows->eventListForm.btLoadEvents); };
        if (name == QLatin1String("clock read"))
            return [=](Rig& r) { press(r.windows->clockForm.btReadClock); };
        if (name == QLatin1String("traffic AT"))
            return [=](Rig& r) { press(r.windows->serialForm.btAT); };
        if (name == QLatin1String("status poll"))
            return [=](Rig& r) { r.windows->statusForm.StatusTimerTimer(); };
        if (name == QLatin1String("hang-up"))
            return [=](Rig& r) { press(r.windows->mainForm.btATH); };
        return {};
    }

    // Runs `inside` while the line is in `state`, as the program gets it there.
    static void inState(Rig& r, const QString& state, const std::function<void()>& inside) {
        ModuleLink& link = r.link();
        if (state == QLatin1String("idle")) {
            QCOMPARE(link.lineState(), LineState::Idle);
            inside();
        } else if (state == QLatin1String("closed")) {
            link.ComPort1().close();
            QCOMPARE(link.lineState(), LineState::Closed);
            inside();
        } else if (state == QLatin1String("polled")) {
            link.beginPolling();
            QCOMPARE(link.lineState(), LineState::Polled);
            QVERIFY(!link.CodeTimer().isActive());
            inside();
            link.endPolling();
        } else if (state == QLatin1String("exchange")) {
            ModuleExchange exchange(link);
            QVERIFY(exchange.acquired());
            QCOMPARE(link.lineState(), LineState::Exchange);
            inside();
        } else {
            // The modem never answers: the dial (or hang-up) waits, and the operation is pressed
            // while it does, when its first "AT" (or "ATH") has gone out.
            const bool dialling = state == QLatin1String("dialling");
            bool ran = false;
            r.d->onWrite = [&](const QByteArray& bytes) {
                if (ran || !bytes.startsWith("AT")) return;
                ran = true;
                QTimer::singleShot(0, [&] {
                    QCOMPARE(link.lineState(),
                             dialling ? LineState::Dialling : LineState::HangingUp);
                    QVERIFY(!link.CodeTimer().isActive());
                    inside();
                    link.setAbort();  // ends a dial that still waits
                });
            };
            QTest::mouseClick(dialling ? r.windows->mainForm.btDial : r.windows->mainForm.btATH,
                              Qt::LeftButton);
            r.d->onWrite = nullptr;
            QVERIFY(ran);
        }
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void whoMayTalk_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("allowed");
        const char* operations[] = {"version",    "alarm stop",  "configuration read",
                                    "event list", "clock read",  "traffic AT",
                                    "status poll"};
        for (const char* op : operations) {
            QTest::addRow("idle: %s", op) << "idle" << op << true;
            QTest::addRow("exchange: %s", op) << "exchange" << op << false;
            QTest::addRow("dialling: %s", op) << "dialling" << op << false;
            QTest::addRow("hanging up: %s", op) << "hanging up" << op << false;
        }
        // With no port, nothing goes out and the operation says so (a poll only skips).
        for (const char* op : {"version", "alarm stop", "configuration read", "event list",
                               "clock read", "status poll"})
            QTest::addRow("closed: %s", op) << "closed" << op << false;
        // A poller holds the line against nothing but the keep-alive.
        for (const char* op : {"version", "configuration read", "status poll"})
            QTest::addRow("polled: %s", op) << "polled" << op << true;
        // Hang-up ends a dial that waits: it may always talk.
        QTest::newRow("dialling: hang-up") << "dialling" << "hang-up" << true;
    }
    void whoMayTalk() {
        QFETCH(QString, state);
        QFETCH(QString, operation);
        QFETCH(bool, allowed);
        Rig r;
        if (operation == QLatin1String("status poll")) r.windows->statusForm.PollPause = 0;
        const Operation run = TestLineOwner::operation(operation);
        QVERIFY(run);
        QByteArray sent;
        QStringList toldDuring;
        inState(r, state, [&] {
            r.d->takeWritten();
            r.told.clear();
            r.dialogs.messages.clear();
            run(r);
            sent = r.d->takeWritten();
            toldDuring = r.told + r.dialogs.messages;
        });
        const bool busy = toldDuring.contains(QString::fromUtf8(texts::kBusy));
        if (state == QLatin1String("closed")) {
            QVERIFY2(sent.isEmpty(), sent.constData());
            QVERIFY(!busy);
            if (operation != QLatin1String("status poll"))
                QVERIFY2(toldDuring.contains(QString::fromUtf8(texts::kNoSerial)),
                         qPrintable(toldDuring.join(QStringLiteral(" | "))));
            return;
        }
        if (allowed) {
            QVERIFY2(!sent.isEmpty(), "nothing was sent");
            QVERIFY(!busy);
        } else {
            QVERIFY2(sent.isEmpty(), sent.constData());
            // A poll refused is only skipped: the poller tries again at its next tick.
            if (operation != QLatin1String("status poll"))
                QVERIFY2(busy, qPrintable(toldDuring.join(QStringLiteral(" | "))));
        }
    }

    // The keep-alive runs exactly when nobody holds or polls the line.
    void keepAliveFollowsTheLine() {
        Rig r;
        ModuleLink& link = r.link();
        QVERIFY(link.CodeTimer().isActive());
        link.beginPolling();
        link.beginPolling();
        link.endPolling();
        QVERIFY(!link.CodeTimer().isActive());  // one poller is still there
        link.endPolling();
        QVERIFY(link.CodeTimer().isActive());
        {
            ModuleExchange exchange(link);
            QVERIFY(!link.CodeTimer().isActive());
        }
        QVERIFY(link.CodeTimer().isActive());
        link.setKeepAliveWanted(false);
        { ModuleExchange exchange(link); }
        QVERIFY(!link.CodeTimer().isActive());
        link.ComPort1().close();
        QCOMPARE(link.lineState(), LineState::Closed);
    }
};

QTEST_MAIN(TestLineOwner)
#include "test_line_owner.moc"
