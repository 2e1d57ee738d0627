#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "clock/clockform.h"
#include "clock/clockpage.h"
#include "firmware/firmwareform.h"
#include "firmware/gkffile.h"
#include "firmware/upload.h"
#include "link/texts.h"
#include "radio/radioframe.h"
#include "radio/rfform.h"
#include "sim/korvantasim.h"
#include "support/simrig.h"

// The clock, radio and firmware windows against the simulated module over a pseudo-terminal:
// what the installer sees and what the module ends up with, with the module's faults.
using Kind = KorvantaSim::CommandKind;

namespace {

const QString kWrongCode = QString::fromUtf8(texts::kWrongCode);

QByteArray binaryOf(int records, quint32 seed) {
    QByteArray out(records * gkf::kRecordSize, '\0');
    for (char& c : out) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return out;
}

}  // namespace

class TestModuleE2e : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SimRig> m_rig;
    KorvantaSim* m_sim = nullptr;

    // Runs the program's own wait until `done` (a few seconds at most).
    bool runUntil(const std::function<bool()>& done) {
        return m_rig->link.waitFor(m_rig->link.tickCounter(), 1000, done);
    }
    QString firmwareFile(const QByteArray& binary, const QString& name) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(*gkf::fromBinary(binary));
        return path;
    }
    // Pages the module received, in order (0-based), whatever became of them.
    QList<int> pagesWritten() const {
        QList<int> out;
        for (const QByteArray& l : m_sim->receivedLines())
            if (l.size() == frame::kHexDigits)
                out << l.mid(2 * frame::kPageHighOffset, 4).toInt(nullptr, 16) - gkf::kFirstPage;
        return out;
    }

private slots:
    void initTestCase() { prepareEndToEnd(); }
    void init() {
        m_rig = std::make_unique<SimRig>(QStringLiteral("COM86"));
        QVERIFY2(m_rig->started, qPrintable(m_rig->error));
        m_sim = &m_rig->sim;
        m_rig->form.edPWD->setText(QStringLiteral("1234"));
        QVERIFY(m_rig->connectToModule());
    }
    void cleanup() { m_rig.reset(); }

    void clockReadAndSet() {
        m_sim->setClock(QDateTime(QDate(2031, 7, 4), QTime(18, 42)));
        TFormClock form(m_rig->link, m_rig->dialogs,
                        [] { return QDateTime(QDate(2007, 3, 1), QTime(0, 0, 59)); });
        form.btReadClock->click();
        form.btSetTime->click();
        QCOMPARE(form.statusText(), QString::fromUtf8(clockpage::kSetDone));
        form.btReadClock->click();
        QCOMPARE(m_rig->dialogs.messages,
                 (QStringList{QString::fromUtf8("A modul órája: 31/07/04 - 18:42"),
                              QString::fromUtf8("A modul órája: 07/03/01 - 00:00")}));
        QCOMPARE(m_sim->clockNow().date(), QDate(2007, 3, 1));
    }

    void clockFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("set");
        QTest::addColumn<QStringList>("messages");
        const QStringList none;
        QTest::newRow("read: damaged page") << "damage:read:0xFFFE" << false << none;
        QTest::newRow("read: the next page") << "wrong-page:read:0xFFFE" << false << none;
        QTest::newRow("read: no page") << "no-answer:read:0xFFFE" << false << none;
        QTest::newRow("read: noise") << "garbage:read:0xFFFE" << false << none;
        QTest::newRow("read: login refused") << "pwderr:login" << false << QStringList{kWrongCode};
        QTest::newRow("read: port lost") << "port-lost:read" << false << none;
        QTest::newRow("set: no answer") << "no-answer:write:0xFFFE" << true << none;
        QTest::newRow("set: a frame for WROK") << "wrong-kind:write:0xFFFE" << true << none;
        QTest::newRow("set: login refused") << "pwderr:login" << true << QStringList{kWrongCode};
        QTest::newRow("set: port lost") << "port-lost:write" << true << none;
    }
    void clockFaults() {
        QFETCH(QString, fault);
        QFETCH(bool, set);
        QFETCH(QStringList, messages);
        const QDateTime before = m_sim->clockNow();
        m_sim->addFault(*KorvantaSim::parseFault(fault));
        TFormClock form(m_rig->link, m_rig->dialogs,
                        [] { return QDateTime(QDate(2001, 1, 1), QTime(1, 1)); });
        (set ? form.btSetTime : form.btReadClock)->click();
        QCOMPARE(form.statusText(),
                 QString::fromUtf8(set ? clockpage::kSetFailed : clockpage::kReadFailed));
        QCOMPARE(m_rig->dialogs.messages, messages);
        QVERIFY(qAbs(m_sim->clockNow().secsTo(before)) < 60);
    }

    void teachAndDeleteBetweenPausedPolls() {
        m_sim->radio().setTeachMs(0);  // the device sends when the test says
        TFormRF form(m_rig->link, m_rig->dialogs);
        QStringList log;
        connect(&form.RFTimer(), &QTimer::timeout, &form, [&] { log << QStringLiteral("tick"); });
        connect(m_sim, &KorvantaSim::lineReceived, &form,
                [&](const QByteArray& l) { log << QString::fromLatin1(l.left(4)); });
        form.show();
        form.RFTimer().start();
        QVERIFY(runUntil([&] { return log.count(QStringLiteral("RPWF")) >= 2; }));
        m_rig->dialogs.answers = {true};
        form.btTeach[24]->click();  // remote 1
        const int at = log.indexOf(QStringLiteral("TRFH"));
        QVERIFY(at > 0);
        QCOMPARE(log.value(at - 1), QStringLiteral("tick"));
        QVERIFY(runUntil([&] { return form.lb[24]->text() == QString::fromUtf8("Tanulás"); }));
        QCOMPARE(log.mid(at + 1, 2), (QStringList{"tick", "tick"}));
        QCOMPARE(form.panelColour(24), QColor(0, 0, 255));
        m_sim->radio().triggerDevice();
        QVERIFY(runUntil([&] { return form.lb[24]->text() == QStringLiteral("OK."); }));
        QCOMPARE(form.panelColour(24), QColor(0, 128, 128));
        QCOMPARE(form.lbRFval->text(), QString::number(m_sim->radio().strength()));

        m_rig->dialogs.answers = {true, true};
        form.btRFDeleteAll->click();
        QVERIFY(runUntil([&] { return form.lb[24]->text() == QStringLiteral("-"); }));
        QCOMPARE(m_sim->commandCount(Kind::RadioTeach), 1);
        QCOMPARE(m_sim->commandCount(Kind::RadioDelete), 1);
        QVERIFY(m_rig->dialogs.messages.isEmpty());
    }

    void radioFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("slotText");  // what slot A1, taught, shows after the polls
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("frames without their '>'") << "wrong-length:poll-radio"
                                                  << "." << QStringList();
        // "0B" in lower case is no digit pair: the slot reads 0.
        QTest::newRow("frames in lower case") << "bad-digits:poll-radio"
                                              << "-" << QStringList();
        QTest::newRow("no frames") << "no-answer:poll-radio"
                                   << "." << QStringList();
        QTest::newRow("a modem link refuses the teach")
            << "rfterr:teach"
            << "1" << QStringList{QString::fromUtf8(radio::kRefused)};
    }
    void radioFaults() {
        QFETCH(QString, fault);
        QFETCH(QString, slotText);
        QFETCH(QStringList, messages);
        m_sim->radio().setStatus(0, 0x0B);  // taught, number 1: "0B" on the line
        m_sim->addFault(*KorvantaSim::parseFault(fault));
        TFormRF form(m_rig->link, m_rig->dialogs);
        form.show();
        form.RFTimer().start();
        m_rig->dialogs.answers = {true};
        form.btTeach[5]->click();
        QVERIFY(runUntil([&] { return m_sim->commandCount(Kind::PollRadio) >= 4; }));
        QCOMPARE(form.lb[0]->text(), slotText);
        QCOMPARE(m_rig->dialogs.messages, messages);
        QCOMPARE(m_sim->radio().teachingSlot(), messages.isEmpty() ? 5 : RadioSlots::kNoTeach);
    }

    void firmwareUploadCheckAndRestart() {
        // The largest firmware there is: 2048 records, 512 pages.
        const QByteArray binary = binaryOf(gkf::kMaxLines, 5);
        m_sim->setRestartMs(1000);
        TFormFirmware form(m_rig->link, m_rig->dialogs);
        m_rig->dialogs.paths = {firmwareFile(binary, QStringLiteral("full.GKF"))};
        form.btLoad->click();
        form.btStart->click();
        QCOMPARE(form.statusText(), QString::fromUtf8(firmware::kUploadDone));
        QCOMPARE(form.ProgressBar1->value(), 511);
        QCOMPARE(m_sim->firmware().pagesStored(), 512);
        QSignalSpy restarted(m_sim, &KorvantaSim::restarted);
        form.btCRC_Restart->click();
        QCOMPARE(form.statusText(), QString::fromUtf8(firmware::kCheckDone));
        QCOMPARE(m_rig->dialogs.messages, QStringList{QString::fromUtf8(firmware::kRestarting)});
        QCOMPARE(m_sim->firmware().installed(), binary);
        // The module is gone while it restarts: the next exchange finds no one.
        TFormClock clock(m_rig->link, m_rig->dialogs);
        clock.btReadClock->click();
        QCOMPARE(m_rig->dialogs.messages.last(), QString::fromUtf8(texts::kNoAnswer));
        QVERIFY(runUntil([&] { return restarted.count() == 1; }));
        m_rig->dialogs.messages.clear();
        clock.btReadClock->click();
        QCOMPARE(m_rig->dialogs.messages.size(), 1);
        QVERIFY(m_rig->dialogs.messages[0].startsWith(QString::fromUtf8("A modul órája: ")));
    }

    void firmwareFaults_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QList<int>>("pages");  // what the module received, every attempt
        const QString done = QString::fromUtf8(firmware::kUploadDone);
        const QString failed = QString::fromUtf8(firmware::kUploadFailed);
        QTest::newRow("page 35 on its second attempt")
            << QStringList{"no-answer:write:35:1"} << done << QList<int>{0, 1, 2, 2, 3, 4};
        QTest::newRow("page 35 on its third attempt, after noise and a frame")
            << QStringList{"garbage:write:35:1", "wrong-kind:write:35:1"} << done
            << QList<int>{0, 1, 2, 2, 2, 3, 4};
        QTest::newRow("page 35 never acknowledged")
            << QStringList{"no-answer:write:35"} << failed << QList<int>{0, 1, 2, 2, 2};
        QTest::newRow("login refused") << QStringList{"pwderr:login"} << failed << QList<int>{};
        QTest::newRow("port lost at page 36")
            << QStringList{"port-lost:write:36"} << failed << QList<int>{0, 1, 2, 3};
    }
    void firmwareFaults() {
        QFETCH(QStringList, faults);
        QFETCH(QString, status);
        QFETCH(QList<int>, pages);
        for (const QString& f : faults) m_sim->addFault(*KorvantaSim::parseFault(f));
        TFormFirmware form(m_rig->link, m_rig->dialogs);
        m_rig->dialogs.paths = {firmwareFile(binaryOf(20, 9), QStringLiteral("five.GKF"))};
        form.btLoad->click();
        form.btStart->click();
        QCOMPARE(form.statusText(), status);
        QCOMPARE(pagesWritten(), pages);
        QVERIFY(form.btStart->isEnabled());
    }

    void stopEndsTheUpload() {
        TFormFirmware form(m_rig->link, m_rig->dialogs);
        m_rig->dialogs.paths = {firmwareFile(binaryOf(80, 3), QStringLiteral("stop.GKF"))};
        form.btLoad->click();
        // The user presses Stop while page 7 (of 20) goes out; the module never answers it.
        m_sim->addFault(*KorvantaSim::parseFault(QStringLiteral("no-answer:write:40")));
        connect(m_sim, &KorvantaSim::lineReceived, &form, [&](const QByteArray& l) {
            if (l.size() == frame::kHexDigits && l.mid(2 * frame::kPageHighOffset, 4) == "0028")
                QTimer::singleShot(0, form.btStop, &QPushButton::click);
        });
        form.btStart->click();
        QCOMPARE(form.statusText(), QString::fromUtf8(firmware::kUploadStopped));
        QCOMPARE(pagesWritten(), (QList<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    }

    void checkFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("otherFile");  // checks pages the module did not get
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("no FIRMWAREOK") << "no-answer:write:545" << false << QStringList();
        QTest::newRow("control page of another file") << QString() << true << QStringList();
        QTest::newRow("login refused") << "pwderr:login" << false << QStringList{kWrongCode};
    }
    void checkFaults() {
        QFETCH(QString, fault);
        QFETCH(bool, otherFile);
        QFETCH(QStringList, messages);
        TFormFirmware form(m_rig->link, m_rig->dialogs);
        m_rig->dialogs.paths = {firmwareFile(binaryOf(12, 1), QStringLiteral("a.GKF")),
                                firmwareFile(binaryOf(12, 2), QStringLiteral("b.GKF"))};
        form.btLoad->click();
        form.btStart->click();
        QCOMPARE(form.statusText(), QString::fromUtf8(firmware::kUploadDone));
        if (otherFile) form.btLoad->click();
        if (!fault.isEmpty()) m_sim->addFault(*KorvantaSim::parseFault(fault));
        form.btCRC_Restart->click();
        QCOMPARE(form.statusText(), QString::fromUtf8(firmware::kCheckFailed));
        QCOMPARE(m_rig->dialogs.messages, messages);
        QVERIFY(m_sim->firmware().installed().isEmpty());
        QCOMPARE(m_sim->restarts(), 0);
    }
};

QTEST_MAIN(TestModuleE2e)
#include "test_module_e2e.moc"
