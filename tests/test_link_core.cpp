#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/setupini.h"
#include "link/codestring.h"
#include "link/textcodec.h"
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
    QSignalSpy traffic{&link, &ModuleLink::trafficLine};
};

enum Op { Command, Echo, HexByte, Return, Authorised };

void run(ModuleLink& link, int op, const QByteArray& text, int value) {
    if (op == Command) link.SendCommand(text);
    if (op == Echo) link.SendCommandEcho(text);
    if (op == HexByte) link.SendHexByte(quint8(value));
    if (op == Return) link.SendReturn();
    if (op == Authorised) link.SendAuthorised(value);
}

void sendRow(const char* name, Op op, const QByteArray& text, int value, const QByteArray& sent,
             const QStringList& traffic = {}) {
    QTest::newRow(name) << int(op) << text << value << sent << traffic;
}

bool makeFile(const QString& path) { return QFile(path).open(QIODevice::WriteOnly); }

QString canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

}  // namespace

class TestLinkCore : public QObject {
    Q_OBJECT
private slots:
    // Every send, with what it puts on the line while the port is open; closed, nothing.
    void send_data() {
        QTest::addColumn<int>("op");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("traffic");
        sendRow("command", Command, "WRACT", 0, "WRACT\r");
        sendRow("echo", Echo, "AT", 0, "AT\r", {QStringLiteral("------> AT")});
        sendRow("hex 0", HexByte, {}, 0, "00");
        sendRow("hex 10", HexByte, {}, 10, "0A");
        sendRow("hex 255", HexByte, {}, 255, "FF");
        sendRow("hex A5", HexByte, {}, 0xA5, "A5");
        sendRow("return", Return, {}, 0, "\r");
        sendRow("authorised", Authorised, {}, proto::kAuthLogin, "RPWDEDCB00\r");
    }

    void send() {
        QFETCH(int, op);
        QFETCH(QByteArray, text);
        QFETCH(int, value);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, traffic);
        Rig closed(false);
        run(closed.link, op, text, value);
        QVERIFY(closed.d->written.isEmpty());
        QCOMPARE(closed.traffic.count(), 0);
        Rig rig;
        run(rig.link, op, text, value);
        QCOMPARE(rig.d->written, sent);
        QStringList seen;
        for (const QList<QVariant>& args : rig.traffic) seen << args.at(0).toString();
        QCOMPARE(seen, traffic);
    }

    void codeString_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("expected");
        const char* const rows[][2] = {{"", "000000"},       {"12a34", "EDCB00"},
                                       {"123456", "EDCBA9"}, {"1234567", "EDCBA9"},
                                       {"0", "F00000"},      {"9999", "666600"}};
        for (const auto& r : rows) QTest::addRow("'%s'", r[0]) << QString(r[0]) << QByteArray(r[1]);
        QTest::newRow("non-ASCII digit") << QString::fromUtf8(
                                                "\u0661"
                                                "2")
                                         << QByteArray("D00000");
    }
    void codeString() {
        QFETCH(QString, box);
        QFETCH(QByteArray, expected);
        QCOMPARE(::codeString(installerCodeDigits(box)), expected);
        // The link takes the raw box text and must filter it the same way.
        Rig rig;
        rig.code = box;
        rig.link.SendAuthorised(proto::kAuthLogin);
        QCOMPARE(rig.d->written, "RPWD" + expected + "\r");
    }

    void sendAuthorised_data() {
        QTest::addColumn<int>("k");
        QTest::addColumn<QByteArray>("sent");
        const char* const prefixes[] = {"RPWD", "RPWS", "RPWE", "RSTP", "PT1D",
                                        "PT2D", "PT1A", "PT2A", "RPWF", "DLRF"};
        for (int k = 0; k < 10; ++k)
            QTest::addRow("%d", k) << k << prefixes[k] + QByteArray("EDCB00\r");
        for (int k : {128, 137, 138, 144, 145, 163})
            QTest::addRow("%d", k) << k << "TRF" + QByteArray(1, char(48 + k - 128)) + "EDCB00\r";
        for (int k : {10, 127, 164, -1, 255}) QTest::addRow("%d", k) << k << QByteArray();
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

    // The module's code page: every byte reads as the system's own converter reads it, and
    // every character of the code page writes back as its byte.
    void windows1250() {
        QStringDecoder system("windows-1250");
        if (!system.isValid()) QSKIP("no windows-1250 converter here to compare with");
        QByteArray all(256, '\0');
        for (int b = 0; b < 256; ++b) all[b] = char(b);
        const QString text = fromModuleText(all);
        QCOMPARE(text, system.decode(all));
        QCOMPARE(toModuleText(text), all);
        QCOMPARE(toModuleText(QString::fromUtf8("Árvíztűrő tükörfúrógép ŐŰ")),
                 QByteArray("\xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p \xD5\xDB"));
        // What the code page cannot hold is one substitute byte a character.
        QCOMPARE(toModuleText(QString::fromUtf8("a✓日😀z")), QByteArray("a\x1A\x1A\x1Az"));
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

    void portDevice_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        const char* const rows[][2] = {
            {"COM1", "ttyS0"},     {"COM32", "ttyS31"},  {"COM33", "ttyUSB0"},
            {"COM64", "ttyUSB31"}, {"COM65", "ttyACM0"}, {"COM96", "ttyACM31"},
            {"com97", "ttyS0"},    {"COM5", "sim"},      {"COM2", "ttyS1"}};
        for (const auto& r : rows) QTest::newRow(r[0]) << QString(r[0]) << QString(r[1]);
    }
    void portDevice() {
        QFETCH(QString, name);
        QFETCH(QString, device);
        QTemporaryDir ports, dev;
        // COM5 is linked to "sim", which wins over its own ttyS4.
        QVERIFY(makeFile(dev.filePath("sim")) && makeFile(dev.filePath("ttyS4")));
        QVERIFY(QFile::link(dev.filePath("sim"), ports.filePath("COM5")));
        // A dangling link (its simulator gone) does not hide the fixed device.
        QVERIFY(QFile::link(dev.filePath("gone"), ports.filePath("COM2")));
        const QString resolved = resolvePortDevice(name, ports.path(), dev.path());
        if (device == QLatin1String("sim"))
            QCOMPARE(canonical(resolved), canonical(dev.filePath("sim")));
        else
            QCOMPARE(resolved, dev.filePath(device));
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
        QCOMPARE(canonical(list[2].device), canonical(dev.filePath("sim")));
    }

    void comPortErrors_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("systemError");
        QTest::addColumn<QString>("message");
        QTest::newRow("1") << 1 << 5 << "Unable to open com port (win error code: 5)";
        const std::pair<int, const char*> rows[] = {
            {2, "WriteFile function failed"},  {3, "ReadFile function failed"},
            {5, "PurgeComm function failed"},  {10, "ClearCommError function failed"},
            {15, "EnumPorts function failed"}, {22, "A component is linked to OnRxBuf event"}};
        for (const auto& [code, text] : rows)
            QTest::addRow("%d", code) << code << int(EComPort::kNoSystemError) << text;
    }
    void comPortErrors() {
        QFETCH(int, code);
        QFETCH(int, systemError);
        QFETCH(QString, message);
        const EComPort e(code, systemError);
        QCOMPARE(e.message(), message);
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }

    void setupRoundTrip_data() {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("plain") << "06301234567" << QByteArray("06301234567");
        QTest::newRow("line breaks") << "ATZ\r\n0630"
                                     << QByteArray(
                                            "ATZ\x09\x08"
                                            "0630");
        QTest::newRow("windows-1250")
            << QString::fromUtf8("Árvíztűrő") << QByteArray("\xC1rv\xEDzt\xFBr\xF5");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void setupRoundTrip() {
        QFETCH(QString, phone);
        QFETCH(QByteArray, stored);
        QTemporaryDir dir;
        const QString path = dir.filePath("setup.ini");
        QVERIFY(writeSetupIni(path, {QStringLiteral("COM2"), phone}));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray expected = "2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM2\r\n";
        if (!stored.isEmpty()) expected += "1,0," + stored + "\r\n";
        QCOMPARE(f.readAll(), expected);
        SettingsGrid grid;
        grid.cells[{0, 0}] = QStringLiteral("COM2");
        grid.cells[{1, 0}] = phone;
        QCOMPARE(formatSettingsGrid(grid), expected);
        const std::optional<Setup> back = readSetupIni(path);
        QVERIFY(back);
        QCOMPARE(back->port, QStringLiteral("COM2"));
        QCOMPARE(back->phone, phone);
    }

    void rejectedGrids_data() {
        QTest::addColumn<QByteArray>("file");
        const char* const rows[][2] = {{"empty file", ""},
                                       {"no columns", "0,1\r\n"},
                                       {"no rows", "2,0\r\n"},
                                       {"not a number", "x,1\r\n"},
                                       {"one number", "2\r\n0,0,COM1\r\n"},
                                       {"column outside", "2,1\r\n2,0,X\r\n"},
                                       {"row outside", "2,1\r\n0,1,X\r\n"},
                                       {"one comma", "2,1\r\n0,COM1\r\n"},
                                       // Sizes that would allocate gigabytes or crash.
                                       {"two billion columns", "2000000000,1\r\n"},
                                       {"hundred million columns", "100000000,1\r\n"},
                                       {"257 rows", "2,257\r\n0,0,COM1\r\n"}};
        for (const auto& r : rows) QTest::newRow(r[0]) << QByteArray(r[1]);
    }
    void rejectedGrids() {
        QFETCH(QByteArray, file);
        QVERIFY(!parseSettingsGrid(file));
    }

    void boundsOfAcceptedGrids() {
        QVERIFY(parseSettingsGrid("256,256\r\n255,255,X\r\n"));
        const QByteArray cell = "2,1\r\n0,0,";
        QVERIFY(parseSettingsGrid(cell + QByteArray(4096 - 4, 'C')));
        QVERIFY(!parseSettingsGrid(cell + QByteArray(4096 - 3, 'C')));
        // A file past the size bound is not read at all.
        QTemporaryDir dir;
        QFile f(dir.filePath("setup.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("2,1\r\n0,0,COM3\r\n");
        for (int i = 0; i < kSetupIniMaxBytes / 16 + 1; ++i) f.write("cw 0,20        \n");
        f.close();
        QVERIFY(!readSetupIni(f.fileName()));
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

    void failedSetupWrites_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing folder") << "absent/setup.ini";
        // A name taken by a folder must not be replaced by the file.
        QTest::newRow("name is a folder") << "taken";
    }
    void failedSetupWrites() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("taken"));
        const QString path = dir.filePath(name);
        QString error;
        QVERIFY(!writeSetupIni(path, {QStringLiteral("COM1"), QString()}, &error));
        QCOMPARE(error, "Cannot Create " + path);
        QVERIFY(QFileInfo(dir.filePath("taken")).isDir());
    }
};

QTEST_MAIN(TestLinkCore)
#include "test_link_core.moc"
