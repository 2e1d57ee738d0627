#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "config/datafile.h"
#include "config/history.h"
#include "params/paramimage.h"
#include "support/images.h"

using history::Event;
Q_DECLARE_METATYPE(Event)

// The kept configurations: named by time and event, listed newest first, never overwritten.
class TestHistory : public QObject {
    Q_OBJECT

    static QByteArray bytes(char fill) { return QByteArray(image::kSize, fill); }

private slots:
    void recordsAndListsNewestFirst() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("deep/history"));  // made on demand
        const QDateTime t0(QDate(2026, 12, 9), QTime(14, 30, 55, 123));
        const struct {
            int secondsAfter;
            Event event;
            char fill;
        } saves[] = {{0, Event::Read, 'a'},          {60, Event::Written, 'b'},
                     {0, Event::Read, 'c'},          {0, Event::Read, 'd'},
                     {-3600, Event::ComparedEqual, 'e'}, {5, Event::ComparedDiffer, 'f'}};
        for (const auto& s : saves)
            QVERIFY(history::record(folder, img(bytes(s.fill)), s.event, t0.addSecs(s.secondsAfter)));
        // Stray files in the folder are no entries.
        for (const char* name : {"notes.txt", "20261209-143055-123-eaten.KD2", "x-read.KD2"}) {
            QFile f(folder + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }

        const QList<history::Entry> entries = history::list(folder);
        QString order;
        QList<Event> events;
        for (const history::Entry& e : entries) {
            ParamImage back;
            QVERIFY(!datafile::open(e.path, back));
            order += back.bytes().at(0);
            events << e.event;
        }
        // Same millisecond: the later save first; nothing overwritten.
        QCOMPARE(order, QStringLiteral("bfdcae"));
        QCOMPARE(events, (QList<Event>{Event::Written, Event::ComparedDiffer, Event::Read,
                                       Event::Read, Event::Read, Event::ComparedEqual}));
        QCOMPARE(entries[0].when, t0.addSecs(60));
        QCOMPARE(entries[2].sequence, 3);
        QVERIFY(entries[0].path.endsWith(QStringLiteral("20261209-143155-123-written.KD2")));
    }

    // A name in the folder may be a link somebody planted there. Whatever it points at stays as
    // it was, nothing is written outside the folder, and the entry takes another name. The
    // folder itself may be a link: that is the user's own choice, and it is followed.
    void plantedLinksAreNeverFollowed_data() {
        QTest::addColumn<QString>("plant");  // at the entry's first name; empty: nothing
        QTest::addColumn<bool>("folderIsLink");
        QTest::newRow("dangling link") << "missing.KD2" << false;
        QTest::newRow("link to a file outside") << "victim.KD2" << false;
        QTest::newRow("link to a folder outside") << "elsewhere" << false;
        QTest::newRow("the folder a link") << QString() << true;
        QTest::newRow("the folder a link, a dangling link in it") << "missing.KD2" << true;
    }
    void plantedLinksAreNeverFollowed() {
        QFETCH(QString, plant);
        QFETCH(bool, folderIsLink);
        QTemporaryDir dir;
        const QString outside = dir.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/elsewhere")));
        QFile victim(outside + QStringLiteral("/victim.KD2"));
        QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("victim") == 6);
        victim.close();
        const QString real = dir.filePath(QStringLiteral("real"));
        QVERIFY(QDir().mkpath(real));
        const QString folder = folderIsLink ? dir.filePath(QStringLiteral("history")) : real;
        if (folderIsLink) QVERIFY(QFile::link(real, folder));

        const QDateTime when(QDate(2026, 12, 9), QTime(14, 30, 55, 123));
        const QString firstName = QStringLiteral("20261209-143055-123-read.KD2");
        const QString planted = real + QLatin1Char('/') + firstName;
        const QString target = outside + QLatin1Char('/') + plant;
        if (!plant.isEmpty()) QVERIFY(QFile::link(target, planted));

        QString why;
        const std::optional<QString> path =
            history::record(folder, img(bytes('n')), Event::Read, when, &why);
        QVERIFY2(path, qPrintable(why));
        QCOMPARE(QFileInfo(*path).fileName(),
                 plant.isEmpty() ? firstName : QStringLiteral("20261209-143055-123-read-2.KD2"));
        QVERIFY(!QFileInfo(*path).isSymLink());
        QCOMPARE(QFileInfo(*path).canonicalFilePath(),
                 QDir(real).canonicalPath() + QLatin1Char('/') + QFileInfo(*path).fileName());
        ParamImage back;
        QVERIFY(!datafile::open(*path, back));
        QCOMPARE(back.bytes(), bytes('n'));

        // The link is as it was, and so is everything outside.
        if (!plant.isEmpty()) QCOMPARE(QFileInfo(planted).symLinkTarget(), target);
        QVERIFY(!QFileInfo::exists(outside + QStringLiteral("/missing.KD2")));
        QVERIFY(QDir(outside + QStringLiteral("/elsewhere"))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("victim"));
        // The entry and the link: no temporary file left, and the link listed as no entry.
        QCOMPARE(
            QDir(real)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                .size(),
            plant.isEmpty() ? 1 : 2);
        const QList<history::Entry> entries = history::list(folder);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(QFileInfo(entries.first().path).fileName(), QFileInfo(*path).fileName());
    }

    void aFolderThatCannotBeMadeIsReported() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString why;
        QVERIFY(!history::record(dir.filePath(QStringLiteral("file/history")), img(bytes('x')),
                                 Event::Read, QDateTime::currentDateTime(), &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(history::list(dir.filePath(QStringLiteral("file/history"))).isEmpty());
    }

    void everyEventHasItsText() {
        QStringList texts;
        for (Event e : {Event::Read, Event::Written, Event::ComparedEqual, Event::ComparedDiffer})
            texts << history::eventText(e);
        texts.removeDuplicates();
        QCOMPARE(texts.size(), 4);
        QVERIFY(!texts.contains(QString()));
    }
};

QTEST_MAIN(TestHistory)
#include "test_history.moc"
