#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/appwindows.h"
#include "link/codestring.h"
#include "link/exchange.h"
#include "link/texts.h"
#include "params/flashaddr.h"
#include "sim/korvantasim.h"
#include "support/eventrecords.h"
#include "support/faultyserial.h"
#include "support/scripteddialogs.h"
#include "support/simrig.h"
#include "support/windowsrig.h"

// The event list, the names, the status window and the alarm stops through the real windows
// and port layer against the simulated module.
namespace {

const QByteArray kCode = codeString(QStringLiteral("1234"));
const QString kNoAnswer = QStringLiteral("A modul nem válaszol!");
const QString kStopped = QStringLiteral("Riasztási események leállítva!");
const QString kFailed = QStringLiteral("Leolvasás sikertelen.");
const QString kBusy = QString::fromUtf8(texts::kBusy);


// A ring whose every slot says its own number: a test report with the slot as its minute.
QByteArray numberedRing(int newest) {
    QByteArray ring(1024, '\0');
    for (int s = 0; s < 96; ++s) ring.replace(8 * s, 8, record(31, 1, 0, 1, 0, s));
    ring[768] = char(newest);
    return ring;
}

}  // namespace

class TestStatusE2e : public QObject {
    Q_OBJECT

    const QDir m_home{testHome()};  // this program's own
    std::unique_ptr<WindowsRig> m_rig;
    KorvantaSim* m_sim = nullptr;
    ModuleLink* m_link = nullptr;
    TFormEventlistShort* m_list = nullptr;
    TFormStatus* m_status = nullptr;
    ScriptedDialogs* m_dialogs = nullptr;

    void press(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // The program's own wait, up to `ticks` of its tick counter.
    bool pumpUntil(const std::function<bool()>& done, int ticks = 400) {
        return m_link->waitFor(m_link->tickCounter(), ticks, done);
    }
    // Lines the module received from `from` on, polls left out when `withPolls` is false.
    QList<QByteArray> received(qsizetype from = 0, bool withPolls = true) const {
        QList<QByteArray> out;
        const QList<QByteArray>& all = m_sim->receivedLines();
        for (qsizetype i = from; i < all.size(); ++i)
            if (withPolls || !(all[i].startsWith("RPWS") || all[i].startsWith("RPWE")))
                out.append(all[i]);
        return out;
    }
    // Opens the status window as its button does and runs `inside` while it is shown.
    void withStatusWindow(const std::function<void()>& inside) {
        m_rig->inStatusWindow([&] {
            QVERIFY(QApplication::activeModalWidget() == m_status);
            inside();
        });
    }
    QString row(int r) const {
        QStringList cells;
        for (int c = 1; c < 14; ++c) cells << m_list->cell(r, c);
        return cells.join('|');
    }
    void setZoneName(int zone, const QByteArray& field) {
        QByteArray mem = m_sim->memory();
        mem.replace(FlashAddr::ZoneRecords + (zone - 1) * FlashAddr::ZoneRecordSize, 10, field);
        m_sim->setMemory(mem);
    }

private slots:
    void initTestCase() {
        prepareEndToEnd();
        QLocale::setDefault(QLocale::c());
    }

    void init() {
        m_rig = std::make_unique<WindowsRig>(QStringLiteral("COM86"),
                                             m_home.filePath(QStringLiteral("setup.ini")));
        QVERIFY2(m_rig->started, qPrintable(m_rig->error));
        m_sim = &m_rig->sim;
        m_link = &m_rig->windows.link;
        m_list = &m_rig->windows.eventListForm;
        m_status = &m_rig->windows.statusForm;
        m_dialogs = &m_rig->dialogs;
        QVERIFY(m_rig->connectToModule());
    }
    void cleanup() { m_rig.reset(); }

    void eventListWithNames() {
        QByteArray ring(1024, '\0');
        ring.replace(8 * 10, 8, record(3, 3, 2, 4, 5, 6, 0x11, 0));      // IN2 alarm, pending
        ring.replace(8 * 9, 8, record(27, 3, 1, 4, 5, 0));               // armed by user 1
        ring.replace(8 * 8, 8, record(29, 3, 13, 4, 5, 0, 0x01, 0x02));  // installer, stopped
        ring.replace(8 * 7, 8, record(25, 3, 0, 4, 5, 0));               // keypad tamper
        ring.replace(8 * 6, 8, record(32, 12, 0, 31, 23, 59, 0, 0x10));  // mains, delayed
        ring[768] = 10;
        m_sim->state().setEventMemory(ring);

        press(m_rig->windows.mainForm.btEventlistShort);
        QVERIFY(m_list->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        QSignalSpy texts(m_list->StatusBarEventListShort, &QStatusBar::messageChanged);
        press(m_list->btLoadEvents);
        QCOMPARE(received(), (QList<QByteArray>{"RPWD" + kCode, "RDFLF000", "RDFLF001", "RDFLF002",
                                                "RDFLF003"}));
        QStringList shown;
        for (const QList<QVariant>& t : texts) shown << t.at(0).toString();
        QCOMPARE(shown, (QStringList{"Eseménylista letöltése...", "Eseménylista letöltése 0...",
                                     "Eseménylista letöltése 1...", "Eseménylista letöltése 2...",
                                     "Eseménylista letöltése 3...", "Eseménylista letöltve."}));
        // No names yet: the number and ". " alone.
        QCOMPARE(row(1),
                 QStringLiteral("03/04 - 05:06|IN2 Riasztás     |2. |X|-|-|-|X|-|-|-|-|Aktív"));
        QCOMPARE(m_list->cell(2, 3), QStringLiteral("1. "));
        QCOMPARE(m_list->cell(3, 3), QStringLiteral("13. Telepítő"));
        QCOMPARE(m_list->cell(3, 13), QStringLiteral("STOP"));
        QCOMPARE(m_list->cell(4, 3), QStringLiteral("0. LCD-Kezelő"));
        QCOMPARE(row(5),
                 QStringLiteral("12/31 - 23:59|AC hiba          ||-|-|-|-|-|-|-|-|-|Késl."));
        QCOMPARE(row(6), QString(12, '|'));
        QCOMPARE(m_list->cell(90, 0), QStringLiteral("90"));

        // The names come without a new event download.
        m_sim->clearReceived();
        texts.clear();
        press(m_list->btLoadNames);
        QCOMPARE(received(),
                 (QList<QByteArray>{"RPWD" + kCode, "RDFL0000", "RDFL0001", "RDFL0002"}));
        shown.clear();
        for (const QList<QVariant>& t : texts) shown << t.at(0).toString();
        QCOMPARE(shown, (QStringList{"Zóna és Felhasználói nevek letöltése...",
                                     "Zóna és Felhasználói nevek letöltése 0...",
                                     "Zóna és Felhasználói nevek letöltése 1...",
                                     "Zóna és Felhasználói nevek letöltése 2...",
                                     "Zóna és Felhasználói nevek letöltve."}));
        // Names are shown as stored, with the blanks that pad their fields.
        QCOMPARE(m_list->cell(1, 3), QStringLiteral("2.  Zóna 2    "));
        QCOMPARE(m_list->cell(2, 3), QStringLiteral("1.  Felh. 1   "));
        QCOMPARE(m_list->NameTable().size(), 24);
        QVERIFY(m_dialogs->messages.isEmpty());
        QVERIFY(m_list->btLoadEvents->isEnabled());
        QVERIFY(m_link->CodeTimer().isActive());
    }

    void ringWalk_data() {
        QTest::addColumn<QByteArray>("ring");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QList<int>>("shown");  // slots in rows 1, 2 and 90
        QTest::newRow("newest 0") << numberedRing(0) << "" << QList<int>{0, 95, 7};
        QTest::newRow("newest 89") << numberedRing(89) << "" << QList<int>{89, 88, 0};
        QTest::newRow("newest 200 reads as 95") << numberedRing(200) << "" << QList<int>{95, 94, 6};
        QTest::newRow("the module's byte 255")
            << numberedRing(3) << "newest-high:read" << QList<int>{95, 94, 6};
    }
    void ringWalk() {
        QFETCH(QByteArray, ring);
        QFETCH(QString, fault);
        QFETCH(QList<int>, shown);
        m_sim->state().setEventMemory(ring);
        if (!fault.isEmpty()) m_sim->addFault(*KorvantaSim::parseFault(fault));
        press(m_list->btLoadEvents);
        QCOMPARE(m_list->StatusBarEventListShort->currentMessage(),
                 QStringLiteral("Eseménylista letöltve."));
        const QList<int> rows{1, 2, 90};
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(m_list->cell(rows[i], 1),
                     QStringLiteral("01/01 - 00:%1").arg(shown[i], 2, 10, QChar('0')));
    }

    void emptyRingShowsNumberedEmptyRows() {
        // A full list first, so the empty rows must be emptied, marks and status included.
        m_sim->state().setEventMemory(numberedRing(50));
        press(m_list->btLoadEvents);
        m_sim->state().setEventMemory(QByteArray(1024, '\0'));
        press(m_list->btLoadEvents);
        QCOMPARE(m_list->acgEvSh->rowCount(), 90);
        for (int r = 1; r <= 90; ++r) {
            QCOMPARE(m_list->cell(r, 0), QString::number(r));
            QCOMPARE(row(r), QString(12, '|'));
        }
    }

    void failedDownload_data() {
        QTest::addColumn<bool>("names");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("reads");  // page reads sent before it ended
        const QStringList none;
        QTest::newRow("events: login unanswered")
            << false << "no-answer:login" << QStringList{QString::fromUtf8(texts::kNoAnswer)} << 0;
        QTest::newRow("events: wrong code")
            << false << "pwderr:login" << QStringList{QString::fromUtf8(texts::kWrongCode)} << 0;
        QTest::newRow("names: login unanswered")
            << true << "no-answer:login" << QStringList{QString::fromUtf8(texts::kNoAnswer)} << 0;
        for (const char* mode : {"no-answer", "damage", "wrong-page", "pwderr", "garbage"}) {
            for (int p = 0; p < 4; ++p)
                QTest::addRow("events: page F00%d %s", p, mode)
                    << false << QStringLiteral("%1:read:0xF00%2").arg(mode).arg(p) << none << p + 1;
            for (int p = 0; p < 3; ++p)
                QTest::addRow("names: page %d %s", p, mode)
                    << true << QStringLiteral("%1:read:%2").arg(mode).arg(p) << none << p + 1;
        }
        QTest::newRow("events: port lost on page F001")
            << false << "port-lost:read:0xF001" << none << 2;
    }
    void failedDownload() {
        // Each ends with its texts, the window and the keep-alive as they were, and what the
        // window showed before kept whole.
        QFETCH(bool, names);
        QFETCH(QString, fault);
        QFETCH(QStringList, messages);
        QFETCH(int, reads);
        m_sim->state().setEventMemory(numberedRing(20));
        press(m_list->btLoadNames);
        press(m_list->btLoadEvents);
        const QString before = row(1);
        const EventRingBytes ringBefore = m_list->EventRing();
        const NameTable namesBefore = m_list->NameTable();

        m_sim->state().setEventMemory(numberedRing(40));
        setZoneName(1, "Changed   ");
        m_sim->addFault(*KorvantaSim::parseFault(fault));
        m_sim->clearReceived();
        press(names ? m_list->btLoadNames : m_list->btLoadEvents);

        QCOMPARE(m_list->StatusBarEventListShort->currentMessage(), kFailed);
        QCOMPARE(m_dialogs->messages, messages);
        int sentReads = 0;
        for (const QByteArray& l : received()) sentReads += l.startsWith("RDFL");
        QCOMPARE(sentReads, reads);
        QCOMPARE(row(1), before);
        QVERIFY(m_list->EventRing() == ringBefore);
        QCOMPARE(m_list->NameTable(), namesBefore);
        QVERIFY(m_list->btLoadEvents->isEnabled());
        if (m_link->connected()) QVERIFY(m_link->CodeTimer().isActive());
    }

    void failedEventDownloadDoesNotMixIntoTheList() {
        // A names download shows the list again; after an event download that failed half
        // way, that list must be the last complete one, not new pages on old ones.
        m_sim->state().setEventMemory(numberedRing(20));
        press(m_list->btLoadEvents);
        const QString newestBefore = row(1);
        m_sim->state().setEventMemory(numberedRing(60));
        m_sim->addFault(*KorvantaSim::parseFault(QStringLiteral("no-answer:read:0xF003")));
        press(m_list->btLoadEvents);
        QCOMPARE(m_list->StatusBarEventListShort->currentMessage(), kFailed);
        press(m_list->btLoadNames);
        QCOMPARE(m_list->StatusBarEventListShort->currentMessage(),
                 QStringLiteral("Zóna és Felhasználói nevek letöltve."));
        QCOMPARE(row(1), newestBefore);
        QCOMPARE(m_list->cell(1, 1), QStringLiteral("01/01 - 00:20"));
    }

    void oneTransferAtATime() {
        // While the transfer window reads, both downloads of the event list are refused with
        // the busy text in the event list's own status bar, and send nothing.
        m_sim->addFault(*KorvantaSim::parseFault(QStringLiteral("late=60:read:3:1")));
        auto& download = m_rig->windows.downloadForm;
        QStringList refused;
        qsizetype linesAtRefusal = -1;
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(
            m_sim, &KorvantaSim::lineReceived, this, [&, connection](const QByteArray& line) {
                if (line != "RDFL0003") return;
                disconnect(*connection);
                linesAtRefusal = m_sim->receivedLines().size();
                for (QPushButton* b : {m_list->btLoadNames, m_list->btLoadEvents}) {
                    press(b);
                    refused << m_list->StatusBarEventListShort->currentMessage();
                }
            });
        ConfigTransfer::Outcome outcome{};
        connect(&download.transfer(), &ConfigTransfer::finished, this,
                [&](ConfigTransfer::Outcome o) { outcome = o; });
        press(download.btRead);
        QCOMPARE(refused, (QStringList{kBusy, kBusy}));
        QCOMPARE(outcome, ConfigTransfer::Outcome::Done);
        // After the refusals only the transfer's own reads went out.
        QCOMPARE(received(linesAtRefusal),
                 (QList<QByteArray>{"RDFL0004", "RDFL0005", "RDFL0006", "RDFL0007"}));
        QVERIFY(m_list->btLoadEvents->isEnabled());
        QVERIFY(m_dialogs->messages.isEmpty());
    }

    void statusPollingShowsAPartitionArmed() {
        m_sim->state().setPartition(1, false);
        m_sim->clearReceived();
        m_sim->setStatusVersion(3);
        QVERIFY(m_link->CodeTimer().isActive());
        withStatusWindow([&] {
            QVERIFY(!m_link->CodeTimer().isActive());
            QVERIFY(pumpUntil([&] { return m_status->lbPart1->text() == "Kikapcsolva"; }));
            QVERIFY(m_sim->receivedLines().first().startsWith("RPWE"));
            QVERIFY(TFormStatus::textColour(m_status->lbPart1) == colours::kGreen);
            press(m_status->btP1ON);
            QVERIFY(pumpUntil([&] { return m_status->lbPart1->text() == "Élesítve"; }));
            QVERIFY(TFormStatus::textColour(m_status->lbPart1) == colours::kRed);
            // The module logged it as the installer's doing; the next events poll shows it.
            QVERIFY(pumpUntil([&] { return m_status->cell(1, 2).startsWith("Élesítés Part.1"); }));
            QCOMPARE(m_status->cell(1, 3), QStringLiteral("F=13"));
            QVERIFY(m_status->lbTempVal->text().isEmpty());  // version 3 carries none
            QVERIFY(m_status->lbAkku->text().contains(" / "));
        });
        QCOMPARE(received(0, false), QList<QByteArray>{"PT1A" + kCode});
        QVERIFY(m_sim->state().partitionArmed(1));
        QVERIFY(!m_status->StatusTimer().isActive());
        QVERIFY(m_link->CodeTimer().isActive());
    }

    void mainAlarmStop_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<bool>("alarmEnded");  // in the module
        const QList<QByteArray> stop{"RSTP" + kCode};
        QTest::newRow("no") << false << true << "" << QStringList{} << QList<QByteArray>{} << false;
        QTest::newRow("port closed")
            << true << false << "" << QStringList{QString::fromUtf8(texts::kNoSerial)}
            << QList<QByteArray>{} << false;
        QTest::newRow("stopped") << true << true << "" << QStringList{kStopped} << stop << true;
        QTest::newRow("wrong code")
            << true << true << "pwderr:alarm-stop"
            << QStringList{QString::fromUtf8(texts::kWrongCode)} << stop << false;
        // The keep-alive runs eight times faster than the wait: its "PWDOK" must not count.
        QTest::newRow("no answer")
            << true << true << "no-answer:alarm-stop" << QStringList{kNoAnswer} << stop << false;
        QTest::newRow("verdict too late")
            << true << true << "late=600:alarm-stop" << QStringList{kNoAnswer} << stop << true;
        QTest::newRow("port lost")
            << true << true << "port-lost:alarm-stop" << QStringList{kNoAnswer} << stop << false;
        QTest::newRow("noise") << true << true << "garbage:alarm-stop" << QStringList{kNoAnswer}
                               << stop << false;
    }
    void mainAlarmStop() {
        QFETCH(bool, yes);
        QFETCH(bool, connected);
        QFETCH(QString, fault);
        QFETCH(QStringList, messages);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(bool, alarmEnded);
        TForm1& main = m_rig->windows.mainForm;
        m_sim->state().setPartition(1, true);
        m_sim->state().setZoneOpen(2, true);
        QVERIFY(m_sim->state().alarmActive());
        if (!connected) press(main.btDisconnect);
        if (!fault.isEmpty()) m_sim->addFault(*KorvantaSim::parseFault(fault));
        m_dialogs->answers = {yes};
        QString during;
        QTimer::singleShot(0, &main, [&] { during = main.statusText(); });
        m_sim->clearReceived();
        press(main.btSotpAllAlarm);
        QCOMPARE(m_dialogs->confirmations,
                 QStringList{"Biztosan le kívánja állítani a riasztási eseményeket ?"});
        QCOMPARE(m_dialogs->messages, messages);
        QCOMPARE(received(), sent);
        if (!sent.isEmpty()) QCOMPARE(during, QStringLiteral("Riasztások leállítása..."));
        QCOMPARE(!m_sim->state().alarmActive(), alarmEnded);
        QVERIFY(main.btSotpAllAlarm->isEnabled());
        if (!sent.isEmpty()) QCOMPARE(main.statusText(), QString());
    }

    void mainAlarmStopRightAfterAKeepAlive() {
        // The keep-alive has just gone out and its "PWDOK" is on the way when the stop is
        // pressed; the module never answers the stop. That "PWDOK" is no verdict.
        TForm1& main = m_rig->windows.mainForm;
        m_sim->addFault(*KorvantaSim::parseFault(QStringLiteral("late=15:login:*:1")));
        m_sim->addFault(*KorvantaSim::parseFault(QStringLiteral("no-answer:alarm-stop")));
        m_dialogs->answers = {true};
        bool pressed = false;
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(m_sim, &KorvantaSim::lineReceived, &main,
                              [&, connection](const QByteArray& line) {
                                  if (!line.startsWith("RPWD")) return;
                                  disconnect(*connection);
                                  // Once the module has taken the line and timed its answer.
                                  QTimer::singleShot(0, &main, [&] {
                                      press(main.btSotpAllAlarm);
                                      pressed = true;
                                  });
                              });
        QVERIFY(pumpUntil([&] { return pressed; }));
        QCOMPARE(m_dialogs->messages, QStringList{kNoAnswer});
        QCOMPARE(m_sim->commandCount(KorvantaSim::CommandKind::AlarmStop), 1);
    }

    void mainAlarmStopWhileATransferWaits() {
        TForm1& main = m_rig->windows.mainForm;
        m_dialogs->answers = {true};
        ModuleExchange other(*m_link);
        m_sim->clearReceived();
        press(main.btSotpAllAlarm);
        QCOMPARE(main.statusText(), kBusy);
        QVERIFY(m_dialogs->messages.isEmpty());
        pumpUntil([] { return false; }, 4);
        QCOMPARE(received(), QList<QByteArray>{});
    }

    void statusAlarmStop_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("stopped") << "" << QStringList{kStopped};
        QTest::newRow("wrong code")
            << "pwderr:alarm-stop" << QStringList{QString::fromUtf8(texts::kWrongCode)};
        QTest::newRow("no answer") << "no-answer:alarm-stop" << QStringList{kNoAnswer};
    }
    void statusAlarmStop() {
        // Three stops: five poll ticks after the confirmation, three more, then at once; no
        // poll goes out between them, and polling resumes after.
        QFETCH(QString, fault);
        QFETCH(QStringList, messages);
        if (!fault.isEmpty()) m_sim->addFault(*KorvantaSim::parseFault(fault));
        m_dialogs->answers = {true};
        int ticks = 0;
        connect(&m_status->StatusTimer(), &QTimer::timeout, this, [&] { ++ticks; });
        QList<std::pair<QByteArray, int>> writes;
        m_rig->device->failWrite = [&](const QByteArray& bytes) {
            writes.append({bytes.left(4), ticks});
            return false;
        };
        QString during;
        withStatusWindow([&] {
            QVERIFY(pumpUntil([&] { return writes.size() >= 2; }));
            writes.clear();
            ticks = 0;
            QTimer::singleShot(0, m_status,
                               [&] { during = m_status->StatusBar1->currentMessage(); });
            press(m_status->btSotpAllAlarm);
            QCOMPARE(m_status->PollPause, 0);
            QVERIFY(pumpUntil([&] { return !writes.isEmpty() && writes.last().first != "RSTP"; }));
        });
        QCOMPARE(during, QStringLiteral("Riasztások leállítása..."));
        QCOMPARE(writes.size(), 4);
        QCOMPARE(writes[0], (std::pair<QByteArray, int>{"RSTP", 5}));
        QCOMPARE(writes[1], (std::pair<QByteArray, int>{"RSTP", 8}));
        QCOMPARE(writes[2], (std::pair<QByteArray, int>{"RSTP", 8}));
        QVERIFY(writes[3].first.startsWith("RPW"));
        QCOMPARE(m_dialogs->messages, messages);
        QCOMPARE(m_status->StatusBar1->currentMessage(), QString());
        QVERIFY(m_status->btSotpAllAlarm->isEnabled());
    }

    void namesFromTheStatusWindow() {
        setZoneName(3, QByteArray("Konyha\0\0\0\0", 10));
        setZoneName(4, QByteArray(10, ' '));
        QByteArray ring(1024, '\0');
        ring.replace(0, 8, record(5, 6, 3, 7, 8, 9));  // IN3 alarm
        m_sim->state().setEventMemory(ring);
        press(m_list->btLoadEvents);
        QCOMPARE(m_list->cell(1, 3), QStringLiteral("3. "));

        qsizetype from = 0;
        withStatusWindow([&] {
            QCOMPARE(m_status->PanelIN[2]->text(), QStringLiteral("IN3"));
            QVERIFY(pumpUntil([&] { return m_status->lbPart1->text() != "."; }));
            from = m_sim->receivedLines().size();
            m_rig->seen.clear();
            press(m_status->btLoadZoneNames);
            // The download's texts go by; once it went well the bar is empty.
            QVERIFY(m_rig->seen.contains(QStringLiteral("Zóna és Felhasználói nevek letöltve.")));
            QCOMPARE(m_status->StatusBar1->currentMessage(), QString());
            QCOMPARE(m_status->PanelIN[0]->text(), QStringLiteral(" Zóna 1    "));
            QCOMPARE(m_status->PanelIN[2]->text(), QStringLiteral(" Konyha"));
            QCOMPARE(m_status->PanelIN[3]->text(), QStringLiteral("IN4"));  // eleven blanks
            // The keep-alive stays off while the window polls.
            QVERIFY(!m_link->CodeTimer().isActive());
            QCOMPARE(m_status->PollPause, 0);
            QVERIFY(m_status->btLoadZoneNames->isEnabled());
        });
        // Polls that were on the way may still be answered; none is sent once the hold began.
        QList<QByteArray> lines = received(from);
        while (!lines.isEmpty() && lines.first().startsWith("RPW") &&
               !lines.first().startsWith("RPWD"))
            lines.removeFirst();
        QCOMPARE(lines.mid(0, 5), (QList<QByteArray>{"RPWD" + kCode, "RPWD" + kCode, "RDFL0000",
                                                     "RDFL0001", "RDFL0002"}));
        QCOMPARE(m_list->cell(1, 3), QStringLiteral("3.  Konyha"));
    }

    void namesFromTheStatusWindowFailing() {
        m_sim->addFault(*KorvantaSim::parseFault(QStringLiteral("damage:read:1")));
        withStatusWindow([&] {
            press(m_status->btLoadZoneNames);
            // The window's only word of a failed page stays in its status bar.
            QCOMPARE(m_status->StatusBar1->currentMessage(), kFailed);
            QCOMPARE(m_status->PanelIN[0]->text(), QStringLiteral("IN1"));
        });
        QVERIFY(m_dialogs->messages.isEmpty());
    }
};

QTEST_MAIN(TestStatusE2e)
#include "test_status_e2e.moc"
