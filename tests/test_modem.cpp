#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

#include "link/modem.h"
#include "link/modulelink.h"
#include "support/memoryserial.h"

namespace {

// A link on an in-memory device with 1 ms ticks, and a modem script: for each line the
// program completes, what the modem answers.
struct Rig {
    Rig() {
        auto dev = std::make_unique<MemorySerialDevice>();
        d = dev.get();
        link = std::make_unique<ModuleLink>(std::move(dev), Timings{1, 5, 1000000, 1});
        link->setInstallerCodeSource([this] { return code; });
        link->ComPort1().open();
        d->onWrite = [this](const QByteArray& bytes) {
            pending += bytes;
            if (pending.endsWith("+++")) {
                sent << "+++";
                pending.clear();
                escaped = true;
            }
            while (pending.contains('\r')) {
                const QByteArray line = pending.left(pending.indexOf('\r'));
                pending.remove(0, line.size() + 1);
                sent << line;
                if (answer) {
                    const QByteArray reply = answer(line);
                    if (!reply.isEmpty()) d->feedLater(reply + "\r\n");
                }
            }
        };
        QObject::connect(link.get(), &ModuleLink::statusText,
                         [this](const QString& t) { statuses << t; });
    }
    MemorySerialDevice* d;
    std::unique_ptr<ModuleLink> link;
    QString code = QStringLiteral("1234");
    QByteArray pending;
    QList<QByteArray> sent;
    QStringList statuses;
    bool escaped = false;
    std::function<QByteArray(const QByteArray&)> answer;

    bool dial(const QString& number, QStringList* told = nullptr) {
        QStringList messages;
        const bool ok = modem::dial(*link, number, [&](const QString& t) { messages << t; });
        if (told) *told = messages;
        return ok;
    }
};

QList<QByteArray> times(int n, const QByteArray& line) { return QList<QByteArray>(n, line); }

}  // namespace

class TestModem : public QObject {
    Q_OBJECT
private slots:
    void checksBeforeDialling_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        QTest::newRow("no code, no number")
            << "" << "" << "Tárcsázás előtt adja meg a hívandó Korvanta modul TELEPÍTŐI AZONOSÍTÓJÁT.";
        QTest::newRow("letters only are no code")
            << "abc" << "0630" << "Tárcsázás előtt adja meg a hívandó Korvanta modul TELEPÍTŐI AZONOSÍTÓJÁT.";
        QTest::newRow("no number")
            << "1234" << "" << "Tárcsázás előtt adja meg a hívandó Korvanta modul TELEFONSZÁMÁT.";
    }
    void checksBeforeDialling() {
        QFETCH(QString, code);
        QFETCH(QString, number);
        QFETCH(QString, message);
        Rig rig;
        rig.code = code;
        rig.link->CodeTimer().start();
        QStringList told;
        QVERIFY(!rig.dial(number, &told));
        QCOMPARE(told, QStringList{message});
        QVERIFY(rig.sent.isEmpty());
        QVERIFY(rig.link->CodeTimer().isActive());
    }

    void dial_data() {
        QTest::addColumn<int>("okToProbe");  // which "AT" the modem answers first (0: none)
        QTest::addColumn<bool>("answersConfirm");
        QTest::addColumn<QByteArray>("connectLine");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<bool>("connected");
        const QByteArray dialString = "ATD06 30/123-4567";
        QTest::newRow("answering modem")
            << 1 << true << QByteArray("CONNECT 9600")
            << (QList<QByteArray>{"AT", "AT", dialString}) << true;
        QTest::newRow("CONNECT alone") << 1 << true << QByteArray("CONNECT")
                                       << (QList<QByteArray>{"AT", "AT", dialString}) << true;
        QTest::newRow("modem wakes at the third probe")
            << 3 << true << QByteArray("CONNECT 9600")
            << (QList<QByteArray>{"AT", "AT", "AT", "AT", dialString}) << true;
        QTest::newRow("only the confirming AT is answered")
            << 8 << true << QByteArray("CONNECT 9600")
            << (times(8, "AT") << dialString) << true;
        QTest::newRow("first AT answered, confirmation not: no dialling")
            << 1 << false << QByteArray("CONNECT 9600") << (QList<QByteArray>{"AT", "AT"})
            << false;
        QTest::newRow("no modem") << 0 << false << QByteArray() << times(8, "AT") << false;
        QTest::newRow("busy line") << 1 << true << QByteArray("BUSY")
                                   << (QList<QByteArray>{"AT", "AT", dialString}) << false;
    }
    void dial() {
        QFETCH(int, okToProbe);
        QFETCH(bool, answersConfirm);
        QFETCH(QByteArray, connectLine);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(bool, connected);
        Rig rig;
        int probes = 0;
        rig.answer = [&](const QByteArray& line) -> QByteArray {
            if (line == "AT") {
                ++probes;
                const bool confirming = okToProbe > 0 && probes > okToProbe;
                if (probes == okToProbe || (confirming && answersConfirm)) return "OK";
                return {};
            }
            return line.startsWith("ATD") ? connectLine : QByteArray();
        };
        rig.link->CodeTimer().start();
        QSignalSpy traffic(rig.link.get(), &ModuleLink::trafficLine);
        QCOMPARE(rig.dial(QStringLiteral("06 30/123-4567")), connected);
        QCOMPARE(rig.sent, sent);
        QCOMPARE(rig.statuses.first(), QStringLiteral("Tárcsázás..."));
        QCOMPARE(rig.statuses.last(), connected ? QStringLiteral(" Távoli kapcsolat rendben.")
                                                : QStringLiteral("Nincs kapcsolat!"));
        QVERIFY(rig.link->CodeTimer().isActive());
        // The probes are echoed in the traffic window; the dial string is not.
        for (const QList<QVariant>& args : traffic)
            QVERIFY(!args.at(0).toString().contains(QLatin1String("ATD")));
    }

    void dialWithThePortClosed() {
        Rig rig;
        rig.link->ComPort1().close();
        QStringList told;
        QVERIFY(!rig.dial(QStringLiteral("0630"), &told));
        QCOMPARE(told, QStringList{" Nincs soros kapcsolat."});
        QCOMPARE(rig.statuses, QStringList{"Nincs kapcsolat!"});
        QVERIFY(rig.sent.isEmpty());
    }

    void hangUpDuringTheConnectWait() {
        // Pressed while the dial waits for CONNECT: the hang-up runs inside that wait, and the
        // dial ends at once after it instead of waiting out its 20 seconds.
        Rig rig;
        int dialWaitTicksLeft = -1;
        rig.answer = [&](const QByteArray& line) -> QByteArray {
            if (line.startsWith("ATD"))
                QTimer::singleShot(0, rig.link.get(), [&] {
                    dialWaitTicksLeft = rig.link->delayCounter().value();
                    modem::hangUp(*rig.link);
                });
            return line.startsWith("AT") ? QByteArray("OK") : QByteArray();
        };
        QVERIFY(!rig.dial(QStringLiteral("0630")));
        QVERIFY(dialWaitTicksLeft > modem::kConnectTicks / 2);
        QCOMPARE(rig.statuses, (QStringList{"Tárcsázás...", "Vonal bontás...", " Vonal bontva.",
                                            "Nincs kapcsolat!"}));
        QCOMPARE(rig.sent, (QList<QByteArray>{"AT", "AT", "ATD0630", "ATH", "ATH"}));
    }

    void hangUp_data() {
        QTest::addColumn<int>("okAfter");  // "ATH" answered from this one on (0: never)
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::newRow("modem answers") << 1 << (QList<QByteArray>{"ATH", "ATH"});
        QTest::newRow("answers the third") << 3 << (QList<QByteArray>{"ATH", "ATH", "ATH", "ATH"});
        QTest::newRow("on line until the escape")
            << 5 << (times(3, "ATH") << "+++" << "ATH" << "ATH" << "ATH");
        QTest::newRow("never answers") << 0 << (times(3, "ATH") << "+++" << times(8, "ATH"));
    }
    void hangUp() {
        QFETCH(int, okAfter);
        QFETCH(QList<QByteArray>, sent);
        Rig rig;
        int tries = 0;
        rig.answer = [&](const QByteArray& line) -> QByteArray {
            if (line != "ATH") return {};
            ++tries;
            return okAfter > 0 && tries >= okAfter ? QByteArray("OK") : QByteArray();
        };
        modem::hangUp(*rig.link);
        QCOMPARE(rig.sent, sent);
        // Only a modem that confirmed some "ATH" has hung up for sure.
        const char* verdict = okAfter > 0 ? modem::kHungUp : modem::kHangUpFailed;
        QCOMPARE(rig.statuses, (QStringList{"Vonal bontás...", QString::fromUtf8(verdict)}));
        QVERIFY(rig.link->flag(Flag::Abort));
        QVERIFY(rig.link->CodeTimer().isActive());
    }

    void hangUpWithThePortClosed() {
        Rig rig;
        rig.link->ComPort1().close();
        modem::hangUp(*rig.link);
        QVERIFY(rig.sent.isEmpty());
        QVERIFY(rig.statuses.isEmpty());
        QVERIFY(rig.link->CodeTimer().isActive());
    }
};

QTEST_MAIN(TestModem)
#include "test_modem.moc"
