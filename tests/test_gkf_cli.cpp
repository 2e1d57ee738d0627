#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "firmware/gkffile.h"

// telvora-cli gkf makes the firmware files the window loads: what the window reads back from
// one is exactly the binary it was made of.
class TestGkfCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    struct Run {
        int exitCode;
        QString err;
    };
    static Run run(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(TELVORA_CLI), args);
        p.waitForFinished(30000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        return path;
    }
    static QByteArray randomBinary(int size, quint32 seed) {
        QByteArray out(size, '\0');
        for (int i = 0; i < size; ++i) {
            seed = seed * 1103515245u + 12345u;
            out[i] = char(seed >> 16);
        }
        return out;
    }

private slots:
    void madeFileLoadsBack_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("pages");
        QTest::newRow("five records") << 5 * 66 << 2;
        QTest::newRow("a short last record") << 5 * 66 + 9 << 2;
        QTest::newRow("2048 records") << 2048 * 66 << 512;
    }
    void madeFileLoadsBack() {
        QFETCH(int, size);
        QFETCH(int, pages);
        const QByteArray binary = randomBinary(size, quint32(size));
        const QString out = m_dir.filePath(QStringLiteral("fw%1.GKF").arg(size));
        const Run r = run({"gkf", file(QStringLiteral("fw%1.bin").arg(size), binary), out});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        gkf::Image image;
        QCOMPARE(gkf::load(out, image), std::optional<QString>());
        QCOMPARE(image.pageCount(), pages);
        // A short last record is filled up with erased bytes.
        const QByteArray records = gkf::recordBytes(image);
        QCOMPARE(records.left(size), binary);
        QCOMPARE(records.mid(size), QByteArray(records.size() - size, '\xFF'));
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        const QString big = file(QStringLiteral("big.bin"), QByteArray(2048 * 66 + 1, '\x11'));
        QTest::newRow("more than 2048 records")
            << QStringList{"gkf", big, m_dir.filePath("big.GKF")} << "at most 2048";
        QTest::newRow("no such binary")
            << QStringList{"gkf", m_dir.filePath("none.bin"), m_dir.filePath("none.GKF")}
            << "cannot be read";
        QTest::newRow("output folder missing")
            << QStringList{"gkf", file(QStringLiteral("ok.bin"), QByteArray(66, 'x')),
                           m_dir.filePath("no/out.GKF")}
            << "cannot be written";
        QTest::newRow("no output named") << QStringList{"gkf", big} << "wrong number";
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        const Run r = run(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        if (args.size() == 3) QVERIFY(!QFile::exists(args[2]));
    }
};

QTEST_MAIN(TestGkfCli)
#include "test_gkf_cli.moc"
