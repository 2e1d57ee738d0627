#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/setupini.h"
#include "link/codestring.h"
#include "link/ecomport.h"
#include "link/modulelink.h"
#include "link/portnames.h"
#include "link/protocol.h"
#include "support/memoryserial.h"

namespace {

// A link on an in-memory device whose code box holds `code`.
struct Rig {
    explicit Rig(bool open = true) : Rig(std::make_unique<MemorySerialDevice>(), open) {}
    Rig(std::unique_ptr<MemorySerialDevice> dev, bool open) : d(dev.get()), link(std::move(dev)) {
        link.setInstallerCodeSource([this] { return code; });
        if (open) link.ComPort1().open();
    }
    MemorySerialDevice* d;
    ModuleLink link;
    QString code = QStringLiteral("1234");
};

enum Op { Command, CommandEcho, HexByte, Return, Authorised };

void run(ModuleLink& link, int op, const QByteArray& text, int value) {
    switch (op) {
        case Command: link.SendCommand(text); break;
        case CommandEcho: link.SendCommandEcho(text); break;
        case HexByte: link.SendHexByte(quint8(value)); break;
        case Return: link.SendReturn(); break;
        case Authorised: link.SendAuthorised(value); break;
    }
}

bool makeFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

}  // namespace

class TestLinkCore : public QObject {
    Q_OBJECT
private:
    void sendTable() {
        QTest::addColumn<int>("op");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("traffic");
        QTest::newRow("command") << int(Command) << QByteArray("WRACT") << 0 << QByteArray("WRACT\r") << QStringList();
        QTest::newRow("echo") << int(CommandEcho) << QByteArray("AT") << 0 << QByteArray("AT\r")
                              << QStringList{QStringLiteral("------> AT")};
        QTest::newRow("hex 0") << int(HexByte) << QByteArray() << 0 << QByteArray("00") << QStringList();
        QTest::newRow("hex 10") << int(HexByte) << QByteArray() << 10 << QByteArray("0A") << QStringList();
        QTest::newRow("hex 255") << int(HexByte) << QByteArray() << 255 << QByteArray("FF") << QStringList();
        QTest::newRow("hex A5") << int(HexByte) << QByteArray() << 0xA5 << QByteArray("A5") << QStringList();
        QTest::newRow("return") << int(Return) << QByteArray() << 0 << QByteArray("\r") << QStringList();
        QTest::newRow("authorised") << int(Authorised) << QByteArray() << 0 << QByteArray("RPWDEDCB00\r")
                                    << QStringList();
    }

private slots:
    void codeString_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty") << QString() << QByteArray("000000");
        QTest::newRow("letters dropped") << QStringLiteral("12a34") << QByteArray("EDCB00");
        QTest::newRow("six digits") << QStringLiteral("123456") << QByteArray("EDCBA9");
        QTest::newRow("seventh unused") << QStringLiteral("1234567") << QByteArray("EDCBA9");
        QTest::newRow("zero") << QStringLiteral("0") << QByteArray("F00000");
        QTest::newRow("nines") << QStringLiteral("9999") << QByteArray("666600");
        QTest::newRow("non-ASCII digit dropped") << QString::fromUtf8("\u0661" "2") << QByteArray("D00000");
    }
    void codeString() {
        QFETCH(QString, box);
        QFETCH(QByteArray, expected);
        QCOMPARE(::codeString(installerCodeDigits(box)), expected);
        // The link filters the box text itself before building the command.
        Rig rig;
        rig.code = box;
        rig.link.SendAuthorised(proto::kAuthLogin);
        QCOMPARE(rig.d->takeWritten(), "RPWD" + expected + "\r");
    }

    void sendAuthorised_data() {
        QTest::addColumn<int>("k");
        QTest::addColumn<QByteArray>("sent");
        const char* const prefixes[] = {"RPWD", "RPWS", "RPWE", "RSTP", "PT1D",
                                        "PT2D", "PT1A", "PT2A", "RPWF", "DLRF"};
        for (int k = 0; k < 10; ++k)
            QTest::addRow("k=%d", k) << k << QByteArray(prefixes[k]) + "EDCB00\r";
        for (int k : {128, 137, 138, 144, 145, 163})
            QTest::addRow("k=%d", k) << k << "TRF" + QByteArray(1, char(48 + k - 128)) + "EDCB00\r";
        for (int k : {10, 127, 164, -1, 255}) QTest::addRow("k=%d", k) << k << QByteArray();
    }
    void sendAuthorised() {
        QFETCH(int, k);
        QFETCH(QByteArray, sent);
        Rig rig;
        rig.link.SendAuthorised(k);
        QCOMPARE(rig.d->written, sent);
    }

    void codeReadAtSendTime() {
        Rig rig;
        rig.link.SendAuthorised(proto::kAuthLogin);
        rig.code = QStringLiteral("9");
        rig.link.SendAuthorised(proto::kAuthLogin);
        QCOMPARE(rig.d->written, QByteArray("RPWDEDCB00\rRPWD600000\r"));
    }

    void sendsWhileOpen_data() { sendTable(); }
    void sendsWhileOpen() {
        QFETCH(int, op);
        QFETCH(QByteArray, text);
        QFETCH(int, value);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, traffic);
        Rig rig;
        QSignalSpy spy(&rig.link, &ModuleLink::trafficLine);
        run(rig.link, op, text, value);
        QCOMPARE(rig.d->written, sent);
        QStringList seen;
        for (const QList<QVariant>& args : spy) seen << args.at(0).toString();
        QCOMPARE(seen, traffic);
    }

    void nothingSentWhileClosed_data() { sendTable(); }
    void nothingSentWhileClosed() {
        QFETCH(int, op);
        QFETCH(QByteArray, text);
        QFETCH(int, value);
        Rig rig(false);
        QSignalSpy spy(&rig.link, &ModuleLink::trafficLine);
        run(rig.link, op, text, value);
        QVERIFY(rig.d->written.isEmpty());
        QCOMPARE(spy.count(), 0);
    }

    void failedWriteThrows() {
        Rig rig;
        rig.d->failWrites = true;
        try {
            rig.link.SendCommand("WRACT");
            QFAIL("no exception");
        } catch (const EComPort& e) {
            QCOMPARE(e.code(), 2);
            QCOMPARE(e.message(), QStringLiteral("WriteFile function failed"));
        }
    }

    void portNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const char* const rows[][2] = {{"com12", "COM12"}, {"COM97", "COM1"}, {"", "COM1"},
                                       {"COM0", "COM1"},   {"LPT1", "COM1"},  {"com3", "COM3"},
                                       {"COM96", "COM96"}, {"cOm7", "COM7"},  {"COMx", "COM1"},
                                       {"5", "COM5"}};
        for (const auto& r : rows) QTest::addRow("'%s'", r[0]) << QString(r[0]) << QString(r[1]);
    }
    void portNames() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(normalisePortName(name), expected);
    }

    void fixedDevices_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        const char* const rows[][2] = {{"COM1", "ttyS0"},    {"COM32", "ttyS31"}, {"COM33", "ttyUSB0"},
                                       {"COM64", "ttyUSB31"}, {"COM65", "ttyACM0"}, {"COM96", "ttyACM31"},
                                       {"COM6", "ttyS5"},    {"com97", "ttyS0"}};
        for (const auto& r : rows) QTest::newRow(r[0]) << QString(r[0]) << QString(r[1]);
    }
    void fixedDevices() {
        QFETCH(QString, name);
        QFETCH(QString, device);
        QTemporaryDir ports, dev;
        // A link for another port changes nothing for this one.
        QVERIFY(makeFile(dev.filePath("target")));
        QVERIFY(QFile::link(dev.filePath("target"), ports.filePath("COM5")));
        QCOMPARE(resolvePortDevice(name, ports.path(), dev.path()), dev.path() + '/' + device);
    }

    void linkWinsOverTable() {
        QTemporaryDir ports, dev;
        QVERIFY(makeFile(dev.filePath("ttyS4")) && makeFile(dev.filePath("sim")));
        QVERIFY(QFile::link(dev.filePath("sim"), ports.filePath("COM5")));
        const QString device = resolvePortDevice(QStringLiteral("com5"), ports.path(), dev.path());
        QCOMPARE(QFileInfo(device).canonicalFilePath(), QFileInfo(dev.filePath("sim")).canonicalFilePath());
    }

    void listPorts() {
        QTemporaryDir ports, dev;
        QVERIFY(makeFile(dev.filePath("ttyS0")) && makeFile(dev.filePath("ttyS9")));
        QVERIFY(makeFile(dev.filePath("sim")));
        QVERIFY(QFile::link(dev.filePath("sim"), ports.filePath("COM40")));
        QVERIFY(QFile::link(dev.filePath("gone"), ports.filePath("COM41")));
        const QList<PortEntry> list = ::listPorts(ports.path(), dev.path());
        QStringList names;
        for (const PortEntry& e : list) names << e.name;
        QCOMPARE(names, (QStringList{"COM1", "COM10", "COM40"}));
        QCOMPARE(list[0].device, dev.filePath("ttyS0"));
        QCOMPARE(list[1].device, dev.filePath("ttyS9"));
        QCOMPARE(QFileInfo(list[2].device).canonicalFilePath(),
                 QFileInfo(dev.filePath("sim")).canonicalFilePath());
    }

    void comPortErrors_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("systemError");
        QTest::addColumn<QString>("message");
        QTest::newRow("open") << 1 << 5 << "Unable to open com port (win error code: 5)";
        QTest::newRow("write") << 2 << int(EComPort::kNoSystemError) << "WriteFile function failed";
        QTest::newRow("read") << 3 << int(EComPort::kNoSystemError) << "ReadFile function failed";
        QTest::newRow("purge") << 5 << int(EComPort::kNoSystemError) << "PurgeComm function failed";
        QTest::newRow("clear") << 10 << int(EComPort::kNoSystemError) << "ClearCommError function failed";
        QTest::newRow("enum") << 15 << int(EComPort::kNoSystemError) << "EnumPorts function failed";
        QTest::newRow("rxbuf") << 22 << int(EComPort::kNoSystemError) << "A component is linked to OnRxBuf event";
    }
    void comPortErrors() {
        QFETCH(int, code);
        QFETCH(int, systemError);
        QFETCH(QString, message);
        const EComPort e(code, systemError);
        QCOMPARE(e.message(), message);
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }

    void formatSetup_data() {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("with phone") << "06301234567"
                                    << QByteArray("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM2\r\n1,0,06301234567\r\n");
        QTest::newRow("no phone") << QString() << QByteArray("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM2\r\n");
    }
    void formatSetup() {
        QFETCH(QString, phone);
        QFETCH(QByteArray, file);
        SettingsGrid grid;
        grid.cells[{0, 0}] = QStringLiteral("COM2");
        grid.cells[{1, 0}] = phone;
        QCOMPARE(formatSettingsGrid(grid), file);
    }

    void setupRoundTrip_data() {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QByteArray>("storedPhone");
        QTest::newRow("plain") << "06301234567" << QByteArray("06301234567");
        QTest::newRow("line breaks") << "ATZ\r\n0630" << QByteArray("ATZ\x09\x08" "0630");
        QTest::newRow("windows-1250") << QString::fromUtf8("Árvíztűrő") << QByteArray("\xC1rv\xEDzt\xFBr\xF5");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void setupRoundTrip() {
        QFETCH(QString, phone);
        QFETCH(QByteArray, storedPhone);
        QTemporaryDir dir;
        const QString path = dir.filePath("setup.ini");
        QString error;
        QVERIFY(writeSetupIni(path, {QStringLiteral("COM3"), phone}, &error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray expected = "2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM3\r\n";
        if (!storedPhone.isEmpty()) expected += "1,0," + storedPhone + "\r\n";
        QCOMPARE(f.readAll(), expected);
        const std::optional<Setup> back = readSetupIni(path);
        QVERIFY(back);
        QCOMPARE(back->port, QStringLiteral("COM3"));
        QCOMPARE(back->phone, phone);
    }

    void rejectedGrids_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("no columns") << QByteArray("0,1\r\n");
        QTest::newRow("no rows") << QByteArray("2,0\r\n");
        QTest::newRow("not a number") << QByteArray("x,1\r\n");
        QTest::newRow("one number") << QByteArray("2\r\n0,0,COM1\r\n");
        QTest::newRow("column outside") << QByteArray("2,1\r\n2,0,X\r\n");
        QTest::newRow("row outside") << QByteArray("2,1\r\n0,1,X\r\n");
        QTest::newRow("one comma") << QByteArray("2,1\r\n0,COM1\r\n");
    }
    void rejectedGrids() {
        QFETCH(QByteArray, file);
        QVERIFY(!parseSettingsGrid(file));
    }

    void portWithoutPhone() {
        QTemporaryDir dir;
        QFile f(dir.filePath("setup.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM7\r\n");
        f.close();
        const std::optional<Setup> setup = readSetupIni(f.fileName());
        QVERIFY(setup);
        QCOMPARE(setup->port, QStringLiteral("COM7"));
        QVERIFY(setup->phone.isEmpty());
        QVERIFY(!readSetupIni(dir.filePath("missing.ini")));
    }

    void failedSetupWrites() {
        QTemporaryDir dir;
        const QString noDir = dir.filePath("absent/setup.ini");
        QString error;
        QVERIFY(!writeSetupIni(noDir, {QStringLiteral("COM1"), QString()}, &error));
        QCOMPARE(error, "Cannot Create " + noDir);
        // A name taken by a directory must not be replaced by the file.
        QVERIFY(QDir(dir.path()).mkdir("taken"));
        error.clear();
        QVERIFY(!writeSetupIni(dir.filePath("taken"), {QStringLiteral("COM1"), QString()}, &error));
        QCOMPARE(error, "Cannot Create " + dir.filePath("taken"));
        QVERIFY(QFileInfo(dir.filePath("taken")).isDir());
    }
};

QTEST_MAIN(TestLinkCore)
#include "test_link_core.moc"
