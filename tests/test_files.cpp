#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/setupini.h"
#include "base/savefile.h"
#include "config/datafile.h"
#include "support/images.h"

// The files the program writes and reads, on a disk that fills up and with special files in
// the place of regular ones.
class TestFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_mount;  // a small tmpfs while mounted

    static QByteArray contentOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    // Fills the file system under `dir` until a write fails.
    static void fill(const QString& dir) {
        QFile filler(dir + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray chunk(4096, 'F');
        while (filler.write(chunk) == chunk.size()) {
        }
        while (filler.write("F", 1) == 1) {
        }
    }
    static bool run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

private slots:
    void flushFailureIsAWriteFailure() {
        // /dev/full takes a buffered write and fails at the flush, as a full disk does.
        QFile full(QStringLiteral("/dev/full"));
        if (!full.open(QIODevice::WriteOnly)) QSKIP("no /dev/full here");
        QVERIFY(!savefile::writeAll(full, QByteArray(2048, 'x')));
    }

    void fullDiskKeepsTheOldFiles() {
        if (::geteuid() != 0) QSKIP("mounting a small file system needs root");
        m_mount = m_dir.filePath(QStringLiteral("full"));
        QVERIFY(QDir().mkpath(m_mount));
        if (!run(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", m_mount})) {
            m_mount.clear();
            QSKIP("cannot mount a tmpfs here");
        }
        const QString data = m_mount + QStringLiteral("/SITE.KD2");
        const QString ini = m_mount + QStringLiteral("/setup.ini");
        const QByteArray oldImage(2048, 'A');
        writeFile(data, oldImage);
        QVERIFY(writeSetupIni(ini, {QStringLiteral("COM3"), QStringLiteral("0630")}));
        const QByteArray oldIni = contentOf(ini);
        fill(m_mount);

        QCOMPARE(datafile::save(data, img(QByteArray(2048, 'B'))),
                 std::optional<QString>("Disk full"));
        QCOMPARE(contentOf(data), oldImage);
        QString error;
        QVERIFY(!writeSetupIni(ini, {QStringLiteral("COM9"), QStringLiteral("06301234567")},
                               &error));
        QCOMPARE(error, "Cannot Create " + ini);
        QCOMPARE(contentOf(ini), oldIni);
        // No half-written temporary file is left behind.
        QCOMPARE(QDir(m_mount).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"SITE.KD2", "filler", "setup.ini"}));

        // Once there is room again, the same save goes through.
        QVERIFY(QFile::remove(m_mount + QStringLiteral("/filler")));
        QCOMPARE(datafile::save(data, img(QByteArray(2048, 'B'))), std::nullopt);
        QCOMPARE(contentOf(data), QByteArray(2048, 'B'));
    }
    void cleanup() {
        if (!m_mount.isEmpty()) run(QStringLiteral("umount"), {m_mount});
        m_mount.clear();
    }

    void specialFilesAreRefusedAtOnce() {
        const QString fifo = m_dir.filePath(QStringLiteral("pipe.KD2"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        ParamImage image = img(QByteArray(2048, 'Z'));
        // Opening a FIFO for reading would wait here for a writer that never comes.
        QCOMPARE(datafile::open(fifo, image), std::optional<QString>("Access denied"));
        QCOMPARE(image.bytes(), QByteArray(2048, 'Z'));
        QVERIFY(!readSetupIni(fifo));
        if (QFile::exists(QStringLiteral("/dev/zero"))) {
            QCOMPARE(datafile::open(QStringLiteral("/dev/zero"), image),
                     std::optional<QString>("Access denied"));
            QVERIFY(!readSetupIni(QStringLiteral("/dev/zero")));
        }
        // A link to a regular file is a regular file.
        const QString real = m_dir.filePath(QStringLiteral("real.KD2"));
        writeFile(real, QByteArray(2048, 'R'));
        const QString link = m_dir.filePath(QStringLiteral("link.KD2"));
        QVERIFY(QFile::link(real, link));
        QCOMPARE(datafile::open(link, image), std::nullopt);
        QCOMPARE(image.bytes(), QByteArray(2048, 'R'));
    }
};

QTEST_MAIN(TestFiles)
#include "test_files.moc"
