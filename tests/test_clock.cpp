#include <QTest>
#include <climits>

#include "clock/clockform.h"
#include "clock/clockpage.h"
#include "link/exchange.h"
#include "link/texts.h"
#include "support/linkrig.h"

// The module's clock: the page's texts, the frame that sets it, and the window's read and set
// against every answer the module can give.
namespace {

QByteArray clockBytes(std::initializer_list<int> fields) {
    QByteArray data(frame::kDataSize, '\0');
    int i = 0;
    for (int v : fields) data[i++] = char(v);
    return data;
}

const QByteArray kPwdOk = "PWDOK\r\n";
const QString kNoAnswer = QString::fromUtf8(texts::kNoAnswer);
const QString kWrongCode = QString::fromUtf8(texts::kWrongCode);

}  // namespace

class TestClock : public QObject {
    Q_OBJECT
private slots:
    void clockText_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("text");
        QTest::newRow("two digits each")
            << clockBytes({25, 3, 7, 9, 5}) << QString::fromUtf8("A modul órája: 25/03/07 - 09:05");
        QTest::newRow("midnight of 2000")
            << clockBytes({0, 1, 1, 0, 0}) << QString::fromUtf8("A modul órája: 00/01/01 - 00:00");
        // Bytes are shown as they come, however wrong: a byte above 99 takes three digits.
        QTest::newRow("byte above 99") << clockBytes({100, 12, 31, 23, 59})
                                       << QString::fromUtf8("A modul órája: 100/12/31 - 23:59");
        QTest::newRow("bytes unsigned") << clockBytes({255, 200, 0, 128, 60})
                                        << QString::fromUtf8("A modul órája: 255/200/00 - 128:60");
        QTest::newRow("byte 5 not shown") << clockBytes({7, 2, 3, 4, 5, 99})
                                          << QString::fromUtf8("A modul órája: 07/02/03 - 04:05");
    }
    void clockText() {
        QFETCH(QByteArray, page);
        QFETCH(QString, text);
        QCOMPARE(clockpage::clockText(frame::build(page, clockpage::kPage,
                                                   frame::ChecksumOrder::ModuleLittleEndian)),
                 text);
    }

    // The module's clock beside the PC's: the difference in whole minutes, as the two read.
    void difference_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QDateTime>("pc");
        QTest::addColumn<int>("minutes");  // INT_MIN: none
        QTest::addColumn<QString>("text");
        const int none = INT_MIN;
        auto at = [](int y, int mo, int d, int h, int mi, int s = 0) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
        };
        auto row = [](const char* name, const QByteArray& page, const QDateTime& pc, int minutes,
                      const char* text) {
            QTest::newRow(name) << page << pc << minutes << QString::fromUtf8(text);
        };
        row("7 minutes behind", clockBytes({25, 3, 7, 9, 5}), at(2025, 3, 7, 9, 12, 30), -7,
            "Eltérés: 7 perc késés");
        row("3 minutes ahead", clockBytes({25, 3, 7, 9, 15}), at(2025, 3, 7, 9, 12), 3,
            "Eltérés: 3 perc sietés");
        // The module keeps no seconds: the PC's are dropped, not rounded.
        row("same minute, PC at :59", clockBytes({25, 3, 7, 9, 5}), at(2025, 3, 7, 9, 5, 59), 0,
            "Eltérés: nincs");
        row("behind across midnight", clockBytes({25, 3, 7, 23, 56}), at(2025, 3, 8, 0, 3), -7,
            "Eltérés: 7 perc késés");
        row("ahead across midnight", clockBytes({25, 3, 8, 0, 2}), at(2025, 3, 7, 23, 58), 4,
            "Eltérés: 4 perc sietés");
        row("behind across the new year", clockBytes({25, 12, 31, 23, 55}), at(2026, 1, 1, 0, 2),
            -7, "Eltérés: 7 perc késés");
        row("ahead across the new year", clockBytes({26, 1, 1, 0, 1}), at(2025, 12, 31, 23, 59), 2,
            "Eltérés: 2 perc sietés");
        // Two digits of year: 99 beside a PC in 2100 is 2099, 00 beside 2099 is 2100.
        row("behind across the century", clockBytes({99, 12, 31, 23, 55}), at(2100, 1, 1, 0, 2), -7,
            "Eltérés: 7 perc késés");
        row("ahead across the century", clockBytes({0, 1, 1, 0, 1}), at(2099, 12, 31, 23, 58), 3,
            "Eltérés: 3 perc sietés");
        row("leap day", clockBytes({24, 2, 29, 9, 53}), at(2024, 2, 29, 10, 0), -7,
            "Eltérés: 7 perc késés");
        row("a day behind", clockBytes({25, 3, 6, 9, 5}), at(2025, 3, 7, 9, 5), -1440,
            "Eltérés: 1440 perc késés");
        row("month 13", clockBytes({25, 13, 7, 9, 5}), at(2025, 3, 7, 9, 5), none,
            "Eltérés: nem számítható");
        row("hour 24", clockBytes({25, 3, 7, 24, 0}), at(2025, 3, 7, 9, 5), none,
            "Eltérés: nem számítható");
        row("minute 60", clockBytes({25, 3, 7, 9, 60}), at(2025, 3, 7, 9, 5), none,
            "Eltérés: nem számítható");
        row("year byte 100", clockBytes({100, 3, 7, 9, 5}), at(2025, 3, 7, 9, 5), none,
            "Eltérés: nem számítható");
        row("day 0", clockBytes({25, 3, 0, 9, 5}), at(2025, 3, 7, 9, 5), none,
            "Eltérés: nem számítható");
        row("29 February of a common year", clockBytes({25, 2, 29, 9, 5}), at(2025, 3, 1, 9, 5),
            none, "Eltérés: nem számítható");
    }
    void difference() {
        QFETCH(QByteArray, page);
        QFETCH(QDateTime, pc);
        QFETCH(int, minutes);
        QFETCH(QString, text);
        const frame::Frame f =
            frame::build(page, clockpage::kPage, frame::ChecksumOrder::ModuleLittleEndian);
        const std::optional<int> got = clockpage::minutesAhead(f, pc);
        QCOMPARE(got.value_or(INT_MIN), minutes);
        QCOMPARE(clockpage::differenceText(got), text);
    }

    void timeTexts() {
        const frame::Frame f = frame::build(clockBytes({25, 3, 7, 9, 5}), clockpage::kPage,
                                            frame::ChecksumOrder::ModuleLittleEndian);
        QCOMPARE(clockpage::moduleTimeText(f), QStringLiteral("Modul ideje: 25/03/07 - 09:05"));
        QCOMPARE(clockpage::pcTimeText(QDateTime(QDate(2100, 1, 2), QTime(3, 4, 59))),
                 QStringLiteral("PC ideje: 00/01/02 - 03:04"));
    }

    void setFrame_data() {
        QTest::addColumn<QDateTime>("pcTime");
        QTest::addColumn<QByteArray>("fields");  // bytes 0..5
        QTest::newRow("2007, seconds dropped") << QDateTime(QDate(2007, 3, 25), QTime(9, 5, 59))
                                               << clockBytes({7, 3, 25, 9, 5, 0}).left(6);
        QTest::newRow("2000 sends year 0") << QDateTime(QDate(2000, 6, 15), QTime(12, 30))
                                           << clockBytes({0, 6, 15, 12, 30, 0}).left(6);
        QTest::newRow("first of a month at midnight") << QDateTime(QDate(2024, 11, 1), QTime(0, 0))
                                                      << clockBytes({24, 11, 1, 0, 0, 0}).left(6);
        QTest::newRow("last minute of 2099") << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59))
                                             << clockBytes({99, 12, 31, 23, 59, 0}).left(6);
    }
    void setFrame() {
        QFETCH(QDateTime, pcTime);
        QFETCH(QByteArray, fields);
        const frame::Frame f = clockpage::setFrame(pcTime);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(f.data()), 6), fields);
        for (int i = 6; i < frame::kPageHighOffset; ++i) QCOMPARE(int(f[size_t(i)]), 0);
        QCOMPARE(int(f[264]), 255);
        QCOMPARE(int(f[265]), 254);
        // The PC's order, as every frame it sends.
        QCOMPARE(frame::storedChecksum(f, frame::ChecksumOrder::PcBigEndian), frame::checksum(f));
    }

    void read_data() {
        QTest::addColumn<QByteArray>("loginReply");
        QTest::addColumn<QByteArray>("pageReply");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("status");
        const QByteArray good = moduleFrameLine(clockBytes({25, 3, 7, 9, 5, 42}), clockpage::kPage);
        QByteArray damaged = good;
        damaged[30] = damaged[30] == '0' ? '1' : '0';
        const QString fail = QString::fromUtf8(clockpage::kReadFailed);
        QTest::newRow("clock page")
            << kPwdOk << good << QStringList{QString::fromUtf8("A modul órája: 25/03/07 - 09:05")}
            << QString();
        QTest::newRow("damaged page") << kPwdOk << damaged << QStringList() << fail;
        QTest::newRow("no page") << kPwdOk << QByteArray() << QStringList() << fail;
        QTest::newRow("password error")
            << kPwdOk << QByteArray("PWDERR\r\n") << QStringList() << fail;
        // The version page is numbered FFFF: its bytes are no date.
        QTest::newRow("frame of another page")
            << kPwdOk << moduleFrameLine(clockBytes({25, 3, 7, 9, 5}), 0xFFFF) << QStringList()
            << fail;
        QTest::newRow("login refused")
            << QByteArray("PWDERR\r\n") << good << QStringList{kWrongCode} << fail;
        QTest::newRow("login unanswered") << QByteArray() << good << QStringList{kNoAnswer} << fail;
    }
    void read() {
        QFETCH(QByteArray, loginReply);
        QFETCH(QByteArray, pageReply);
        QFETCH(QStringList, messages);
        QFETCH(QString, status);
        LinkRig rig;
        rig.link->CodeTimer().start();
        rig.answer = [&](const QByteArray& line) {
            if (line.startsWith("RPWD")) return loginReply;
            return line == "RDFLFFFE" ? pageReply : QByteArray();
        };
        TFormClock form(*rig.link, rig.dialogs);
        bool disabledMeanwhile = false;
        rig.d->onWrite = [&, inner = rig.d->onWrite](const QByteArray& bytes) {
            disabledMeanwhile = !form.btReadClock->isEnabled();
            inner(bytes);
        };
        form.btReadClock->click();
        QCOMPARE(rig.dialogs.messages, messages);
        QCOMPARE(form.statusText(), status);
        QVERIFY(disabledMeanwhile);
        QVERIFY(form.btReadClock->isEnabled());
        QVERIFY(rig.link->CodeTimer().isActive());
        const bool loggedIn = loginReply == kPwdOk;
        QCOMPARE(rig.commands(),
                 loggedIn ? (QList<QByteArray>{QByteArray("RPWD") + kRigCode, "RDFLFFFE"})
                          : (QList<QByteArray>{QByteArray("RPWD") + kRigCode}));
    }

    void set_data() {
        QTest::addColumn<QByteArray>("loginReply");
        QTest::addColumn<QByteArray>("writeReply");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("waitRanOut");
        const QString done = QString::fromUtf8(clockpage::kSetDone);
        const QString fail = QString::fromUtf8(clockpage::kSetFailed);
        QTest::newRow("WROK") << kPwdOk << QByteArray("WROK\r\n") << QStringList() << done << false;
        // The module's refusal is a verdict: the wait ends with it.
        QTest::newRow("WRFLERR") << kPwdOk << QByteArray("WRFLERR\r\n") << QStringList() << fail
                                 << false;
        QTest::newRow("no answer") << kPwdOk << QByteArray() << QStringList() << fail << true;
        QTest::newRow("another answer")
            << kPwdOk << QByteArray("CRCOK\r\n") << QStringList() << fail << true;
        QTest::newRow("login refused") << QByteArray("PWDERR\r\n") << QByteArray("WROK\r\n")
                                       << QStringList{kWrongCode} << fail << false;
    }
    void set() {
        QFETCH(QByteArray, loginReply);
        QFETCH(QByteArray, writeReply);
        QFETCH(QStringList, messages);
        QFETCH(QString, status);
        QFETCH(bool, waitRanOut);
        LinkRig rig;
        QString statusWhileWriting;
        const QDateTime pcTime(QDate(2007, 3, 25), QTime(9, 5, 30));
        TFormClock form(*rig.link, rig.dialogs, [&] { return pcTime; });
        rig.answer = [&](const QByteArray& line) {
            if (line.startsWith("RPWD")) return loginReply;
            if (line.size() != frame::kHexDigits) return QByteArray();
            statusWhileWriting = form.statusText();
            return writeReply;
        };
        form.btSetTime->click();
        QCOMPARE(rig.dialogs.messages, messages);
        QCOMPARE(form.statusText(), status);
        QCOMPARE(rig.link->tickCounter().value() <= 0, waitRanOut);
        QVERIFY(form.btSetTime->isEnabled());
        if (loginReply != kPwdOk) {
            QCOMPARE(rig.lines.size(), 1);
            return;
        }
        QCOMPARE(statusWhileWriting, QString::fromUtf8(clockpage::kSetting));
        QCOMPARE(rig.lines, (QList<QByteArray>{QByteArray("RPWD") + kRigCode, "WRFL",
                                               frame::toHex(clockpage::setFrame(pcTime))}));
    }

    void closedPortOrBusyLinkSendsNothing_data() {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("status");
        QTest::newRow("port closed")
            << false << QStringList{QString::fromUtf8(texts::kNoSerial)} << QString();
        QTest::newRow("another exchange running")
            << true << QStringList() << QString::fromUtf8(texts::kBusy);
    }
    void closedPortOrBusyLinkSendsNothing() {
        QFETCH(bool, portOpen);
        QFETCH(QStringList, messages);
        QFETCH(QString, status);
        LinkRig rig;
        if (!portOpen) rig.link->ComPort1().close();
        TFormClock form(*rig.link, rig.dialogs);
        ModuleExchange other(*rig.link);
        for (QPushButton* b : {form.btReadClock, form.btSetTime}) {
            rig.dialogs.messages.clear();
            b->click();
            QCOMPARE(rig.dialogs.messages, messages);
            QCOMPARE(form.statusText(), status);
            QVERIFY(b->isEnabled());
        }
        QVERIFY(rig.d->written.isEmpty());
    }

    void serialWriteFailureIsReported() {
        LinkRig rig;
        TFormClock form(*rig.link, rig.dialogs);
        rig.d->failWrites = true;
        form.btSetTime->click();
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(form.statusText(), QString::fromUtf8(clockpage::kSetFailed));
        QVERIFY(form.btSetTime->isEnabled());
        QVERIFY(rig.link->canPoll());
    }
};

QTEST_MAIN(TestClock)
#include "test_clock.moc"
