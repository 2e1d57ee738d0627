#include <QTest>
#include <memory>

#include "clock/clockform.h"
#include "clock/clockpage.h"
#include "link/modulelink.h"
#include "link/pageframe.h"
#include "sim/korvantasim.h"
#include "support/scripteddialogs.h"
#include "support/simrig.h"

// The clock window against the simulated module: the module's time beside the PC's after
// each read, and setting the clock as it always was.
class TestClockE2e : public QObject {
    Q_OBJECT

    std::unique_ptr<SimRig> m_rig;
    std::unique_ptr<TFormClock> m_clock;
    // The PC's clock as the window sees it; the seconds are whole so that the module's clock,
    // which runs on from where it is set, stays in the same minute while a test runs.
    QDateTime m_pc;

    void press(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    QStringList clocks() const {
        return {m_clock->lbModuleTime->text(), m_clock->lbPcTime->text(),
                m_clock->lbDifference->text()};
    }
    static QStringList noReading() { return {"Modul ideje:", "PC ideje:", "Eltérés:"}; }

private slots:
    void initTestCase() { prepareEndToEnd(); }

    void init() {
        m_rig = std::make_unique<SimRig>(QStringLiteral("COM87"), shortTickTimings());
        QVERIFY2(m_rig->started, qPrintable(m_rig->error));
        m_pc = QDateTime(QDate(2025, 12, 31), QTime(23, 58));
        m_clock =
            std::make_unique<TFormClock>(m_rig->link, m_rig->dialogs, [this] { return m_pc; });
        m_rig->form.edPWD->setText(QStringLiteral("1234"));
        QVERIFY(m_rig->connectToModule());
    }
    void cleanup() {
        m_clock.reset();
        m_rig.reset();
    }

    void readShowsBothClocks_data() {
        QTest::addColumn<QDateTime>("pc");
        QTest::addColumn<int>("moduleAhead");  // minutes
        QTest::addColumn<QStringList>("shown");
        const QDateTime noon(QDate(2025, 3, 7), QTime(10, 12));
        QTest::newRow("module 7 minutes behind")
            << noon << -7
            << QStringList{"Modul ideje: 25/03/07 - 10:05", "PC ideje: 25/03/07 - 10:12",
                           "Eltérés: 7 perc késés"};
        QTest::newRow("module 3 minutes ahead")
            << noon << 3
            << QStringList{"Modul ideje: 25/03/07 - 10:15", "PC ideje: 25/03/07 - 10:12",
                           "Eltérés: 3 perc sietés"};
        QTest::newRow("behind across the new year")
            << QDateTime(QDate(2026, 1, 1), QTime(0, 2)) << -7
            << QStringList{"Modul ideje: 25/12/31 - 23:55", "PC ideje: 26/01/01 - 00:02",
                           "Eltérés: 7 perc késés"};
        QTest::newRow("together") << noon << 0
                                  << QStringList{"Modul ideje: 25/03/07 - 10:12",
                                                 "PC ideje: 25/03/07 - 10:12", "Eltérés: nincs"};
    }
    void readShowsBothClocks() {
        QFETCH(QDateTime, pc);
        QFETCH(int, moduleAhead);
        QFETCH(QStringList, shown);
        m_pc = pc;
        m_rig->sim.setClock(pc.addSecs(moduleAhead * 60));
        QCOMPARE(clocks(), noReading());
        press(m_clock->btReadClock);
        QCOMPARE(clocks(), shown);
        for (QLabel* l : {m_clock->lbModuleTime, m_clock->lbPcTime, m_clock->lbDifference})
            QCOMPARE(l->textFormat(), Qt::PlainText);
        // The box after a read is as it always was: the module's clock alone.
        QCOMPARE(m_rig->dialogs.messages,
                 QStringList{"A modul órája: " +
                             shown.at(0).mid(QStringLiteral("Modul ideje: ").size())});
        QVERIFY(m_clock->statusText().isEmpty());
    }

    void failedReadLeavesNoOldReading() {
        m_pc = QDateTime(QDate(2025, 3, 7), QTime(10, 12));
        m_rig->sim.setClock(m_pc.addSecs(-7 * 60));
        press(m_clock->btReadClock);
        QCOMPARE(clocks().last(), QStringLiteral("Eltérés: 7 perc késés"));
        m_rig->sim.setNoAnswerPage(clockpage::kPage);
        press(m_clock->btReadClock);
        QCOMPARE(m_clock->statusText(), QString::fromUtf8(clockpage::kReadFailed));
        QCOMPARE(clocks(), noReading());
    }

    void settingKeepsItsExchangeAndTheNextReadAgrees() {
        m_pc = QDateTime(QDate(2025, 3, 7), QTime(10, 12));
        m_rig->sim.setClock(m_pc.addSecs(-7 * 60));
        m_rig->sim.clearReceived();
        press(m_clock->btSetTime);
        QCOMPARE(m_clock->statusText(), QString::fromUtf8(clockpage::kSetDone));
        QCOMPARE(
            m_rig->sim.receivedLines(),
            (QList<QByteArray>{"RPWDEDCB00", "WRFL", frame::toHex(clockpage::setFrame(m_pc))}));
        // Setting shows no reading of its own: the labels wait for the next read.
        QCOMPARE(clocks(), noReading());
        press(m_clock->btReadClock);
        QCOMPARE(clocks(), (QStringList{"Modul ideje: 25/03/07 - 10:12",
                                        "PC ideje: 25/03/07 - 10:12", "Eltérés: nincs"}));
    }
};

QTEST_MAIN(TestClockE2e)
#include "test_clock_e2e.moc"
