#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "params/fieldcodecs.h"
#include "params/flashaddr.h"
#include "support/terminalbytes.h"

namespace A = FlashAddr;

// telvora-cli as installers run it, on data files the test writes.
class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    struct Run {
        int exitCode;
        QStringList out;
        QString err;
        QByteArray raw;  // standard output as it came
    };
    Run run(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(TELVORA_CLI), args);
        p.waitForFinished(30000);
        const QByteArray raw = p.readAllStandardOutput();
        QStringList lines = QString::fromUtf8(raw).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return {p.exitCode(), lines, QString::fromUtf8(p.readAllStandardError()), raw};
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        return path;
    }
    static QByteArray site() {
        QByteArray image(A::ImageSize, '\0');
        codec::writeText(image, A::ZoneRecords + A::ZoneName, 10, QStringLiteral("Konyha"));
        codec::writeCode(image, A::UserRecords + A::UserCode, QStringLiteral("1234"));
        codec::writeTriggerSet(image, A::Relays, 1);
        codec::writeNibble(image, A::RemoteButtons, true, 5);
        codec::writePhone(image, A::Phone1, QStringLiteral("0630 1234"));
        return image;
    }

private slots:
    void show() {
        const Run r = run({"show", file("site.KD2", site())});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.size(), 1364);
        for (const char* line :
             {"edZonaNeve1 = \"Konyha\"", "edUserCode1 = 1234", "edUserCode2 = ******",
              "cblR1[0] = checked", "cblR1[1] = clear", "cbRFButtA01 = 5 (Kikapcsolás)",
              "acgTel1 = \"0630_1234\"", "rgZonaBek1 = 0 (Rövidzárra aktív)", "udNightDelay = 1"})
            QVERIFY2(r.out.contains(QString::fromUtf8(line)), line);
    }

    // Whatever a name holds, show keeps one parameter a line, and a terminal shows it rather
    // than obeys it: no control character, C1 included, reaches it as it is.
    void controlCharactersAreEscaped_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF") << QByteArray("Ko\r\nA") << "edZonaNeve1 = \"Ko\\r\\nA\"";
        QTest::newRow("tab") << QByteArray("a\tb") << "edZonaNeve1 = \"a\\tb\"";
        QTest::newRow("backslash") << QByteArray("C:\\x") << "edZonaNeve1 = \"C:\\\\x\"";
        QTest::newRow("other control") << QByteArray("\x01\x1B\x7F") << "edZonaNeve1 = \"\\x01\\x1B\\x7F\"";
        // Bytes the code page leaves without a character read as C1 controls: 0x90 starts a
        // device control string and 0x98 a string that swallows what follows.
        QTest::newRow("C1") << QByteArray("a\x81\x90\x98z")
                            << "edZonaNeve1 = \"a\\x81\\x90\\x98z\"";
        QTest::newRow("0x9B is a character")
            << QByteArray("\x9B") + "2J" << QString::fromUtf8("edZonaNeve1 = \"›2J\"");
        QTest::newRow("C1 among escapes")
            << QByteArray("\x1B[\x90\x7F\x9B\x98")
            << QString::fromUtf8("edZonaNeve1 = \"\\x1B[\\x90\\x7F›\\x98\"");
    }
    void controlCharactersAreEscaped() {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        QByteArray image = site();
        image.replace(A::ZoneRecords + A::ZoneName, 10, (name + QByteArray(10, ' ')).left(10));
        const Run r = run({"show", file("escaped.KD2", image)});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.size(), 1364);
        QVERIFY2(r.out.contains(shown), qPrintable(r.out.first()));
        QVERIFY2(terminalHazard(r.raw).isEmpty(), qPrintable(terminalHazard(r.raw)));
        // diff speaks the same escaped values.
        const Run d = run({"diff", file("plain.KD2", site()), file("escaped.KD2", image)});
        QCOMPARE(d.exitCode, 1);
        QCOMPARE(d.out.size(), 1);
        QVERIFY2(d.out.first().endsWith(shown.mid(shown.indexOf('"'))), qPrintable(d.out.first()));
        QVERIFY2(terminalHazard(d.raw).isEmpty(), qPrintable(terminalHazard(d.raw)));
    }

    void diff_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("inA");  // -1: as the site has it
        QTest::addColumn<int>("inB");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("same") << -1 << -1 << 0 << QStringList() << 0;
        QTest::newRow("zone name") << A::ZoneRecords + A::ZoneName << -1 << int('X')
                                   << QStringList{"edZonaNeve1: \"Konyha\" -> \"Xonyha\""} << 1;
        QTest::newRow("a right of user 2")
            << A::UserRecords + A::UserRecordSize + A::UserRights + 1 << -1 << 0x08
            << QStringList{"cblUserRights4[2]: clear -> checked"} << 1;
        QTest::newRow("uninterpreted area is no parameter")
            << A::Uninterpreted2 + 5 << -1 << 0x42 << QStringList() << 0;
        // A bypass byte of 2 is as set as 1: the editor shows them alike.
        QTest::newRow("bytes shown alike") << A::Bypass << 1 << 2 << QStringList() << 0;
    }
    void diff() {
        QFETCH(int, offset);
        QFETCH(int, inA);
        QFETCH(int, inB);
        QFETCH(QStringList, lines);
        QFETCH(int, exitCode);
        QByteArray a = site();
        QByteArray b = site();
        if (offset >= 0) {
            if (inA >= 0) a[offset] = char(inA);
            b[offset] = char(inB);
        }
        const Run r = run({"diff", file("a.KD2", a), file("b.KD2", b)});
        QCOMPARE(r.out, lines);
        QCOMPARE(r.exitCode, exitCode);
    }

    void errors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString good = file("good.KD2", site());
        const QString shortFile = file("short.KD2", QByteArray(2047, '\0'));
        const QString missing = m_dir.filePath("missing.KD2");
        QTest::newRow("missing file") << QStringList{"show", missing} << "File not found";
        QTest::newRow("short file")
            << QStringList{"diff", good, shortFile}
            << "Read beyond end of file (2047 bytes; a data file holds 2048)";
        QTest::newRow("missing second file") << QStringList{"diff", good, missing} << "missing.KD2";
        QTest::newRow("no command") << QStringList{} << "telvora-cli: no command";
        QTest::newRow("unknown command")
            << QStringList{"merge", good, good} << "telvora-cli: unknown command merge";
        QTest::newRow("unknown option") << QStringList{"--verbose"} << "unknown option --verbose";
        QTest::newRow("show without its file") << QStringList{"show"} << "wrong number of files";
        // A FIFO would block the program until something writes into it.
        const QString fifo = m_dir.filePath("pipe.KD2");
        if (!QFile::exists(fifo)) ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
        QTest::newRow("fifo") << QStringList{"show", fifo} << "Access denied";
        QTest::newRow("fifo second") << QStringList{"diff", good, fifo} << "Access denied";
    }
    void errors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run r = run(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        // One line, whatever went wrong.
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        QVERIFY(r.out.isEmpty());
    }

    void help() {
        const Run r = run({"--help"});
        QCOMPARE(r.exitCode, 0);
        for (const char* command : {"show FILE.KD2", "diff OLD.KD2 NEW.KD2", "--help"})
            QVERIFY2(r.out.join('\n').contains(QLatin1String(command)), command);
    }

    void lostOutputIsAnError_data() {
        QTest::addColumn<QStringList>("args");
        const QString a = file("full-a.KD2", site());
        QByteArray changed = site();
        changed[A::ZoneRecords + A::ZoneName] = 'X';
        const QString b = file("full-b.KD2", changed);
        QTest::newRow("show") << QStringList{"show", a};
        QTest::newRow("diff with differences") << QStringList{"diff", a, b};
    }
    void lostOutputIsAnError() {
        // Every line written to a full device is lost: that must not read as a result.
        QFETCH(QStringList, args);
        if (!QFile::exists("/dev/full")) QSKIP("no /dev/full here");
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(TELVORA_CLI), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
        const QStringList err =
            QString::fromUtf8(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(err.size(), 1);
        QVERIFY2(err.first().startsWith("telvora-cli: cannot write the output"),
                 qPrintable(err.first()));
    }
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
