#include <QTest>

#include "app/appwindows.h"
#include "events/eventring.h"
#include "events/names.h"
#include "params/flashaddr.h"

// The event memory's ring as the list walks it, and the names as the module stores them.
class TestEventNames : public QObject {
    Q_OBJECT
private slots:
    void ringWalk_data() {
        QTest::addColumn<int>("newestByte");
        QTest::addColumn<int>("row");  // 1..90
        QTest::addColumn<int>("slot");
        QTest::newRow("newest 0: row 1") << 0 << 1 << 0;
        QTest::newRow("newest 0: row 2 wraps to 95") << 0 << 2 << 95;
        QTest::newRow("newest 0: row 90") << 0 << 90 << 7;
        QTest::newRow("newest 89: row 1") << 89 << 1 << 89;
        QTest::newRow("newest 89: row 90 is slot 0") << 89 << 90 << 0;
        QTest::newRow("newest 95: row 90") << 95 << 90 << 6;
        QTest::newRow("newest 96 reads as 95") << 96 << 1 << 95;
        QTest::newRow("newest 255 reads as 95") << 255 << 1 << 95;
        QTest::newRow("newest 255: row 90") << 255 << 90 << 6;
    }
    void ringWalk() {
        QFETCH(int, newestByte);
        QFETCH(int, row);
        QFETCH(int, slot);
        EventRingBytes ring{};
        ring[eventring::kNewestSlotOffset] = quint8(newestByte);
        const QList<int> order = shownSlots(ring);
        QCOMPARE(order.size(), 90);
        QCOMPARE(order.at(row - 1), slot);
        // Every slot shown lies in the ring, and none twice.
        QCOMPARE(QSet<int>(order.begin(), order.end()).size(), 90);
        for (int s : order) QVERIFY(s >= 0 && s < 96);
    }

    void slotRecordIsItsEightBytes() {
        EventRingBytes ring{};
        for (int i = 0; i < 8; ++i) ring[size_t(95 * 8 + i)] = quint8(i + 1);
        ring[size_t(95 * 8 + 8)] = 0x77;  // the newest-slot byte follows the last record
        const EventRecord r = slotRecord(ring, 95);
        QCOMPARE(r.bytes, (std::array<quint8, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(slotRecord(ring, 96).bytes, (std::array<quint8, 8>{}));
    }

    void nameString_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("blank");
        QTest::newRow("ten zero bytes") << QByteArray(10, '\0') << " " << true;
        QTest::newRow("ten blanks") << QByteArray(10, ' ') << QString(11, ' ') << true;
        QTest::newRow("six letters, four zeros")
            << QByteArray("Garage\0\0\0\0", 10) << " Garage" << false;
        QTest::newRow("a zero byte does not end the name")
            << QByteArray("AB\0C\0\0\0\0\0\0", 10) << " ABC" << false;
        QTest::newRow("blanks kept at both ends")
            << QByteArray("  Hall    ", 10) << "   Hall    " << false;
        QTest::newRow("the module's code page")
            << QByteArray("Konyha \xF5r\0", 10) << QStringLiteral(" Konyha őr") << false;
        QTest::newRow("all ten used") << QByteArray("0123456789") << " 0123456789" << false;
    }
    void nameString() {
        QFETCH(QByteArray, field);
        QFETCH(QString, name);
        QFETCH(bool, blank);
        const QString got = ::nameString(reinterpret_cast<const quint8*>(field.constData()), 10);
        QCOMPARE(got, name);
        QCOMPARE(isBlankName(got), blank);
    }

    void blankTest_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("blank");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("one blank") << " " << true;
        QTest::newRow("a letter") << " a" << false;
        QTest::newRow("a tab is no blank") << " \t" << false;
    }
    void blankTest() {
        QFETCH(QString, name);
        QFETCH(bool, blank);
        QCOMPARE(isBlankName(name), blank);
    }

    void namesComeFromTheirFixedAddresses() {
        // Every byte holds its offset's own mark, so a name shows where it was taken from.
        NamePagesBytes pages{};
        auto put = [&](int offset, const QByteArray& text) {
            std::copy(text.begin(), text.end(), pages.begin() + offset);
        };
        for (int n = 1; n <= 12; ++n) {
            put(15 * (n - 1), "User" + QByteArray::number(n));
            put(183 + 20 * (n - 1), "Zone" + QByteArray::number(n));
        }
        const NameTable table = namesFromPages(pages, moduleNameFields());
        QCOMPARE(table.size(), 24);
        for (int n = 1; n <= 12; ++n) {
            QCOMPARE(table.at(n - 1), QStringLiteral(" User%1").arg(n));
            QCOMPARE(table.at(11 + n), QStringLiteral(" Zone%1").arg(n));
        }
        // The layout's own offsets say the same.
        QCOMPARE(moduleNameFields().zoneFirst, FlashAddr::ZoneRecords);
    }

    void fieldOutsideThePagesGivesNoName() {
        NamePagesBytes pages{};
        pages.fill('x');
        const NameTable table = namesFromPages(pages, NameFields{760, 15, 0, 20, 10});
        QCOMPARE(table.at(0), QString());
        QCOMPARE(table.at(12), QStringLiteral(" xxxxxxxxxx"));
    }

    void zoneCaption_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("named zone as stored") << " Nappali"
                                              << " Nappali";
        QTest::newRow("eleven blanks") << QString(11, ' ') << "IN3";
        QTest::newRow("never downloaded") << QString() << "IN3";
    }
    void zoneCaption() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        NameTable table(24);
        table[12 + 3 - 1] = name;
        QCOMPARE(::zoneCaption(table, 3), caption);
        QCOMPARE(::zoneCaption(NameTable{}, 3), QStringLiteral("IN3"));
    }
};

QTEST_MAIN(TestEventNames)
#include "test_event_names.moc"
