#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>

#include "config/history.h"
#include "link/codestring.h"
#include "link/portnames.h"
#include "params/flashaddr.h"
#include "sim/korvantasim.h"
#include "support/eventrecords.h"
#include "support/simrig.h"
#include "support/terminalbytes.h"

namespace A = FlashAddr;

// telvora-cli's module commands as a script runs them: the real program in a child process,
// the simulated module in this one on a pseudo-terminal, linked in a ports folder of a home
// that belongs to this test alone.
namespace {

const QString kCode = QStringLiteral("908172");
const QString kPort = QStringLiteral("COM88");


QByteArray withZoneName(QByteArray memory, int zone, const QByteArray& field) {
    memory.replace(A::ZoneRecords + (zone - 1) * A::ZoneRecordSize + A::ZoneName, 10, field);
    return memory;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestCliModule : public QObject {
    Q_OBJECT

    const QDir m_home{testHome()};  // this program's own
    QProcessEnvironment m_env;
    std::unique_ptr<KorvantaSim> m_sim;
    QByteArray m_seen;  // every byte the program printed, for the code check at the end

    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
        qint64 ms = 0;
        QByteArray raw;  // standard output as it came
    };

    // A signal sent to the program when the module receives the line it waits for.
    struct Interrupt {
        int signal = 0;
        std::function<bool(const QByteArray& line)> when;
    };

    // The simulator answers from this process's event loop, so the loop runs while the child
    // does; a child that outlives the deadline is killed and fails the test.
    Run cli(const QStringList& args, bool withCode = true, bool withTicks = true,
            const Interrupt* interrupt = nullptr) {
        QStringList all = args;
        if (withTicks)
            all << QStringLiteral("--tick-ms") << QString::number(endToEndTimings().tickMs);
        if (withCode) all << QStringLiteral("--code") << kCode;
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.setWorkingDirectory(m_home.path());
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        bool signalled = false;
        if (interrupt)
            connect(m_sim.get(), &KorvantaSim::lineReceived, &loop, [&](const QByteArray& line) {
                if (signalled || !interrupt->when(line) || p.processId() <= 0) return;
                signalled = true;
                ::kill(pid_t(p.processId()), interrupt->signal);
            });
        p.start(QStringLiteral(TELVORA_CLI), all);
        if (p.state() != QProcess::NotRunning) loop.exec();
        Run r;
        r.ms = clock.elapsed();
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
            r.err = QStringLiteral("(killed at the deadline)");
            return r;
        }
        const QByteArray out = p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        m_seen += out + err;
        r.raw = out;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(out);
        r.err = QString::fromUtf8(err);
        return r;
    }
    Run module(const QStringList& args) {
        return cli(args + QStringList{QStringLiteral("--port"), kPort});
    }
    QString path(const QString& name) const { return m_home.filePath(name); }
    QString writeKd2(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        return path(name);
    }
    QStringList backups(const QString& stem) const {
        return QDir(m_home.path())
            .entryList({stem + QStringLiteral(".backup-*.KD2")}, QDir::Files, QDir::Name);
    }
    // A failure is one line on standard error and nothing on standard output.
    static bool oneLine(const Run& r) {
        return r.err.startsWith(QStringLiteral("telvora-cli: ")) && r.err.count('\n') == 1 &&
               r.err.endsWith('\n');
    }

private slots:
    void initTestCase() {
        // The child finds the port where this process links it: both look in this program's
        // own home, which the child inherits.
        QDir(portsFolder()).removeRecursively();
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.remove(QStringLiteral("TELVORA_CODE"));
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            m_env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    }

    void init() {
        m_sim = std::make_unique<KorvantaSim>();
        QString error;
        QVERIFY2(m_sim->start(kPort, &error), qPrintable(error));
        m_sim->setInstallerCode(kCode);
        m_sim->setMemory(KorvantaSim::factoryMemory(kCode));
    }
    void cleanup() { m_sim.reset(); }

    void version() {
        m_sim->setFirmwareText("KORV 3.14");
        const Run r = module({QStringLiteral("version")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("Programverzió: KORV 3.14       (DataVer=2)\n"));
        QCOMPARE(r.err, QString());
    }

    void readSavesTheModulesMemory() {
        const QByteArray memory = withZoneName(m_sim->memory(), 3, "Garazs    ");
        m_sim->setMemory(memory);
        const Run r = module({QStringLiteral("read"), path(QStringLiteral("site.KD2"))});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(readFile(path(QStringLiteral("site.KD2"))), memory);
        QVERIFY(r.out.contains(QStringLiteral("site.KD2")));
        // Kept in the history the windows keep.
        const QList<history::Entry> kept = history::list(history::defaultFolder());
        QVERIFY(!kept.isEmpty());
        QCOMPARE(kept.first().event, history::Event::Read);
        QCOMPARE(readFile(kept.first().path), memory);
    }

    // Each way of writing: the reads it costs and the backups it leaves.
    void write_data() {
        QTest::addColumn<QStringList>("options");
        // Every transfer reads the version page; a backup and a verify read the 8 blocks too.
        QTest::addColumn<int>("pageReads");
        QTest::addColumn<int>("backupFiles");
        QTest::newRow("backup and verify") << QStringList{} << 19 << 1;
        QTest::newRow("no backup") << QStringList{"--no-backup"} << 10 << 0;
        QTest::newRow("no verify") << QStringList{"--no-verify"} << 10 << 1;
        QTest::newRow("neither") << QStringList{"--no-backup", "--no-verify"} << 1 << 0;
    }
    void write() {
        QFETCH(QStringList, options);
        QFETCH(int, pageReads);
        QFETCH(int, backupFiles);
        for (const QString& old : backups(QStringLiteral("new"))) QFile::remove(path(old));
        const QByteArray before = m_sim->memory();
        const QByteArray wanted = withZoneName(before, 1, "Eloszoba  ");
        const QString in = writeKd2(QStringLiteral("new.KD2"), wanted);
        m_sim->resetCommandCounts();

        const Run r = module(QStringList{QStringLiteral("write"), in} + options);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(m_sim->memory(), wanted);
        QCOMPARE(m_sim->activationCount(), 1);
        QCOMPARE(m_sim->commandCount(KorvantaSim::CommandKind::PageRead), pageReads);
        const QStringList saved = backups(QStringLiteral("new"));
        QCOMPARE(saved.size(), backupFiles);
        if (backupFiles) {
            QVERIFY2(QRegularExpression(
                         QStringLiteral("^new\\.backup-\\d{4}-\\d\\d-\\d\\d-\\d{6}\\.KD2$"))
                         .match(saved.first())
                         .hasMatch(),
                     qPrintable(saved.first()));
            QCOMPARE(readFile(path(saved.first())), before);
            QVERIFY(r.out.contains(saved.first()));
        }
        QCOMPARE(r.out.contains(QStringLiteral("verified")), !options.contains("--no-verify"));
    }

    // Two writes in the same second still leave two backups: none replaces another.
    void backupsNeverReplaceEachOther() {
        for (const QString& old : backups(QStringLiteral("twice"))) QFile::remove(path(old));
        const QByteArray first = m_sim->memory();
        const QString in =
            writeKd2(QStringLiteral("twice.KD2"), withZoneName(first, 2, "Pince     "));
        QCOMPARE(module({QStringLiteral("write"), in, QStringLiteral("--no-verify")}).exitCode, 0);
        const QStringList one = backups(QStringLiteral("twice"));
        QCOMPARE(one.size(), 1);
        // The name of the next second's backup, taken already.
        const QDateTime next = QDateTime::currentDateTime().addSecs(1);
        const QString taken =
            path(QStringLiteral("twice.backup-") +
                 next.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QStringLiteral(".KD2"));
        QVERIFY(writeKd2(QFileInfo(taken).fileName(), "not a backup") == taken);
        QCOMPARE(module({QStringLiteral("write"), in, QStringLiteral("--no-verify")}).exitCode, 0);
        // The first backup, the file in the way, and a third beside them.
        const QStringList two = backups(QStringLiteral("twice"));
        QVERIFY2(two.size() == 3, qPrintable(two.join(' ')));
        QCOMPARE(readFile(path(one.first())), first);
        QCOMPARE(readFile(taken), QByteArray("not a backup"));
    }

    void compare_data() {
        QTest::addColumn<QByteArray>("moduleMemory");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("blockLines");
        const QByteArray factory = KorvantaSim::factoryMemory(kCode);
        QByteArray lastBlock = factory;
        lastBlock[2047] = char(~lastBlock[2047]);
        QTest::newRow("same") << factory << 0 << QStringList{};
        QTest::newRow("zone name")
            << withZoneName(factory, 1, "Nappali   ") << 1 << QStringList{"block 1 differs"};
        // The first user's name lies among the codes a compare skips, but is no code.
        QByteArray firstUser = factory;
        firstUser.replace(0, 10, "Kovacs    ");
        QTest::newRow("first user's name") << firstUser << 1 << QStringList{"block 1 differs"};
        QTest::newRow("first and last block") << withZoneName(lastBlock, 1, "Nappali   ") << 1
                                              << QStringList{"block 1 differs", "block 8 differs"};
    }
    void compare() {
        QFETCH(QByteArray, moduleMemory);
        QFETCH(int, exitCode);
        QFETCH(QStringList, blockLines);
        const QString in = writeKd2(QStringLiteral("site.KD2"), KorvantaSim::factoryMemory(kCode));
        m_sim->setMemory(moduleMemory);
        const Run r = module({QStringLiteral("compare"), in});
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.mid(0, blockLines.size()), blockLines);
        // The parameters as diff shows them, file first.
        const QString moduleFile = writeKd2(QStringLiteral("module.KD2"), moduleMemory);
        const Run d = cli({QStringLiteral("diff"), in, moduleFile}, false, false);
        QCOMPARE(lines.mid(blockLines.size()), d.out.split('\n', Qt::SkipEmptyParts));
        QCOMPARE(m_sim->activationCount(), 0);
    }

    void events_data() {
        QTest::addColumn<bool>("csv");
        QTest::newRow("csv") << true;
        QTest::newRow("text") << false;
    }
    void events() {
        QFETCH(bool, csv);
        QByteArray ring(1024, '\0');
        ring.replace(8 * 10, 8, record(3, 3, 2, 4, 5, 6, 0x11, 0));
        ring.replace(8 * 9, 8, record(27, 3, 1, 4, 5, 0));
        ring.replace(8 * 6, 8, record(32, 12, 0, 31, 23, 59, 0, 0x10));
        ring[768] = 10;
        m_sim->state().setEventMemory(ring);
        QStringList args{QStringLiteral("events")};
        if (csv) args << QStringLiteral("--csv");
        const Run r = module(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);  // the header and three events
        if (csv) {
            QCOMPARE(lines[0], QStringLiteral("Sorszám,Időpont,Esemény,Zóna / Felhasználó,T1,T2,"
                                              "T3,T4,S1,S2,S3,S4,Közp,Státusz"));
            QCOMPARE(lines[1], QStringLiteral("1,03/04 - 05:06,IN2 Riasztás     ,2.  Zóna 2    ,"
                                              "X,-,-,-,X,-,-,-,-,Aktív"));
            QVERIFY2(lines[2].startsWith(QStringLiteral("2,03/04 - 05:00,")), qPrintable(lines[2]));
            QVERIFY(lines[2].contains(QStringLiteral(",1.  Felh. 1   ,")));
            QCOMPARE(lines[3], QStringLiteral("5,12/31 - 23:59,AC hiba          ,,-,-,-,-,-,-,-,-,"
                                              "-,Késl."));
        } else {
            // Aligned: every column starts where its header does.
            const int status = lines[0].indexOf(QStringLiteral("Státusz"));
            QVERIFY(status > 0);
            const int time = lines[0].indexOf(QStringLiteral("Időpont"));
            QCOMPARE(lines[1].mid(time, 13), QStringLiteral("03/04 - 05:06"));
            QCOMPARE(lines[3].mid(time, 13), QStringLiteral("12/31 - 23:59"));
            QCOMPARE(lines[1].mid(status), QStringLiteral("Aktív"));
            QCOMPARE(lines[3].mid(status), QStringLiteral("Késl."));
            QVERIFY2(!lines[2].mid(status).startsWith(' '), qPrintable(lines[2]));
        }
    }

    // Names and texts from the module are data: a terminal gets every control character in
    // them, C1 included, as an escape, never as it is.
    void moduleTextIsEscaped_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("shown");  // what the texts become; empty: none is printed
        // 0x9B has a character in the code page; the other bytes read as controls.
        const QString name = QString::fromUtf8("\\x81\\x90\\x98›\\x7F\\x1B[");
        QTest::newRow("events") << QStringList{"events"} << name;
        QTest::newRow("events csv") << QStringList{"events", "--csv"} << name;
        QTest::newRow("version") << QStringList{"version"}
                                 << QStringLiteral("Programverzió: K\\x90\\x98\\x1B]0\\x07");
        QTest::newRow("status") << QStringList{"status"} << QString();
        QTest::newRow("status json") << QStringList{"status", "--json"} << QString();
    }
    void moduleTextIsEscaped() {
        QFETCH(QStringList, args);
        QFETCH(QString, shown);
        const QByteArray name("\x81\x90\x98\x9B\x7F\x1B[   ", 10);
        QByteArray memory = withZoneName(m_sim->memory(), 2, name);
        memory.replace(A::UserRecords + A::UserName, A::UserNameLength, name);
        m_sim->setMemory(memory);
        m_sim->setFirmwareText("K\x90\x98\x1B]0\x07");
        QByteArray ring(1024, '\0');
        ring.replace(8 * 10, 8, record(3, 3, 2, 4, 5, 6, 0x11, 0));  // an alarm of zone 2
        ring.replace(8 * 9, 8, record(27, 3, 1, 4, 5, 0));           // armed by user 1
        ring[768] = 10;
        m_sim->state().setEventMemory(ring);
        const Run r = module(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(terminalHazard(r.raw).isEmpty(), qPrintable(terminalHazard(r.raw)));
        if (!shown.isEmpty())
            QVERIFY2(r.out.count(shown) == (args.first() == "events" ? 2 : 1), qPrintable(r.out));
    }

    void status_data() {
        QTest::addColumn<int>("frameVersion");
        QTest::addColumn<bool>("json");
        QTest::newRow("v4 text") << 4 << false;
        QTest::newRow("v1 text") << 1 << false;
        QTest::newRow("v4 json") << 4 << true;
        QTest::newRow("v2 json") << 2 << true;
    }
    void status() {
        QFETCH(int, frameVersion);
        QFETCH(bool, json);
        m_sim->setStatusVersion(frameVersion);
        m_sim->state().setPartition(1, true);
        m_sim->state().setPartition(2, false);
        QStringList args{QStringLiteral("status")};
        if (json) args << QStringLiteral("--json");
        const Run r = module(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(m_sim->commandCount(KorvantaSim::CommandKind::PollStatus), 1);
        if (json) {
            QJsonParseError error{};
            const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(o.value("frameVersion").toInt(), frameVersion);
            QCOMPARE(o.value("zones").toArray().size(), 12);
            QCOMPARE(o.value("zones").toArray().at(0).toObject().value("caption").toString(),
                     QStringLiteral("IN1"));
            QCOMPARE(o.value("partitions").toArray().at(0).toString(), QStringLiteral("Élesítve"));
            QCOMPARE(o.value("partitions").toArray().at(1).toString(),
                     QStringLiteral("Kikapcsolva"));
            QCOMPARE(o.value("mains").toString(),
                     frameVersion >= 2 ? QStringLiteral("OK") : QStringLiteral("?"));
        } else {
            QVERIFY(
                r.out.startsWith(QStringLiteral("status frame version %1\n").arg(frameVersion)));
            QVERIFY(r.out.contains(QStringLiteral("\npartition 1: Élesítve\n")));
            QCOMPARE(r.out.count(QStringLiteral("\nzone ")), 12);
            QCOMPARE(r.out.contains(QStringLiteral("\ntemperature: -\n")), frameVersion < 4);
        }
    }

    void clockRead() {
        m_sim->setClock(QDateTime(QDate(2026, 3, 4), QTime(5, 6)));
        const Run r = module({QStringLiteral("clock")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("A modul órája: 26/03/04 - 05:06\n"));
    }

    void clockSet() {
        m_sim->setClock(QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
        const Run r = module({QStringLiteral("clock"), QStringLiteral("--set")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const qint64 off = qAbs(m_sim->clockNow().secsTo(QDateTime::currentDateTime()));
        QVERIFY2(off < 120, qPrintable(m_sim->clockNow().toString()));
        QVERIFY(r.out.startsWith(QStringLiteral("A modul órája: ") +
                                 m_sim->clockNow().toString(QStringLiteral("yy/MM/dd"))));
    }

    // Every command against a module that refuses the code, and one that says nothing: a
    // one-line reason, exit code 2, soon, and the module's data untouched.
    void moduleFailures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        const QStringList commands[] = {
            {"read", "out.KD2"}, {"write", "in.KD2"}, {"compare", "in.KD2"},
            {"version"},         {"events"},          {"status"},
            {"clock"},           {"clock", "--set"}};
        for (const QStringList& c : commands) {
            QTest::newRow(qPrintable(c.join(' ') + " wrong code"))
                << c << "code"
                << "wrong installer code (the module answered PWDERR)";
            QTest::newRow(qPrintable(c.join(' ') + " silent")) << c << "silent"
                                                               << "the module does not answer";
        }
    }
    void moduleFailures() {
        QFETCH(QStringList, args);
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        writeKd2(QStringLiteral("in.KD2"), withZoneName(m_sim->memory(), 1, "Mas       "));
        QFile::remove(path(QStringLiteral("out.KD2")));
        const QByteArray before = m_sim->memory();
        const QDateTime clock = QDateTime(QDate(2020, 1, 1), QTime(0, 0));
        m_sim->setClock(clock);
        if (fault == QLatin1String("code")) m_sim->setInstallerCode(QStringLiteral("1111"));
        if (fault == QLatin1String("silent")) m_sim->setSilent(true);
        const Run r = module(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(oneLine(r), qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QStringLiteral("telvora-cli: COM88: ")) && r.err.contains(reason),
                 qPrintable(r.err));
        QVERIFY2(r.ms < 10000, qPrintable(QString::number(r.ms)));
        QCOMPARE(m_sim->memory(), before);
        QCOMPARE(m_sim->activationCount(), 0);
        QVERIFY(qAbs(m_sim->clockNow().secsTo(clock)) < 600);
        QVERIFY(!QFile::exists(path(QStringLiteral("out.KD2"))));
        QVERIFY(backups(QStringLiteral("in")).isEmpty());
    }

    // A write that fails part way says where, and whether the module's data changed.
    void writeFailsPartWay_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<bool>("written");  // the module holds the file afterwards
        QTest::addColumn<QString>("reason");
        QTest::newRow("not activated")
            << "no-crcok" << false << false
            << "COM88: the module did not confirm the written blocks (no CRCOK); its data is "
               "unchanged";
        QTest::newRow("block 5 unanswered")
            << "no-answer-4" << false << false
            << "COM88: block 5: the module does not answer; nothing was activated";
        QTest::newRow("backup read damaged")
            << "damaged-2" << true << false
            << "COM88: backup read, nothing written: block 3: the module's answer was damaged";
        QTest::newRow("read-back damaged")
            << "damaged-2" << false << true
            << "COM88: written, but the read-back failed: block 3: the module's answer was "
               "damaged";
        QTest::newRow("read-back of another page")
            << "wrong-page-6" << false << true
            << "COM88: written, but the read-back failed: block 7: the module answered with "
               "another page than the one asked for";
    }
    void writeFailsPartWay() {
        QFETCH(QString, fault);
        QFETCH(bool, backup);
        QFETCH(bool, written);
        QFETCH(QString, reason);
        const QByteArray before = m_sim->memory();
        const QByteArray wanted = withZoneName(before, 4, "Iroda     ");
        const QString in = writeKd2(QStringLiteral("part.KD2"), wanted);
        for (const QString& old : backups(QStringLiteral("part"))) QFile::remove(path(old));
        if (fault == QLatin1String("no-crcok")) m_sim->setNoCrcOk(true);
        if (fault == QLatin1String("no-answer-4")) m_sim->setNoAnswerPage(4);
        if (fault == QLatin1String("damaged-2")) m_sim->setDamagedPage(2);
        if (fault == QLatin1String("wrong-page-6")) m_sim->setWrongPageNumberPage(6);
        QStringList args{QStringLiteral("write"), in};
        if (!backup) args << QStringLiteral("--no-backup");
        const Run r = module(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(oneLine(r), qPrintable(r.err));
        QCOMPARE(r.err, QStringLiteral("telvora-cli: ") + reason + QLatin1Char('\n'));
        QCOMPARE(m_sim->memory(), written ? wanted : before);
        QVERIFY(backups(QStringLiteral("part")).isEmpty());
    }

    // Ctrl+C or SIGTERM while the module works: the program ends its exchange, says in one
    // line what state it left things in, and exits as a shell expects of that signal. The
    // module answers the step the signal lands in very late, so the signal, not the answer,
    // ends the wait; the program's own ticks are left at their length, so no timeout comes first.
    void signalEndsCleanly_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("lateCommand");  // KorvantaSim::CommandKind
        QTest::addColumn<int>("latePage");
        QTest::addColumn<QByteArray>("signalAt");  // sent as the module receives this line
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("state");
        const int write = int(KorvantaSim::CommandKind::PageWrite);
        const int read = int(KorvantaSim::CommandKind::PageRead);
        // The second "WRFL" comes only after the first block's "WROK".
        const QString written = "block 1 written, not activated; the module's data is unchanged";
        QTest::newRow("write, SIGINT after the first WROK")
            << QStringList{"write", "in.KD2", "--no-backup"} << SIGINT << write << 1
            << QByteArray("WRFL") << 130 << written;
        QTest::newRow("write, SIGTERM after the first WROK")
            << QStringList{"write", "in.KD2", "--no-backup"} << SIGTERM << write << 1
            << QByteArray("WRFL") << 143 << written;
        QTest::newRow("write, SIGTERM in the backup read")
            << QStringList{"write", "in.KD2"} << SIGTERM << read << 2 << QByteArray("RDFL0002")
            << 143 << "nothing was written; the module's data is unchanged";
        QTest::newRow("read, SIGINT")
            << QStringList{"read", "out.KD2"} << SIGINT << read << 3 << QByteArray("RDFL0003")
            << 130 << "nothing was changed; out.KD2 was not written";
        QTest::newRow("compare, SIGINT") << QStringList{"compare", "in.KD2"} << SIGINT << read << 5
                                         << QByteArray("RDFL0005") << 130 << "nothing was changed";
        QTest::newRow("events, SIGTERM") << QStringList{"events"} << SIGTERM << read << 0xF001
                                         << QByteArray("RDFLF001") << 143 << "nothing was changed";
        QTest::newRow("status, SIGINT")
            << QStringList{"status"} << SIGINT << int(KorvantaSim::CommandKind::PollStatus)
            << int(KorvantaSim::kAnyPage) << QByteArray("RPWS") << 130 << "nothing was changed";
        QTest::newRow("clock --set, SIGINT")
            << QStringList{"clock", "--set"} << SIGINT << write << 0xFFFE << QByteArray("WRFL")
            << 130 << "the module may have taken the new time; its clock was not read";
    }
    void signalEndsCleanly() {
        QFETCH(QStringList, args);
        QFETCH(int, signal);
        QFETCH(int, lateCommand);
        QFETCH(int, latePage);
        QFETCH(QByteArray, signalAt);
        QFETCH(int, exitCode);
        QFETCH(QString, state);
        const QByteArray before = m_sim->memory();
        writeKd2(QStringLiteral("in.KD2"), withZoneName(before, 1, "Masik     "));
        QFile::remove(path(QStringLiteral("out.KD2")));
        for (const QString& old : backups(QStringLiteral("in"))) QFile::remove(path(old));
        const int kept = history::list(history::defaultFolder()).size();
        KorvantaSim::Fault late;
        late.mode = KorvantaSim::FaultMode::Late;
        late.command = KorvantaSim::CommandKind(lateCommand);
        late.page = latePage;
        late.delayMs = 60000;  // longer than any wait of the program
        m_sim->addFault(late);
        // The first time for a read, the second for "WRFL": after the first block's "WROK".
        int seen = 0;
        const int wanted = signalAt == "WRFL" && args.first() == "write" ? 2 : 1;
        Interrupt interrupt{signal, [&](const QByteArray& line) {
                                return line.startsWith(signalAt) && ++seen == wanted;
                            }};

        QStringList all = args;
        all << QStringLiteral("--port") << kPort;
        const Run r = cli(all, true, false, &interrupt);
        QVERIFY2(r.exitCode == exitCode, qPrintable(QString::number(r.exitCode) + " " + r.err));
        QCOMPARE(r.err,
                 QStringLiteral("telvora-cli: COM88: interrupted: ") + state + QLatin1Char('\n'));
        QVERIFY(r.ms < 30000);
        // The module uses what it had, and was never told to take anything.
        QCOMPARE(m_sim->memory(), before);
        QCOMPARE(m_sim->activationCount(), 0);
        QCOMPARE(m_sim->commandCount(KorvantaSim::CommandKind::Activate), 0);
        QVERIFY(!m_sim->receivedLines().contains("WRACT"));
        QVERIFY(!QFile::exists(path(QStringLiteral("out.KD2"))));
        QVERIFY(backups(QStringLiteral("in")).isEmpty());
        QCOMPARE(history::list(history::defaultFolder()).size(), kept);
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("withCode");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no port") << QStringList{"version"} << true << "no port";
        QTest::newRow("bad port") << QStringList{"version", "--port", "COM0"} << true
                                  << "COM0 is no port name";
        QTest::newRow("port word")
            << QStringList{"version", "--port", "ttyS0"} << true << "ttyS0 is no port name";
        QTest::newRow("port missing")
            << QStringList{"version", "--port", "COM96"} << true << "COM96: no such port";
        QTest::newRow("no file") << QStringList{"read", "--port", "COM88"} << true
                                 << "read takes one data file";
        QTest::newRow("extra file")
            << QStringList{"status", "x", "--port", "COM88"} << true << "status takes no file";
        QTest::newRow("csv on status") << QStringList{"status", "--csv", "--port", "COM88"} << true
                                       << "--csv is an option of events only";
        QTest::newRow("set on read") << QStringList{"read", "o.KD2", "--set", "--port", "COM88"}
                                     << true << "--set is an option of clock only";
        QTest::newRow("no code, no terminal")
            << QStringList{"version", "--port", "COM88"} << false << "no installer code";
        QTest::newRow("code with letters")
            << QStringList{"version", "--port", "COM88", "--code", "12a4"} << false
            << "the installer code must be 1 to 6 digits";
        QTest::newRow("code too long")
            << QStringList{"version", "--port", "COM88", "--code", "1234567"} << false
            << "the installer code must be 1 to 6 digits";
        QTest::newRow("missing input file")
            << QStringList{"write", "nothing.KD2", "--port", "COM88"} << true << "nothing.KD2";
        QTest::newRow("short input file") << QStringList{"compare", "short.KD2", "--port", "COM88"}
                                          << true << "a data file holds 2048";
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(bool, withCode);
        QFETCH(QString, reason);
        writeKd2(QStringLiteral("short.KD2"), QByteArray(100, 'x'));
        m_sim->resetCommandCounts();
        const Run r = cli(args, withCode);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(oneLine(r) && r.err.contains(reason), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(m_sim->commandCount(KorvantaSim::CommandKind::Any), 0);
    }

    // The code may come from the environment instead of the command line.
    void codeFromEnvironment() {
        m_env.insert(QStringLiteral("TELVORA_CODE"), kCode);
        const Run r = cli({QStringLiteral("version"), QStringLiteral("--port"), kPort}, false);
        m_env.remove(QStringLiteral("TELVORA_CODE"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.startsWith(QStringLiteral("Programverzió: ")));
    }

    void helpListsEverything() {
        const Run r = cli({QStringLiteral("--help")}, false, false);
        QCOMPARE(r.exitCode, 0);
        for (const char* word :
             {"show ", "diff ", "gkf ", "read OUT", "write IN", "compare IN", "version", "events",
              "status", "clock", "--port", "--code", "TELVORA_CODE", "--no-backup", "--no-verify",
              "--csv", "--json", "--set", "--tick-ms"})
            QVERIFY2(r.out.contains(QLatin1String(word)), word);
    }

    // Last: after every command above, the code is in no file of the home and was never printed.
    void codeLeftNowhere() {
        const QByteArray needles[] = {kCode.toUtf8(), codeString(kCode),
                                      codeString(kCode).toLower()};
        for (const QByteArray& needle : needles)
            QVERIFY2(!m_seen.contains(needle), needle.constData());
        QVERIFY(m_seen.size() > 1000);
        int files = 0;
        QDirIterator it(m_home.path(), QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QByteArray bytes = readFile(file);
            for (const QByteArray& needle : needles)
                QVERIFY2(!bytes.contains(needle), qPrintable(file + ": " + needle));
            ++files;
        }
        QVERIFY(files >= 5);
    }
};

QTEST_GUILESS_MAIN(TestCliModule)
#include "test_cli_module.moc"
