#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "link/pageframe.h"
#include "link/codestring.h"
#include "link/portnames.h"
#include "sim/korvantasim.h"

// The simulated module's memory, its files and its write path, talked to over its own pty.
class TestSim : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Sends `bytes` to the simulator and returns the next line it answers, without CR LF;
    // empty when none comes within a second. The simulator runs on this thread's event loop.
    static QByteArray exchange(QSerialPort& port, const QByteArray& bytes) {
        port.write(bytes);
        const QDeadlineTimer deadline(1000);
        while (!port.canReadLine() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return port.readLine().trimmed();
    }

    static QByteArray pattern(int seed) {
        QByteArray bytes(KorvantaSim::kBlockSize, '\0');
        for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(seed + 7 * i);
        return bytes;
    }

    static QByteArray writeFrame(const frame::Frame& f) {
        return "WRFL\r" + frame::toHex(f) + "\r";
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QDir(portsFolder()).removeRecursively();
    }

    void memoryFileRoundTripAndWrongSize() {
        KorvantaSim sim;
        QByteArray bytes(KorvantaSim::kMemorySize, '\0');
        for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 13 + i / 256);
        sim.setMemory(bytes);
        const QString path = m_dir.filePath(QStringLiteral("memory.bin"));
        QString error;
        QVERIFY2(sim.saveMemory(path, &error), qPrintable(error));

        KorvantaSim other;
        QVERIFY2(other.loadMemory(path, &error), qPrintable(error));
        QCOMPARE(other.memory(), bytes);

        for (const int size : {0, KorvantaSim::kMemorySize - 1, KorvantaSim::kMemorySize + 1}) {
            QFile file(m_dir.filePath(QStringLiteral("bad.bin")));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(size, 'x'));
            file.close();
            error.clear();
            QVERIFY(!other.loadMemory(file.fileName(), &error));
            QVERIFY(!error.isEmpty());
            QCOMPARE(other.memory(), bytes);
        }
    }

    void factoryInstallerCode_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("4 digits") << QStringLiteral("1234") << QByteArray::fromHex("EDCB00");
        QTest::newRow("6 digits") << QStringLiteral("907150") << QByteArray::fromHex("6F8EAF");
        QTest::newRow("none") << QString() << QByteArray::fromHex("000000");
    }

    void factoryInstallerCode() {
        QFETCH(QString, code);
        QFETCH(QByteArray, field);
        const QByteArray mem = KorvantaSim::factoryMemory(code);
        QCOMPARE(mem.size(), KorvantaSim::kMemorySize);
        QCOMPARE(mem.mid(180, 3), field);
        QCOMPARE(mem.left(10), QByteArray("Felh. 1   "));
        QCOMPARE(mem.mid(183, 10), QByteArray("Z\xF3na 1    "));  // Windows-1250
        QCOMPARE(mem.mid(1671, 16), QByteArray(16, '\0'));        // no telephone number
        QCOMPARE(mem.right(153), QByteArray(153, char(0xFF)));    // erased, unused
    }

    void writeAnswers_data() {
        QTest::addColumn<QByteArray>("send");
        QTest::addColumn<QByteArray>("answer");
        const auto pc = frame::ChecksumOrder::PcBigEndian;
        frame::Frame badDigit = frame::build(pattern(1), 2, pc);
        QByteArray badDigitLine = writeFrame(badDigit);
        badDigitLine[20] = 'a';  // lower case is not a digit on this line
        QTest::newRow("valid") << writeFrame(frame::build(pattern(1), 2, pc)) << QByteArray("WROK");
        QTest::newRow("module order")
            << writeFrame(frame::build(pattern(1), 2, frame::ChecksumOrder::ModuleLittleEndian))
            << QByteArray("WRFLERR");
        QTest::newRow("page 8") << writeFrame(frame::build(pattern(1), 8, pc))
                                << QByteArray("WRFLERR");
        QTest::newRow("bad digit") << badDigitLine << QByteArray("WRFLERR");
        QTest::newRow("short") << QByteArray("WRFL\r0000\r") << QByteArray("WRFLERR");
    }

    // Also: a pending block stays out of memory until "WRACT" commits it and saves the file.
    void writeAnswers() {
        QFETCH(QByteArray, send);
        QFETCH(QByteArray, answer);
        KorvantaSim sim;
        QString error;
        QVERIFY2(sim.start(QString(), &error), qPrintable(error));
        sim.setMemoryFile(m_dir.filePath(QStringLiteral("written.bin")));
        QSerialPort port(sim.slavePath());
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));

        QCOMPARE(exchange(port, "WRFL\r"), QByteArray("PWDERR"));  // no session yet
        QCOMPARE(exchange(port, "RPWD" + codeString(QStringLiteral("1234")) + "\r"),
                 QByteArray("PWDOK"));
        const QByteArray before = sim.memory();
        QCOMPARE(exchange(port, send), answer);
        QCOMPARE(sim.memory(), before);
        const bool kept = answer == "WROK";
        QCOMPARE(sim.pendingBlock(2), kept ? pattern(1) : QByteArray());

        QCOMPARE(exchange(port, "WRACT\r"), QByteArray("CRCOK"));
        QCOMPARE(sim.activationCount(), 1);
        QCOMPARE(sim.pendingBlock(2), QByteArray());
        QCOMPARE(sim.memory().mid(512, 256), kept ? pattern(1) : before.mid(512, 256));
        QFile saved(sim.memoryFile());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), sim.memory());

        // The page reads back in the module's checksum order.
        const QByteArray read = exchange(port, "RDFL0002\r");
        QVERIFY(read.startsWith("RDFL"));
        frame::Frame f{};
        QCOMPARE(frame::decodeHex(read.mid(4), f, frame::ChecksumOrder::ModuleLittleEndian),
                 frame::DecodeResult::Ok);
        QCOMPARE(frame::pageNumber(f), std::uint16_t(2));
        QCOMPARE(frame::data(f), sim.memory().mid(512, 256));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
