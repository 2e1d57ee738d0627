#include <QDir>
#include <QFile>
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
