#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Whether the process has its handler for `sig` in place (Linux shows it in /proc).
bool catches(qint64 pid, int sig) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (sig - 1)) & 1;
    return false;
}
}  // namespace

// The whole program as a user starts it, under the offscreen platform.
class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void startsAndEndsCleanly_data() {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void startsAndEndsCleanly() {
        QFETCH(int, sig);
        QTemporaryDir home;
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TELVORA_SAY_READY"), QStringLiteral("1"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        app.setProcessEnvironment(env);
        app.setWorkingDirectory(home.path());
        app.start(QStringLiteral(TELVORA_APP), {});
        QVERIFY(app.waitForStarted());

        // The program says when its handlers are in place and the splash is up.
        QVERIFY2(app.waitForReadyRead(20000), app.readAllStandardError().constData());
        QCOMPARE(app.readAllStandardOutput(), QByteArray("ready\n"));
        QVERIFY(catches(app.processId(), sig));
        ::kill(pid_t(app.processId()), sig);
        QVERIFY(app.waitForFinished(20000));
        const QByteArray errors = app.readAllStandardError();
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QVERIFY2(app.exitCode() == 0, errors.constData());
        QVERIFY2(!errors.contains("Sanitizer") && !errors.contains("runtime error"),
                 errors.constData());
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
