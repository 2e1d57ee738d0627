#include <QApplication>
#include <QGroupBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/appwindows.h"
#include "link/codestring.h"
#include "link/exchange.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

namespace {

const QByteArray kCode = codeString(QStringLiteral("1234"));

// A frame of a version with every field at '0' and the characters of `set` put in.
QByteArray frameOf(int version, const QList<std::pair<int, char>>& set = {}) {
    const int length = QList<int>{84, 86, 89, 92}.at(version - 1);
    QByteArray f(length, '0');
    f.replace(0, 4, "AT_[");
    for (int pos : {36, 51, 65, 68, 78, 81}) f[pos] = ',';
    f[length - 1] = ']';
    for (const auto& [pos, c] : set) f[pos] = c;
    return f;
}

// Every window on an in-memory line, with short timer intervals; the main window's status
// button is pressed by the tests that need it modal.
struct Rig {
    Rig() {
        auto dev = std::make_unique<MemorySerialDevice>();
        d = dev.get();
        windows =
            std::make_unique<TelvoraWindows>(dialogs, Timings{1, 5, 1000000, 1}, std::move(dev),
                                             dir.filePath(QStringLiteral("setup.ini")));
        windows->mainForm.edPWD->setText(QStringLiteral("1234"));
    }
    TFormStatus& status() { return windows->statusForm; }
    ModuleLink& link() { return windows->link; }
    void receive(const QByteArray& line) { link().HandleAnswerLine(line); }
    // The status window as the main window leaves it open: shown, polls running.
    void open() {
        link().ComPort1().open();
        link().CodeTimer().stop();
        status().show();
        status().StatusTimer().start();
        status().PollPause = 0;
    }
    // Lines the program wrote, without their CR.
    QList<QByteArray> sent() const {
        QList<QByteArray> lines = d->written.split('\r');
        lines.removeAll(QByteArray());
        return lines;
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    MemorySerialDevice* d;
    std::unique_ptr<TelvoraWindows> windows;
};

TextColour colourOf(const QLabel* l) { return TFormStatus::textColour(l); }

}  // namespace

Q_DECLARE_METATYPE(TextColour)

// The status window: its controls, what it makes of the receiver's lines, its polling and
// what ends its holds of the polls.
class TestStatusWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<Rig> m_untouched;  // every window as created, for looking only

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());
        m_untouched = std::make_unique<Rig>();
    }
    void cleanupTestCase() { m_untouched.reset(); }

    void initialTexts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const char* text) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(text);
        };
        // The families, and what shows before the first frame.
        row("PanelIN12", "IN12");
        row("lbINS7", ".");
        row("lbINE12", ".");
        row("PanelInputA", "'A' bemenet");
        row("PanelPart2", "2. Partíció állapota");
        row("PanelREL3", "RELE 3");
        row("PanelKezelo", "Kezelő 12V");
        row("lbAkku", ".");
        row("lbGSMpowVal", "0");
        row("lbTempVal", "");
        row("btP1ON", "Élesítés P1");
        row("btP2OFF", "Kikapcs.P2");
    }
    void initialTexts() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QObject* o = m_untouched->status().findChild<QObject*>(name);
        QVERIFY2(o, qPrintable(name));
        QCOMPARE(o->property("text").toString(), text);
    }

    void windowAndGrid() {
        TFormStatus& s = m_untouched->status();
        QCOMPARE(s.windowTitle(), QStringLiteral("GSM-Korvanta állapotfigyelés"));
        QCOMPARE(s.findChild<QGroupBox*>(QStringLiteral("gbOutputs"))->title(),
                 QStringLiteral(" Kimenetek "));
        QCOMPARE(s.acgEvSh->rowCount(), 8);
        QStringList headers;
        for (int c = 0; c < 14; ++c) headers << s.cell(0, c);
        QCOMPARE(headers, (QStringList{"", "Időpont", "Esemény", "Z/F", "T1", "T2", "T3", "T4",
                                       "S1", "S2", "S3", "S4", "K.", "Státusz"}));
        for (int r = 1; r <= 8; ++r) QCOMPARE(s.cell(r, 0), QString::number(r));
        QCOMPARE(s.pbTerero->maximum(), 31);
        QVERIFY(!s.StatusTimer().isActive());
        QCOMPARE(s.StatusTimer().interval(), 5);
        QVERIFY(s.lbAkku->toolTip().startsWith(QStringLiteral("Utoljára mért valós")));
    }

    void frameReachesTheLabels() {
        Rig rig;
        TFormStatus& s = rig.status();
        rig.receive(frameOf(4, {{37, '3'},
                                {52, '1'},
                                {49, '2'},
                                {66, '?'},
                                {67, 'X'},
                                {86, '?'},
                                {87, 'X'},
                                {79, '1'},
                                {76, '1'},
                                {70, '1'},
                                {74, '1'},
                                {72, '1'},
                                {82, ':'},
                                {84, '0'},
                                {89, '8'},
                                {90, '5'}}));
        QCOMPARE(s.lbINE[0]->text(), QStringLiteral("Szakadás"));
        QCOMPARE(s.lbINS[0]->text(), QStringLiteral("Riasztás"));
        QVERIFY(colourOf(s.lbINS[0]) == colours::kRed);
        QCOMPARE(s.lbINS[1]->text(), QStringLiteral("Riasztás"));  // mode 0, state 0
        QCOMPARE(s.lbINEA->text(), QStringLiteral("2k"));
        QCOMPARE(s.lbAkku->text(), QStringLiteral("16.3V / 16.3V"));
        QCOMPARE(s.lbPart1->text(), QStringLiteral("Élesítve"));
        QVERIFY(colourOf(s.lbPart1) == colours::kRed);
        QVERIFY(colourOf(s.lbPart2) == colours::kGreen);
        QCOMPARE(s.lbOUT[0]->text(), QStringLiteral("Túláram"));
        QCOMPARE(s.lbOUT[1]->text(), QStringLiteral("12 V"));
        QCOMPARE(s.lbKezelo->text(), QStringLiteral("Túláram"));
        QCOMPARE(s.lbFix->text(), QStringLiteral("12 V"));
        QCOMPARE(s.lbREL[1]->text(), QStringLiteral("BE"));
        QVERIFY(colourOf(s.lbREL[2]) == colours::kBlack);
        QCOMPARE(s.lbGSMpowVal->text(), QStringLiteral("10"));
        QCOMPARE(s.pbTerero->value(), 10);
        QCOMPARE(s.lbAC->text(), QStringLiteral("0V"));
        QCOMPARE(s.lbTempVal->text(), QStringLiteral("-5 C°"));

        // A frame with a wrong comma changes nothing; the next good one of version 1 clears
        // what that version does not carry.
        QByteArray bad = frameOf(1, {{79, '0'}});
        bad[65] = '.';
        rig.receive(bad);
        QCOMPARE(s.lbPart1->text(), QStringLiteral("Élesítve"));
        rig.receive(frameOf(1, {{82, 'P'}}));
        QCOMPARE(s.lbPart1->text(), QStringLiteral("Kikapcsolva"));
        QCOMPARE(s.lbTempVal->text(), QString());
        QCOMPARE(s.lbAC->text(), QStringLiteral("?"));
        QVERIFY(colourOf(s.lbAC) == colours::kGrey);
        QCOMPARE(s.lbAkku->text(), QStringLiteral("0.00V"));
        // The bar stops at its end; the number says what came.
        QCOMPARE(s.lbGSMpowVal->text(), QStringLiteral("32"));
        QCOMPARE(s.pbTerero->value(), 31);
    }

    void loopColourStaysOutsideMode3() {
        // Only wiring mode 3 paints the loop text; other modes leave the colour as it was.
        Rig rig;
        TFormStatus& s = rig.status();
        rig.receive(frameOf(1, {{52, '3'}, {37, char(48 + 0x45)}}));
        QCOMPARE(s.lbINE[0]->text(), QStringLiteral("V! A1  /  B0"));
        QVERIFY(colourOf(s.lbINE[0]) == colours::kRed);
        rig.receive(frameOf(1, {{52, '2'}, {37, '1'}}));
        QCOMPARE(s.lbINE[0]->text(), QStringLiteral("1k"));
        QVERIFY(colourOf(s.lbINE[0]) == colours::kRed);
    }

    void eventLineFillsTheGrid() {
        Rig rig;
        TFormStatus& s = rig.status();
        const QByteArray full = "AT_{" + QByteArray("1D23081E0F00110E").repeated(8);
        rig.receive(full);
        QCOMPARE(s.cell(1, 2), QStringLiteral("Kikapcs. Part.1  "));
        // Type 00 first, then a user event of the installer, the keypad's tamper, mains.
        rig.receive("AT_{" + QByteArray("0012081E0F00010E") + "1D1D081E0F000000" +
                    "1910010203040001" + "2010010203040210" + QByteArray(64, 'A'));
        for (int c = 1; c < 14; ++c) QCOMPARE(s.cell(1, c), QString());
        QCOMPARE(s.cell(2, 1), QStringLiteral("01/08 - 30:15"));
        QCOMPARE(s.cell(2, 3), QStringLiteral("F=13"));
        QCOMPARE(s.cell(2, 13), QStringLiteral("OK."));
        QCOMPARE(s.cell(3, 3), QStringLiteral("Z=0"));
        QCOMPARE(s.cell(3, 12), QStringLiteral("X"));
        QCOMPARE(s.cell(3, 13), QStringLiteral("Aktív"));
        QCOMPARE(s.cell(4, 3), QStringLiteral("--"));
        QCOMPARE(s.cell(4, 13), QStringLiteral("Késl."));
        QCOMPARE(s.cell(5, 2), QString());  // type 0xAA is no event
        // A line cut short: the records it does not reach leave their rows empty.
        rig.receive(full.left(4 + 16 * 2));
        QCOMPARE(s.cell(2, 2), QStringLiteral("Kikapcs. Part.1  "));
        QCOMPARE(s.cell(3, 2), QString());
    }

    void messagesGoToTheMemo() {
        Rig rig;
        TFormStatus& s = rig.status();
        rig.receive("AT_/Akku t\xF6lt\xE9se");
        rig.receive("AT_/");
        rig.receive("AT_/GSM OK");
        QCOMPARE(s.Memo1->toPlainText(), QStringLiteral("Akku töltése\n\nGSM OK"));
        QTest::mouseClick(s.btClearMsg, Qt::LeftButton);
        QCOMPARE(s.Memo1->toPlainText(), QString());
    }

    void polling_data() {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<int>("pollPause");
        QTest::addColumn<bool>("exchangeHeld");
        QTest::addColumn<QList<QByteArray>>("sent");  // over four ticks
        QTest::addColumn<int>("pauseAfter");
        const QByteArray e = "RPWE" + kCode, s = "RPWS" + kCode;
        QTest::newRow("first tick RPWE, then in turn")
            << true << 0 << false << QList<QByteArray>{e, s, e, s} << 0;
        QTest::newRow("port closed: nothing, and no countdown")
            << false << 3 << false << QList<QByteArray>{} << 3;
        QTest::newRow("held") << true << 1 << false << QList<QByteArray>{} << 1;
        QTest::newRow("countdown stops at 1") << true << 3 << false << QList<QByteArray>{} << 1;
        QTest::newRow("an exchange holds the line")
            << true << 0 << true << QList<QByteArray>{} << 0;
    }
    void polling() {
        QFETCH(bool, portOpen);
        QFETCH(int, pollPause);
        QFETCH(bool, exchangeHeld);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(int, pauseAfter);
        Rig rig;
        if (portOpen) rig.link().ComPort1().open();
        std::optional<ModuleExchange> exchange;
        if (exchangeHeld) exchange.emplace(rig.link());
        TFormStatus& s = rig.status();
        s.PollPause = pollPause;
        QList<int> toggles;
        for (int i = 0; i < 4; ++i) {
            s.StatusTimerTimer();
            toggles << s.PollToggle;
        }
        QCOMPARE(toggles, (QList<int>{1, 0, 1, 0}));
        QCOMPARE(rig.sent(), sent);
        QCOMPARE(s.PollPause, pauseAfter);
    }

    void holdEnds_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("cut");  // what ends the hold on its second tick
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("statusText");
        QTest::newRow("names: port closed") << "btLoadZoneNames"
                                            << "port" << QStringList{} << "Leolvasás sikertelen.";
        QTest::newRow("names: window closed")
            << "btLoadZoneNames"
            << "window" << QStringList{} << "Leolvasás sikertelen.";
        QTest::newRow("alarm stop: port closed")
            << "btSotpAllAlarm"
            << "port" << QStringList{"A modul nem válaszol!"} << "";
        QTest::newRow("alarm stop: window closed") << "btSotpAllAlarm"
                                                   << "window" << QStringList{} << "";
    }
    void holdEnds() {
        // A hold counts poll ticks only while the port is open and the window shown; when
        // either goes, the wait ends at once and the operation says no more than a missing
        // answer would.
        QFETCH(QString, button);
        QFETCH(QString, cut);
        QFETCH(QStringList, messages);
        QFETCH(QString, statusText);
        Rig rig;
        rig.dialogs.answers = {true};
        rig.open();
        TFormStatus& s = rig.status();
        int ticks = 0;
        connect(&s.StatusTimer(), &QTimer::timeout, &s, [&] {
            if (++ticks != 2) return;
            if (cut == QLatin1String("port"))
                rig.link().ComPort1().close();
            else
                s.close();
        });
        rig.d->takeWritten();
        QTest::mouseClick(s.findChild<QPushButton*>(button), Qt::LeftButton);
        QCOMPARE(ticks, 2);  // ended at the cut, not by running out
        QCOMPARE(rig.sent(), QList<QByteArray>{});
        QCOMPARE(rig.dialogs.messages, messages);
        QCOMPARE(s.StatusBar1->currentMessage(), statusText);
        QCOMPARE(s.PollPause, 0);
        QVERIFY(s.findChild<QPushButton*>(button)->isEnabled());
    }

    void refusedWhileAnotherExchangeRuns_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("names") << "btLoadZoneNames";
        QTest::newRow("alarm stop") << "btSotpAllAlarm";
    }
    void refusedWhileAnotherExchangeRuns() {
        QFETCH(QString, button);
        Rig rig;
        rig.dialogs.answers = {true};
        rig.open();
        TFormStatus& s = rig.status();
        ModuleExchange other(rig.link());
        rig.d->takeWritten();
        QTest::mouseClick(s.findChild<QPushButton*>(button), Qt::LeftButton);
        QCOMPARE(s.StatusBar1->currentMessage(),
                 QStringLiteral(" A modul foglalt: adatátvitel folyamatban."));
        QCOMPARE(rig.sent(), QList<QByteArray>{});
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(s.PollPause, 0);
        QVERIFY(s.findChild<QPushButton*>(button)->isEnabled());
    }

    void partitionButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("Kikapcs.P1") << "btP1OFF" << QByteArray("PT1D");
        QTest::newRow("Kikapcs.P2") << "btP2OFF" << QByteArray("PT2D");
        QTest::newRow("Élesítés P1") << "btP1ON" << QByteArray("PT1A");
        QTest::newRow("Élesítés P2") << "btP2ON" << QByteArray("PT2A");
    }
    void partitionButtons() {
        QFETCH(QString, button);
        QFETCH(QByteArray, command);
        Rig rig;
        TFormStatus& s = rig.status();
        auto* b = s.findChild<QPushButton*>(button);
        QTest::mouseClick(b, Qt::LeftButton);  // port closed: nothing, and no word of it
        QCOMPARE(rig.sent(), QList<QByteArray>{});
        QVERIFY(rig.dialogs.messages.isEmpty());
        rig.link().ComPort1().open();
        {
            // Into another window's exchange it would answer where that one waits.
            ModuleExchange other(rig.link());
            QTest::mouseClick(b, Qt::LeftButton);
            QCOMPARE(rig.sent(), QList<QByteArray>{});
            QCOMPARE(s.StatusBar1->currentMessage(),
                     QStringLiteral(" A modul foglalt: adatátvitel folyamatban."));
        }
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(rig.sent(), QList<QByteArray>{command + kCode});
        QVERIFY(b->isEnabled());
        QVERIFY(rig.dialogs.confirmations.isEmpty());
    }

    void namesWithThePortClosedSayItAtOnce() {
        // Nothing would count the hold down: the download says what it would without a port.
        Rig rig;
        rig.status().show();
        rig.status().StatusTimer().start();
        QTest::mouseClick(rig.status().btLoadZoneNames, Qt::LeftButton);
        QCOMPARE(rig.dialogs.messages, QStringList{" Nincs soros kapcsolat."});
        QCOMPARE(rig.status().PollPause, 0);
    }

    void keepAliveStaysQuietDuringAnExchange() {
        // Closing the status window starts the keep-alive again, whatever else is running.
        Rig rig;
        rig.link().ComPort1().open();
        rig.link().CodeTimer().setInterval(1);
        ModuleExchange other(rig.link());
        rig.link().CodeTimer().start();
        int fired = 0;
        connect(&rig.link().CodeTimer(), &QTimer::timeout, &rig.status(), [&] { ++fired; });
        rig.link().waitFor(rig.link().tickCounter(), 20, [&] { return fired >= 3; });
        QVERIFY(fired >= 3);
        QCOMPARE(rig.sent(), QList<QByteArray>{});
    }

    // What the window's status bar says of its polls, tick by tick. Each step is a tick,
    // optionally preceded by a line from the module: "F" a good status frame, "X" a broken
    // one, "P" PWDERR, "H" an exchange holding the line, "C" the port closed.
    void pollWarnings_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("bar");  // after each tick
        const QString silent = QStringLiteral("A modul nem válaszol!");
        const QString code = QStringLiteral(" Hibás telepítői azonosító!");
        const QString closed = QStringLiteral(" Nincs soros kapcsolat.");
        const QString none;
        // Status polls go out at ticks 2, 4, 6...: the third unanswered one is noticed at 7.
        QTest::newRow("answered") << ".F.F.F.F" << QStringList(8, none);
        QTest::newRow("silent module")
            << "........" << (QStringList(6, none) << silent << silent);
        QTest::newRow("broken frames are no answer")
            << ".X.X.X.X" << (QStringList(6, none) << silent << silent);
        QTest::newRow("a good frame ends the warning")
            << ".......F." << (QStringList(6, none) << silent << none << none);
        QTest::newRow("a poll refused") << ".P." << QStringList{none, code, code};
        QTest::newRow("an exchange's refusal is not the polls'")
            << "HP.." << QStringList(4, none);
        QTest::newRow("port closed") << ".C" << QStringList{none, closed};
    }
    void pollWarnings() {
        QFETCH(QString, steps);
        QFETCH(QStringList, bar);
        Rig rig;
        rig.open();
        rig.status().StatusTimer().stop();
        QStringList seen;
        for (QChar step : steps) {
            switch (step.toLatin1()) {
                case 'F': rig.receive(frameOf(4)); break;
                case 'X': rig.receive(frameOf(4).chopped(1)); break;
                case 'P': rig.receive("PWDERR"); break;
                case 'C': rig.link().ComPort1().close(); break;
                case 'H': {
                    // The refusal arrives while the exchange holds the line.
                    ModuleExchange held(rig.link());
                    rig.status().StatusTimerTimer();
                    rig.receive("PWDERR");
                    seen << rig.status().StatusBar1->currentMessage();
                    continue;
                }
                default: break;
            }
            rig.status().StatusTimerTimer();
            seen << rig.status().StatusBar1->currentMessage();
        }
        QCOMPARE(seen, bar);
    }

    void messagePaneKeepsTheNewest() {
        Rig rig;
        for (int i = 1; i <= kModuleMessagesKept + 300; ++i)
            rig.status().ShowModuleMessage("AT_/" + QByteArray::number(i));
        QPlainTextEdit* pane = rig.status().Memo1;
        QCOMPARE(pane->document()->blockCount(), kModuleMessagesKept);
        QVERIFY(pane->toPlainText().endsWith(QString::number(kModuleMessagesKept + 300)));
        QVERIFY(!pane->document()->isUndoAvailable());
    }

    void pollWriteErrorIsShownOnce() {
        Rig rig;
        rig.link().ComPort1().open();
        rig.d->failWrites = true;
        for (int i = 0; i < 4; ++i) rig.status().StatusTimerTimer();
        QCOMPARE(rig.dialogs.messages.size(), 1);
    }
};

QTEST_MAIN(TestStatusWindow)
#include "test_status_window.moc"
