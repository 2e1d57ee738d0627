#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <tuple>

#include "support/eventwait.h"
#include "link/codestring.h"
#include "link/modulelink.h"
#include "link/pageframe.h"
#include "link/portnames.h"
#include "params/flashaddr.h"
#include "params/layout.h"
#include "sim/korvantasim.h"
#include "status/statusframe.h"

using Fault = KorvantaSim::Fault;
using Mode = KorvantaSim::FaultMode;
using Kind = KorvantaSim::CommandKind;
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(KorvantaSim::ModemState)
Q_DECLARE_METATYPE(FaultModel::Switch)

namespace {

Fault fault(Mode mode, Kind command, int page = -1, int count = -1, int delayMs = 0) {
    return Fault{mode, command, page, count, delayMs};
}


const QByteArray kLogin = "RPWD" + codeString(QStringLiteral("1234"));

// The module on its pty and the PC's end of the line, opened raw.
struct Bench {
    KorvantaSim sim;
    QSerialPort port;

    bool open() {
        if (!sim.start()) return false;
        port.setPortName(sim.slavePath());
        return port.open(QIODevice::ReadWrite);
    }

    // Sends a line (CR added) and returns what the module wrote while it handled it: the
    // simulator answers inside its handling, so the counters tell when all of it is out.
    QByteArray send(const QByteArray& line) {
        const qsizetype lines = sim.receivedLines().size();
        const qint64 before = sim.bytesSent();
        port.write(line + '\r');
        if (!waitUntil([&] { return sim.receivedLines().size() > lines; })) return "<unheard>";
        const qint64 n = sim.bytesSent() - before;
        return waitUntil([&] { return port.bytesAvailable() >= n; }) ? port.read(n) : "<lost>";
    }

    QByteArray writeFrame(int page) {
        send(proto::kWriteFrame);
        return send(frame::toHex(frame::build(QByteArray(256, 'x'), std::uint16_t(page),
                                              frame::ChecksumOrder::PcBigEndian)));
    }
};

}  // namespace

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

    // Named values of the factory memory as the editor shows them: texts, choice numbers,
    // bit sets in hex.
    void factoryValues_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("shown");
        auto row = [](const char* pattern, int n, const char* shown) {
            QTest::addRow("%s %d", pattern, n) << QString(pattern) << n << QString(shown);
        };
        row("edUserName%d", 12, "Felh. 12");
        row("edUserCode%d", 1, "1111");
        row("edUserCode%d", 2, "******");
        row("edMasterCode", 1, "907150");
        row("cblUserRights", 1, "fff");
        row("edZonaNeve%d", 3, "Zóna 3");
        row("UdZonaBeKesl%d", 1, "20");
        row("acgEvent%d", 47, "344");
        row("clbEvents", 30, "100");
        row("edSMS%d", 2, "Helyreállt: $");
        row("meTesztIdopont", 1, "12:00");
        row("cbRFButtB%02d", 12, "5");
    }
    void factoryValues() {
        QFETCH(QString, pattern);
        QFETCH(int, number);
        QFETCH(QString, shown);
        const QByteArray mem = KorvantaSim::factoryMemory(QStringLiteral("907150"));
        const std::optional<layout::Instance> in = layout::findInstance(pattern, number);
        QVERIFY(in && in->number() == number);
        const layout::Value v = layout::read(*in, mem);
        QCOMPARE(!v.text.isEmpty() ? v.text
                 : v.bits          ? QString::number(v.bits, 16)
                                   : QString::number(v.number),
                 shown);
        int erased = 0;
        for (int at = 0; at < mem.size(); ++at)
            erased += layout::isUninterpreted(at) && mem[at] == char(0xFF);
        QCOMPARE(erased, FlashAddr::Uninterpreted1Size + FlashAddr::Uninterpreted2Size);
    }

    // Faults as the command line writes them; what the module answers each line: "-" nothing,
    // "frame:N" a valid frame numbered N, "damaged:N" one whose checksum fails, "noise" a
    // line of garbage, else the token. "W3" is a written frame of page 3.
    void faultAnswers_data() {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<QString>("fired");
        auto row = [](const char* name, const char* faults, const char* lines, const char* answers,
                      const char* fired) {
            QTest::newRow(name) << faults << QByteArray(lines) << QByteArray(answers) << fired;
        };
        row("first 2 logins unanswered", "no-answer:login:*:2", "LOGIN LOGIN LOGIN", "- - PWDOK",
            "2");
        row("pwderr to any kind, twice", "pwderr:any:*:2", "WRFL RDFL0000 RDFL0000",
            "PWDERR PWDERR frame:0", "2");
        row("pwderr to the first read of page 3", "pwderr:read:3:1", "RDFL0002 RDFL0003 RDFL0003",
            "frame:2 PWDERR frame:3", "1");
        // A poll with a wrong code is refused by the module itself, not by the fault.
        row("pwderr to other commands", "pwderr:other", "XYZW000000 HELLO RPWS000000",
            "PWDERR PWDERR PWDERR", "2");
        row("damaged frames only to reads", "damage:any", "WRACT RDFL0006 RDFLFFFF",
            "CRCOK damaged:6 damaged:65535", "2");
        row("no frame of a missing page", "damage:read:*:1", "RDFL0009 RDFL0001", "- damaged:1",
            "1");
        row("wrong page number", "wrong-page:read:7", "RDFL0007", "frame:8", "1");
        row("faults take turns", "no-answer:read:*:1 garbage:read:*:1 wrong-kind:read:*:1",
            "RDFL0001 RDFL0001 RDFL0001 RDFL0001", "- noise WROK frame:1", "1 1 1");
        row("wrong kind", "wrong-kind:any", "LOGIN WRFL WRACT", "WROK WROK WROK", "3");
        row("next page's frame to a write", "wrong-kind:write", "WRFL W3", "- frame:4", "1");
        row("first write of page 4 unanswered", "no-answer:any:4:1", "WRFL W3 WRFL W4 WRFL W4",
            "- WROK - - - WROK", "1");
        row("a command where the frame should be", "", "WRFL LOGIN W1 WRFL W1", "- PWDOK - - WROK",
            "");
        row("noise to 3 activations", "garbage:activate:*:3", "WRACT WRACT WRACT WRACT",
            "noise noise noise CRCOK", "3");
    }
    void faultAnswers() {
        QFETCH(QString, faults);
        QFETCH(QByteArray, lines);
        QFETCH(QByteArray, answers);
        QFETCH(QString, fired);
        Bench b;
        QVERIFY(b.open());
        QCOMPARE(b.send(kLogin), QByteArray("PWDOK\r\n"));
        QStringList firedNow;
        QList<int> ids;
        for (const QString& text : faults.split(' ', Qt::SkipEmptyParts))
            ids << b.sim.addFault(*KorvantaSim::parseFault(text));
        const QList<QByteArray> sent = lines.split(' '), want = answers.split(' ');
        for (int i = 0; i < sent.size(); ++i) {
            const QByteArray& line = sent[i];
            const QByteArray& w = want[i];
            const QByteArray got =
                line == "LOGIN" ? b.send(kLogin)
                : line[0] == 'W' && line.size() == 2
                    ? b.send(frame::toHex(frame::build({}, quint16(line[1] - '0'),
                                                       frame::ChecksumOrder::PcBigEndian)))
                    : b.send(line);
            if (w == "-") {
                QCOMPARE(got, QByteArray());
            } else if (w == "noise") {
                QVERIFY(got.endsWith("\r\n") && got.count('\r') == 1 && got.count('\n') == 1);
            } else if (w.contains(':')) {
                frame::Frame f{};
                QVERIFY(got.startsWith("RDFL") && got.endsWith("\r\n"));
                QCOMPARE(frame::decodeHex(got.mid(4).chopped(2), f,
                                          frame::ChecksumOrder::ModuleLittleEndian),
                         w.startsWith("frame") ? frame::DecodeResult::Ok
                                               : frame::DecodeResult::BadChecksum);
                QCOMPARE(QByteArray::number(frame::pageNumber(f)), w.mid(w.indexOf(':') + 1));
            } else {
                QCOMPARE(got, w + "\r\n");
            }
        }
        for (int id : ids) firedNow << QString::number(b.sim.faultFired(id));
        QCOMPARE(firedNow.join(' '), fired);
    }

    // A fault stands in for the command; only a late one lets the module carry it out.
    void faultTakesTheCommand_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<Kind>("kind");
        for (Mode m :
             {Mode::NoAnswer, Mode::PasswordError, Mode::GarbageBurst, Mode::WrongKind, Mode::Late})
            for (Kind k : {Kind::Login, Kind::PageWrite, Kind::Activate})
                QTest::addRow("mode %d, kind %d", int(m), int(k)) << m << k;
    }
    void faultTakesTheCommand() {
        QFETCH(Mode, mode);
        QFETCH(Kind, kind);
        Bench b;
        QVERIFY(b.open());
        if (kind != Kind::Login) b.send(kLogin);
        if (kind == Kind::Activate) b.writeFrame(2);
        const QByteArray before = b.sim.memory();
        b.sim.addFault(fault(mode, kind, -1, -1, 1));
        const bool carriedOut = mode == Mode::Late;
        if (kind == Kind::Login) {
            b.send(kLogin);
            QCOMPARE(b.sim.sessionOpen(), carriedOut);
        } else if (kind == Kind::PageWrite) {
            b.writeFrame(2);
            QCOMPARE(b.sim.pendingBlock(2).isEmpty(), !carriedOut);
        } else {
            b.send(proto::kActivate);
            QCOMPARE(b.sim.memory() != before, carriedOut);
        }
    }

    void noiseIsSeeded_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("lineEnds");
        QTest::newRow("garbage") << Mode::Garbage << 2;
        QTest::newRow("burst") << Mode::GarbageBurst << 0;
    }
    void noiseIsSeeded() {
        QFETCH(Mode, mode);
        QFETCH(int, lineEnds);
        auto noise = [&](quint32 seed) {  // what three logins get
            Bench b;
            Fault f = fault(mode, Kind::Login);
            f.seed = seed;
            b.sim.addFault(f);
            QList<QByteArray> out;
            for (int i = 0; i < 3 && (i > 0 || b.open()); ++i) out << b.send(kLogin);
            return out;
        };
        const QList<QByteArray> first = noise(7);
        QCOMPARE(first.size(), 3);
        QCOMPARE(noise(7), first);
        QVERIFY(noise(8) != first);
        for (const QByteArray& n : first) {
            QVERIFY(n.size() >= 3);
            QCOMPARE(n.count('\r') + n.count('\n'), lineEnds);
            QCOMPARE(n.endsWith("\r\n"), lineEnds > 0);
        }
    }

    void lateFaultDelaysAnotherFaultsAnswer() {
        Bench b;
        QVERIFY(b.open());
        const Fault late = fault(Mode::Late, Kind::PageRead, 3, -1, 30);
        b.sim.addFault(late);
        b.sim.addFault(fault(Mode::WrongKind, Kind::PageRead));
        QCOMPARE(b.send("RDFL0002"), QByteArray("WROK\r\n"));  // another page: at once
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(b.send("RDFL0003"), QByteArray());
        QVERIFY(waitUntil([&] { return b.port.bytesAvailable() >= 6; }));
        QVERIFY(clock.elapsed() >= late.delayMs);
        QCOMPARE(b.port.readAll(), QByteArray("WROK\r\n"));
    }

    void keepsTheNewestLinesReceived() {
        Bench b;
        QVERIFY(b.open());
        b.sim.keepReceived(3);
        b.port.write("L1\rL2\rL3\rL4\rL5\r");
        QVERIFY(waitUntil([&] { return b.sim.receivedLines().value(2) == "L5"; }));
        QCOMPARE(b.sim.receivedLines(), (QList<QByteArray>{"L3", "L4", "L5"}));
    }

    void commandsAreCountedByKind() {
        Bench b;
        QVERIFY(b.open());
        b.sim.setPasswordErrorToAll(true);  // answered or not, a command counts
        for (const char* line :
             {"RPWD000000", "RDFL0000", "RDFL00", "WRFL", "WRACT", "RPWS000000", "HELLO", "0123"})
            b.send(line);
        b.sim.setPasswordErrorToAll(false);
        b.send(kLogin);
        b.writeFrame(1);
        const QList<int> expected{2, 2, 2, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};  // by kind
        for (int k = 0; k < expected.size(); ++k)
            QCOMPARE(b.sim.commandCount(Kind(k)), expected[k]);
        QCOMPARE(b.sim.commandCount(Kind::Any), 10);  // stray frame digits are no command
    }

    void switchesTurnOff_data() {
        using Toggle = std::function<void(KorvantaSim&, bool)>;
        QTest::addColumn<Toggle>("toggle");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("silent") << Toggle(&KorvantaSim::setSilent) << QByteArray("RDFL0002");
        QTest::newRow("pwderr") << Toggle(&KorvantaSim::setPasswordErrorToAll)
                                << QByteArray("RDFL0002");
        QTest::newRow("no CRCOK") << Toggle(&KorvantaSim::setNoCrcOk) << QByteArray("WRACT");
        QTest::newRow("no answer")
            << Toggle([](KorvantaSim& s, bool on) { s.setNoAnswerPage(on ? 2 : -1); })
            << QByteArray("RDFL0002");
        QTest::newRow("moved to another page") << Toggle([](KorvantaSim& s, bool on) {
            s.setDamagedPage(on ? 2 : 5);
            s.setDamagedPage(on ? 5 : 2);
        }) << QByteArray("RDFL0005");
        QTest::newRow("cleared") << Toggle([](KorvantaSim& s, bool on) {
            on ? s.setWrongPageNumberPage(2) : s.clearFaults();
        }) << QByteArray("RDFL0002");
    }
    void switchesTurnOff() {
        QFETCH(std::function<void(KorvantaSim&, bool)>, toggle);
        QFETCH(QByteArray, line);
        Bench b;
        QVERIFY(b.open());
        b.send(kLogin);
        const QByteArray clean = b.send(line);
        toggle(b.sim, true);
        QVERIFY(b.send(line) != clean);
        toggle(b.sim, false);
        QCOMPARE(b.send(line), clean);
    }

    // Each older switch is another spelling of one fault; the spelling is what --help and the
    // command line offer, so a slip in it would leave a switch doing nothing.
    void switchesAreFaultSpellings_data() {
        using S = FaultModel::Switch;
        QTest::addColumn<S>("which");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("spelling");
        QTest::addColumn<Fault>("expected");
        QTest::newRow("silent") << S::Silent << 0 << "no-answer:any"
                                << fault(Mode::NoAnswer, Kind::Any);
        QTest::newRow("pwderr") << S::PasswordError << 0 << "pwderr:any"
                                << fault(Mode::PasswordError, Kind::Any);
        QTest::newRow("no answer")
            << S::NoAnswerPage << 7 << "no-answer:any:7" << fault(Mode::NoAnswer, Kind::Any, 7);
        QTest::newRow("damage") << S::DamagedPage << 65535 << "damage:read:65535"
                                << fault(Mode::DamagedFrame, Kind::PageRead, 0xFFFF);
        QTest::newRow("wrong page") << S::WrongPage << 0 << "wrong-page:read:0"
                                    << fault(Mode::WrongPage, Kind::PageRead, 0);
        QTest::newRow("no CRCOK") << S::NoCrcOk << 0 << "no-answer:activate"
                                  << fault(Mode::NoAnswer, Kind::Activate);
        QTest::newRow("delay") << S::Delay << 120 << "late=120:any"
                               << fault(Mode::Late, Kind::Any, -1, -1, 120);
        QTest::newRow("modem") << S::Modem << 0 << "rfterr:any"
                               << fault(Mode::RadioRefused, Kind::Any);
    }
    void switchesAreFaultSpellings() {
        QFETCH(FaultModel::Switch, which);
        QFETCH(int, value);
        QFETCH(QString, spelling);
        QFETCH(Fault, expected);
        QCOMPARE(FaultModel::switchSpelling(which, value), spelling);
        auto fields = [](const Fault& f) {
            return std::make_tuple(f.mode, f.command, f.page, f.count, f.delayMs, f.seed);
        };
        FaultModel model;
        QVERIFY(model.setSwitch(which, true, value));
        const FaultModel::Armed* armed =
            model.take(expected.mode == Mode::RadioRefused ? Kind::RadioTeach
                       : expected.command == Kind::Any     ? Kind::PageRead
                                                           : expected.command,
                       expected.page, true, expected.mode == Mode::Late);
        QVERIFY(armed);
        QVERIFY(fields(armed->fault) == fields(expected));
    }

    void parseFault_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<Fault>("expected");
        auto ok = [](const char* text, Fault f) { QTest::newRow(text) << text << true << f; };
        ok("garbage:read:3:2", fault(Mode::Garbage, Kind::PageRead, 3, 2));
        ok("no-answer:login", fault(Mode::NoAnswer, Kind::Login));
        ok("pwderr:any:5", fault(Mode::PasswordError, Kind::Any, 5));
        ok("damage:read:0xFFFF:*", fault(Mode::DamagedFrame, Kind::PageRead, 0xFFFF));
        ok("port-lost:activate:*:1", fault(Mode::PortLost, Kind::Activate, -1, 1));
        ok("late=250:other", fault(Mode::Late, Kind::Other, -1, -1, 250));
        Fault burst = fault(Mode::GarbageBurst, Kind::PageWrite, -1, 1);
        burst.seed = 9;
        ok("garbage-burst=9:write:*:1", burst);
        ok("no-answer:poll-status", fault(Mode::NoAnswer, Kind::PollStatus));
        ok("wrong-length:poll-events:*:2", fault(Mode::WrongLength, Kind::PollEvents, -1, 2));
        ok("wrong-comma:poll-status", fault(Mode::WrongComma, Kind::PollStatus));
        ok("bad-digits:poll-events", fault(Mode::BadDigits, Kind::PollEvents));
        ok("newest-high:read", fault(Mode::NewestHigh, Kind::PageRead));
        ok("stray-high:read:0xF001", fault(Mode::StrayHigh, Kind::PageRead, 0xF001));
        ok("pwderr:alarm-stop", fault(Mode::PasswordError, Kind::AlarmStop));
        ok("no-answer:partition:*:1", fault(Mode::NoAnswer, Kind::Partition, -1, 1));
        ok("rfterr:teach", fault(Mode::RadioRefused, Kind::RadioTeach));
        ok("rfterr:delete-radio:*:1", fault(Mode::RadioRefused, Kind::RadioDelete, -1, 1));
        ok("bad-digits:poll-radio", fault(Mode::BadDigits, Kind::PollRadio));
        ok("wrong-length:poll-radio", fault(Mode::WrongLength, Kind::PollRadio));
        ok("no-carrier:dial", fault(Mode::NoCarrier, Kind::Dial));
        ok("busy:dial:*:1", fault(Mode::Busy, Kind::Dial, -1, 1));
        ok("no-answer:modem:*:2", fault(Mode::NoAnswer, Kind::ModemCommand, -1, 2));
        ok("late=40:hang-up", fault(Mode::Late, Kind::HangUp, -1, -1, 40));
        for (const char* text : {"",
                                 "garbage",
                                 "garbage:read:3:2:1",
                                 "bogus:read",
                                 "garbage:bogus",
                                 "damage:login",
                                 "wrong-page:write",
                                 "late:any",
                                 "late=0:any",
                                 "pwderr=3:any",
                                 "garbage=x:any",
                                 "no-answer:login:3",
                                 "no-answer:read:-1",
                                 "no-answer:read:65536",
                                 "no-answer:read:+3",
                                 "no-answer:read:3:0",
                                 "NO-ANSWER:read",
                                 "wrong-comma:poll-events",
                                 "bad-digits:poll-status",
                                 "wrong-length:read",
                                 "newest-high:poll-status",
                                 "stray-high:write",
                                 "stray-high:login",
                                 "no-answer:poll-status:3",
                                 "rfterr:read",
                                 "rfterr:poll-radio",
                                 "wrong-comma:poll-radio",
                                 "busy:read",
                                 "no-carrier:modem",
                                 "no-answer:dial:3"})
            QTest::newRow(text) << text << false << Fault{};
    }
    void parseFault() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(Fault, expected);
        QString error;
        const std::optional<Fault> f = KorvantaSim::parseFault(text, &error);
        QCOMPARE(f.has_value(), valid);
        QCOMPARE(error.isEmpty() || error.contains('\n'), valid);
        auto fields = [](const Fault& f) {
            return std::make_tuple(f.mode, f.command, f.page, f.count, f.delayMs, f.seed);
        };
        QVERIFY(!f || fields(*f) == fields(expected));
    }

    // The status polls: a frame of the chosen version, the last eight events, and a refusal
    // of a wrong code.
    void polls_data() {
        QTest::addColumn<int>("version");
        for (int v = 1; v <= 4; ++v) QTest::addRow("version %d", v) << v;
    }
    void polls() {
        QFETCH(int, version);
        Bench b;
        QVERIFY(b.open());
        b.sim.setStatusVersion(version);
        const QByteArray frame = b.send("RPWS" + codeString(QStringLiteral("1234"))).trimmed();
        const std::optional<StatusView> v = decodeStatusFrame(frame);
        QVERIFY2(v, frame.constData());
        QCOMPARE(v->version, version);
        QCOMPARE(v->alarm[0].text, QStringLiteral("Alaphelyzet"));  // zone 1 at rest
        QCOMPARE(b.send("RPWS000000"), QByteArray("PWDERR\r\n"));
        const QByteArray events = b.send("RPWE" + codeString(QStringLiteral("1234"))).trimmed();
        QCOMPARE(events.size(), 4 + 8 * 16);
        QVERIFY(events.startsWith("AT_{"));
        // The newest record first, as the event memory holds it.
        const QByteArray memory = b.sim.state().eventMemory();
        const int newest = quint8(memory[768]);
        QCOMPARE(QByteArray::fromHex(events.mid(4, 16)), memory.mid(8 * newest, 8));
        QCOMPARE(b.sim.commandCount(Kind::PollStatus), 2);
        QCOMPARE(b.sim.commandCount(Kind::PollEvents), 1);
    }

    void partitionsAndAlarmStop() {
        Bench b;
        QVERIFY(b.open());
        const QByteArray code = codeString(QStringLiteral("1234"));
        ModuleState& state = b.sim.state();
        state.setPartition(1, false);
        state.setPartition(2, false);
        QCOMPARE(b.send("PT1A" + code), QByteArray("PWDOK\r\n"));
        QVERIFY(state.partitionArmed(1) && !state.partitionArmed(2));
        const QByteArray memory = state.eventMemory();
        const int newest = quint8(memory[768]);
        QCOMPARE(quint8(memory[8 * newest]), quint8(27));     // armed, partition 1
        QCOMPARE(quint8(memory[8 * newest + 1]) & 0x0F, 13);  // by the installer
        b.send("PT2A" + code);
        QVERIFY(state.partitionArmed(2));
        state.setZoneOpen(4, true);
        QVERIFY(state.alarmActive());
        const std::optional<StatusView> during = decodeStatusFrame(b.send("RPWS" + code).trimmed());
        QCOMPARE(during->alarm[3].text, QStringLiteral("Riasztás"));
        QCOMPARE(during->output[0].text, QStringLiteral("12 V"));  // the siren
        QCOMPARE(during->partition[1].text, QStringLiteral("Élesítve"));
        QCOMPARE(b.send("RSTP" + code), QByteArray("PWDOK\r\n"));
        QVERIFY(!state.alarmActive());
        // The alarm's notifications that were still to go out are marked stopped.
        const QByteArray after = state.eventMemory();
        const int alarmSlot = quint8(after[768]);
        QCOMPARE(quint8(after[8 * alarmSlot]), quint8(7));  // IN4 alarm
        QVERIFY(after[8 * alarmSlot + 7] & 0x02);
        QCOMPARE(b.send("PT1D000000"), QByteArray("PWDERR\r\n"));
        QVERIFY(state.partitionArmed(1));
        b.send("PT1D" + code);
        b.send("PT2D" + code);
        QVERIFY(!state.partitionArmed(1) && !state.partitionArmed(2));
        QCOMPARE(b.sim.commandCount(Kind::Partition), 5);
        QCOMPARE(b.sim.commandCount(Kind::AlarmStop), 1);
    }

    void eventPages() {
        Bench b;
        QVERIFY(b.open());
        QCOMPARE(b.send(kLogin), QByteArray("PWDOK\r\n"));
        QByteArray pages;
        for (int p = 0; p < 4; ++p) {
            const QByteArray got = b.send("RDFLF00" + QByteArray::number(p)).trimmed();
            frame::Frame f{};
            QCOMPARE(frame::decodeHex(got.mid(4), f, frame::ChecksumOrder::ModuleLittleEndian),
                     frame::DecodeResult::Ok);
            QCOMPARE(int(frame::pageNumber(f)), 0xF000 + p);
            pages += frame::data(f);
        }
        QCOMPARE(pages, b.sim.state().eventMemory());
        QCOMPARE(b.send("RDFLF004"), QByteArray());  // no such page
    }

    void historyHasWrapped() {
        // Weeks of use: every slot holds an event, and the slot after the newest is the oldest.
        const QDateTime now(QDate(2024, 3, 15), QTime(16, 0));
        const ModuleState state(now);
        const QByteArray memory = state.eventMemory();
        const int newest = quint8(memory[768]);
        QVERIFY(newest < 96);
        // Month, day, hour and minute as one number that grows with time; -1 for no event.
        auto when = [&](int slot) {
            const QByteArray r = memory.mid(8 * slot, 8);
            if (quint8(r[0]) < 1 || quint8(r[0]) > 47) return -1;
            return (quint8(r[1]) >> 4) * 1000000 + quint8(r[2]) * 10000 + quint8(r[3]) * 100 +
                   quint8(r[4]);
        };
        for (int i = 0; i < 95; ++i) {
            const int slot = (newest + 1 + i) % 96;
            QVERIFY(when(slot) > 0);
            QVERIFY2(when(slot) <= when((slot + 1) % 96), qPrintable(QString::number(slot)));
        }
        QVERIFY(when(newest) <= 3151600);
    }

    void liveSteps() {
        // A door opens and closes, the battery drifts within its band, and now and then the
        // module says something unprompted.
        ModuleState state(QDateTime(QDate(2024, 3, 15), QTime(9, 0)));
        int messages = 0, changes = 0;
        bool open = state.zoneOpen(5);
        for (int i = 0; i < 30; ++i) {
            if (const std::optional<QByteArray> m = state.step()) {
                QVERIFY(m->startsWith("AT_/"));
                ++messages;
            }
            changes += state.zoneOpen(5) != open;
            open = state.zoneOpen(5);
            QVERIFY(state.batteryTenths() >= 128 && state.batteryTenths() <= 136);
            QVERIFY(state.gsmLevel() >= 0 && state.gsmLevel() <= 31);
        }
        QCOMPARE(messages, 2);
        QCOMPARE(changes, 5);
    }

    void liveTimer() {
        KorvantaSim sim;
        QSignalSpy spy(&sim, &KorvantaSim::lineReceived);
        const int before = sim.state().batteryTenths() + 1000 * sim.state().gsmLevel();
        sim.setLiveIntervalMs(1);
        QVERIFY(waitUntil(
            [&] { return sim.state().batteryTenths() + 1000 * sim.state().gsmLevel() != before; }));
        sim.setLiveIntervalMs(0);
    }

    void pollFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("poll");
        QTest::addColumn<QString>("check");
        QTest::newRow("status frame a character long")
            << "wrong-length:poll-status" << QByteArray("RPWS") << "rejected";
        QTest::newRow("status frame without its comma")
            << "wrong-comma:poll-status" << QByteArray("RPWS") << "rejected";
        QTest::newRow("no status frame")
            << "no-answer:poll-status" << QByteArray("RPWS") << "nothing";
        QTest::newRow("event line cut short")
            << "wrong-length:poll-events" << QByteArray("RPWE") << "short";
        QTest::newRow("event line in lower case")
            << "bad-digits:poll-events" << QByteArray("RPWE") << "lower";
        QTest::newRow("no event line")
            << "no-answer:poll-events" << QByteArray("RPWE") << "nothing";
    }
    void pollFaults() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, poll);
        QFETCH(QString, check);
        Bench b;
        QVERIFY(b.open());
        b.sim.addFault(*KorvantaSim::parseFault(fault));
        const QByteArray got = b.send(poll + codeString(QStringLiteral("1234"))).trimmed();
        if (check == QLatin1String("nothing")) {
            QCOMPARE(got, QByteArray());
        } else if (check == QLatin1String("rejected")) {
            QVERIFY(got.startsWith("AT_["));
            QVERIFY(!decodeStatusFrame(got));
        } else if (check == QLatin1String("short")) {
            QVERIFY(got.startsWith("AT_{") && got.size() < 132);
        } else {
            QVERIFY(got.startsWith("AT_{"));
            QCOMPARE(got.mid(4), got.mid(4).toLower());
            QVERIFY(got.mid(4) != got.mid(4).toUpper());
        }
    }

    void newestSlotByteTooHigh() {
        Bench b;
        QVERIFY(b.open());
        b.sim.addFault(*KorvantaSim::parseFault(QStringLiteral("newest-high:read")));
        QCOMPARE(b.send(kLogin), QByteArray("PWDOK\r\n"));
        frame::Frame f{};
        // Only the page holding the byte is touched.
        QCOMPARE(frame::decodeHex(b.send("RDFLF002").trimmed().mid(4), f,
                                  frame::ChecksumOrder::ModuleLittleEndian),
                 frame::DecodeResult::Ok);
        QCOMPARE(frame::data(f), b.sim.state().eventMemory().mid(512, 256));
        QCOMPARE(frame::decodeHex(b.send("RDFLF003").trimmed().mid(4), f,
                                  frame::ChecksumOrder::ModuleLittleEndian),
                 frame::DecodeResult::Ok);
        QCOMPARE(int(f[0]), 255);
        QCOMPARE(frame::data(f).mid(1), b.sim.state().eventMemory().mid(769, 255));
    }

    // A frame whose bytes between the data and the page number's low byte are set: each page
    // keeps its data and the low byte of its number, the checksum holds, and the rest differs.
    void strayHighBytes_data() {
        QTest::addColumn<int>("page");
        for (int page : {0, 7, 0xF000, 0xF003, 0xFFFE, 0xFFFF})
            QTest::addRow("page %04X", page) << page;
    }
    void strayHighBytes() {
        QFETCH(int, page);
        Bench b;
        QVERIFY(b.open());
        QCOMPARE(b.send(kLogin), QByteArray("PWDOK\r\n"));
        const QByteArray request =
            "RDFL" + QByteArray::number(page, 16).rightJustified(4, '0').toUpper();
        frame::Frame clean{};
        QCOMPARE(frame::decodeHex(b.send(request).trimmed().mid(4), clean,
                                  frame::ChecksumOrder::ModuleLittleEndian),
                 frame::DecodeResult::Ok);
        b.sim.addFault(*KorvantaSim::parseFault(QStringLiteral("stray-high:read:*:1")));
        frame::Frame f{};
        QCOMPARE(frame::decodeHex(b.send(request).trimmed().mid(4), f,
                                  frame::ChecksumOrder::ModuleLittleEndian),
                 frame::DecodeResult::Ok);
        // The clock runs on between the two reads; its page is not compared byte by byte.
        if (page != 0xFFFE) QCOMPARE(frame::data(f), frame::data(clean));
        for (int i = frame::kFurtherOffset; i < frame::kPageHighOffset; ++i)
            QVERIFY2(f[size_t(i)] != 0, qPrintable(QString::number(i)));
        QCOMPARE(int(f[frame::kPageLowOffset]), page & 0xFF);
        QVERIFY(int(f[frame::kPageHighOffset]) != page >> 8);
        // Only the first read was taken.
        QCOMPARE(frame::decodeHex(b.send(request).trimmed().mid(4), f,
                                  frame::ChecksumOrder::ModuleLittleEndian),
                 frame::DecodeResult::Ok);
        QCOMPARE(int(frame::pageNumber(f)), page);
    }

    // The clock page, the radio slots and the firmware pages, as the module answers them.
    void clockRadioAndFirmware_data() {
        QTest::addColumn<QList<QByteArray>>("lines");  // sent in turn
        QTest::addColumn<QByteArray>("answer");        // to the last: its start, or all of it
        const QByteArray code = codeString(QStringLiteral("1234"));
        auto frameOf = [](const QByteArray& data, int page, const QByteArray& further = {}) {
            return frame::toHex(frame::build(data, std::uint16_t(page),
                                             frame::ChecksumOrder::PcBigEndian, further));
        };
        const QByteArray noTeach = "AT_<" + QByteArray(72, '0') + "0000";
        QTest::newRow("radio slots") << QList<QByteArray>{"RPWF" + code} << noTeach + "0000>\r\n";
        QTest::newRow("teach slot 35: marked") << QList<QByteArray>{"TRFS" + code, "RPWF" + code}
                                               << "AT_<" + QByteArray(72, '0') + "A3000000>\r\n";
        QTest::newRow("teach answers nothing") << QList<QByteArray>{"TRF5" + code} << QByteArray();
        QTest::newRow("teach with a wrong code")
            << QList<QByteArray>{"TRF5000000"} << QByteArray("PWDERR\r\n");
        QTest::newRow("delete ends a teach")
            << QList<QByteArray>{"TRF5" + code, "DLRF" + code, "RPWF" + code}
            << noTeach + "0000>\r\n";
        QTest::newRow("clock page") << QList<QByteArray>{kLogin, "RDFLFFFE"} << QByteArray("RDFL");
        QTest::newRow("clock read needs a login")
            << QList<QByteArray>{"RDFLFFFE"} << QByteArray("PWDERR\r\n");
        QTest::newRow("an impossible date is refused")
            << QList<QByteArray>{kLogin, "WRFL",
                                 frameOf(QByteArray("\x07\x02\x1E\x09\x05"), 0xFFFE)}
            << QByteArray("WRFLERR\r\n");
        QTest::newRow("a firmware page")
            << QList<QByteArray>{kLogin, "WRFL", frameOf("fw", 33)} << QByteArray("WROK\r\n");
        QTest::newRow("a page past the firmware")
            << QList<QByteArray>{kLogin, "WRFL", frameOf("fw", 546)} << QByteArray("WRFLERR\r\n");
        QByteArray count(2, '\0');
        count[1] = 1;
        QTest::newRow("a check of a page never sent")
            << QList<QByteArray>{kLogin, "WRFL", frameOf(QByteArray(), 545, count + "FIRMW.")}
            << QByteArray("WRFLERR\r\n");
    }
    void clockRadioAndFirmware() {
        QFETCH(QList<QByteArray>, lines);
        QFETCH(QByteArray, answer);
        Bench b;
        QVERIFY(b.open());
        b.sim.radio().setTeachMs(0);
        QByteArray got;
        for (const QByteArray& line : lines) got = b.send(line);
        QVERIFY2(answer.endsWith('\n') ? got == answer : got.startsWith(answer), got.constData());
        if (!got.startsWith("RDFL")) return;
        frame::Frame f{};
        QCOMPARE(
            frame::decodeHex(got.trimmed().mid(4), f, frame::ChecksumOrder::ModuleLittleEndian),
            frame::DecodeResult::Ok);
        QCOMPARE(int(frame::pageNumber(f)), 0xFFFE);
        const QDateTime now = b.sim.clockNow();
        QCOMPARE(int(f[0]), now.date().year() % 100);
        QCOMPARE(int(f[1]), now.date().month());
    }

    // The modem in front of the module, line by line: what a call looks like from the PC.
    void modemCall() {
        Bench b;
        QVERIFY(b.open());
        b.sim.setModem(true);
        b.sim.setModemConnectMs(20);
        b.sim.setModemGuardMs(0);  // the guard times are the next test's
        QCOMPARE(b.send("AT"), QByteArray("OK\r\n"));
        QCOMPARE(b.send("at&f"), QByteArray("OK\r\n"));
        QCOMPARE(b.send(kLogin), QByteArray());  // on hook the module is out of reach
        QCOMPARE(b.send("ATD0630"), QByteArray());
        QCOMPARE(b.sim.modemState(), KorvantaSim::ModemState::Dialling);
        QVERIFY(waitUntil([&] { return b.port.bytesAvailable() >= 14; }));
        QCOMPARE(b.port.readAll(), QByteArray("CONNECT 9600\r\n"));
        QCOMPARE(b.send("AT"), QByteArray());  // on line: the module's, and it does not know it
        QCOMPARE(b.send(kLogin), QByteArray("PWDOK\r\n"));
        const QByteArray teach = authorisedCommand(proto::kAuthTeachFirst, QStringLiteral("1234"));
        QCOMPARE(b.send(teach), QByteArray("RFTERR\r\n"));  // not over a phone line

        // "+++" on its own: back to the modem's commands.
        b.port.write("+++");
        QVERIFY(waitUntil([&] { return b.port.bytesAvailable() >= 4; }));
        QCOMPARE(b.port.readAll(), QByteArray("OK\r\n"));
        QCOMPARE(b.sim.modemState(), KorvantaSim::ModemState::Escaped);
        QVERIFY(b.sim.sessionOpen());  // the call is still up
        QCOMPARE(b.send("ATO"), QByteArray("CONNECT 9600\r\n"));
        QCOMPARE(b.send("RDFL0000").left(4), QByteArray("RDFL"));

        b.port.write("+++");
        QVERIFY(waitUntil([&] { return b.port.bytesAvailable() >= 4; }));
        QCOMPARE(b.port.readAll(), QByteArray("OK\r\n"));
        QCOMPARE(b.send("ATH"), QByteArray("OK\r\n"));
        QCOMPARE(b.sim.modemState(), KorvantaSim::ModemState::OnHook);
        QVERIFY(!b.sim.sessionOpen());
        QCOMPARE(b.sim.commandCount(Kind::Dial), 1);
        QCOMPARE(b.sim.commandCount(Kind::HangUp), 1);
    }

    // The guard times on a clock of the test's own: time moves only when the test moves it.
    void modemEscapeWantsSilence_data() {
        QTest::addColumn<int>("quietBefore");    // ms of silence before the "+++"
        QTest::addColumn<QByteArray>("before");  // sent just before the "+++"
        QTest::addColumn<QByteArray>("after");   // sent just after it
        QTest::addColumn<int>("quietAfter");     // ms of silence after it all
        QTest::addColumn<bool>("escapes");
        const QByteArray none;
        QTest::newRow("silence on both sides") << 1000 << none << none << 1000 << true;
        QTest::newRow("too little before") << 999 << none << none << 1000 << false;
        QTest::newRow("too little after") << 1000 << none << none << 999 << false;
        QTest::newRow("data right before") << 1000 << QByteArray("X") << none << 1000 << false;
        QTest::newRow("data right after") << 1000 << none << QByteArray("Y") << 1000 << false;
        QTest::newRow("a fourth plus") << 1000 << none << QByteArray("+") << 1000 << false;
    }
    void modemEscapeWantsSilence() {
        QFETCH(int, quietBefore);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(int, quietAfter);
        QFETCH(bool, escapes);
        Bench b;
        QVERIFY(b.open());
        qint64 nowMs = 0;
        b.sim.setModemClock([&nowMs] { return nowMs; });
        b.sim.setModem(true);
        b.sim.setModemConnectMs(0);
        b.sim.setModemGuardMs(1000);
        b.send("ATD1");
        QVERIFY(waitUntil([&] { return b.port.bytesAvailable() >= 14; }));
        b.port.readAll();

        nowMs += quietBefore;
        const QByteArray bytes = before + "+++" + after;
        const qint64 received = b.sim.bytesReceived();
        b.port.write(bytes);
        QVERIFY(waitUntil([&] { return b.sim.bytesReceived() == received + bytes.size(); }));
        const qint64 sent = b.sim.bytesSent();
        nowMs += quietAfter;
        b.sim.modemCatchUp();
        if (escapes) {
            QVERIFY(waitUntil([&] { return b.port.bytesAvailable() >= 4; }));
            QCOMPARE(b.port.readAll(), QByteArray("OK\r\n"));
            QCOMPARE(b.sim.modemState(), KorvantaSim::ModemState::Escaped);
        } else {
            QCOMPARE(b.sim.bytesSent(), sent);
            QCOMPARE(b.sim.modemState(), KorvantaSim::ModemState::Online);
        }
    }

    // The connect time on a clock of the test's own, as above.
    void modemDialOutcomes_data() {
        QTest::addColumn<QList<Fault>>("faults");
        QTest::addColumn<QByteArray>("during");  // a line sent while the modem dials
        QTest::addColumn<int>("dueMs");          // when the call's outcome is heard
        QTest::addColumn<QByteArray>("heard");
        QTest::addColumn<KorvantaSim::ModemState>("state");
        using S = KorvantaSim::ModemState;
        const QByteArray none;
        QTest::newRow("connects") << QList<Fault>{} << none << 1000
                                  << QByteArray("CONNECT 9600\r\n") << S::Online;
        QTest::newRow("nobody answers") << QList<Fault>{fault(Mode::NoCarrier, Kind::Dial)} << none
                                        << 1000 << QByteArray("NO CARRIER\r\n") << S::OnHook;
        QTest::newRow("busy") << QList<Fault>{fault(Mode::Busy, Kind::Dial)} << none << 1000
                              << QByteArray("BUSY\r\n") << S::OnHook;
        QTest::newRow("deaf modem")
            << QList<Fault>{fault(Mode::NoAnswer, Kind::Dial)} << none << 1000 << none << S::OnHook;
        QTest::newRow("a line ends the dial") << QList<Fault>{} << QByteArray("ATH") << 0
                                              << QByteArray("NO CARRIER\r\n") << S::OnHook;
        QTest::newRow("late connect")
            << QList<Fault>{fault(Mode::Late, Kind::Dial, -1, -1, 30)} << none << 1030
            << QByteArray("CONNECT 9600\r\n") << S::Online;
    }
    void modemDialOutcomes() {
        QFETCH(QList<Fault>, faults);
        QFETCH(QByteArray, during);
        QFETCH(int, dueMs);
        QFETCH(QByteArray, heard);
        QFETCH(KorvantaSim::ModemState, state);
        Bench b;
        QVERIFY(b.open());
        qint64 nowMs = 0;
        b.sim.setModemClock([&nowMs] { return nowMs; });
        b.sim.setModem(true);
        b.sim.setModemConnectMs(1000);
        for (const Fault& f : faults) b.sim.addFault(f);
        QCOMPARE(b.send("ATD0630"), QByteArray());
        if (!during.isEmpty()) {
            QCOMPARE(b.send(during), heard);
        } else {
            // Nothing a moment before the outcome is due, then the outcome.
            const qint64 sent = b.sim.bytesSent();
            nowMs = dueMs - 1;
            b.sim.modemCatchUp();
            QCOMPARE(b.sim.bytesSent(), sent);
            nowMs = dueMs;
            b.sim.modemCatchUp();
            QCOMPARE(b.sim.bytesSent(), sent + heard.size());
            QVERIFY(waitUntil([&] { return b.port.bytesAvailable() >= heard.size(); }));
            QCOMPARE(b.port.readAll(), heard);
        }
        QCOMPARE(b.sim.modemState(), state);
    }

    void modemAnswersTheNthProbe() {
        Bench b;
        QVERIFY(b.open());
        b.sim.setModem(true);
        b.sim.addFault(fault(Mode::NoAnswer, Kind::ModemCommand, -1, 2));
        QCOMPARE(b.send("AT"), QByteArray());
        QCOMPARE(b.send("AT"), QByteArray());
        QCOMPARE(b.send("AT"), QByteArray("OK\r\n"));
    }

    void portLostIsSeenByThePc_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("login") << fault(Mode::PortLost, Kind::Login) << kLogin;
        QTest::newRow("read") << fault(Mode::PortLost, Kind::PageRead, 0, 1)
                              << QByteArray("RDFL0000");
        QTest::newRow("any") << fault(Mode::PortLost, Kind::Any) << QByteArray("HELLO");
    }
    void portLostIsSeenByThePc() {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, line);
        KorvantaSim sim;
        QVERIFY(sim.start());
        const QString comLink = portsFolder() + QLatin1Char('/') + sim.comName();
        QVERIFY(QFileInfo(comLink).isSymLink());
        ModuleLink link(makeQtSerialDevice());
        link.ComPort1().setPort(sim.comName());
        link.ComPort1().open();
        sim.addFault(fault);
        QSignalSpy lost(&link.ComPort1(), &TComPort::portLost);
        link.SendCommand(line);
        QVERIFY(lost.wait(5000));
        QVERIFY(!link.connected());
        QVERIFY(!sim.isRunning());
        QVERIFY(!QFileInfo(comLink).isSymLink());
        QCOMPARE(sim.receivedLines(), QList<QByteArray>{line});
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
