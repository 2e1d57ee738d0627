#include <QTest>

#include "events/eventrecord.h"
#include "events/eventtexts.h"

namespace {

// Eight bytes written as hex pairs, as they appear in the module's log dumps.
EventRecord record(const char* hex) {
    const QByteArray raw = QByteArray::fromHex(hex);
    EventRecord r;
    for (int i = 0; i < 8 && i < raw.size(); ++i) r.bytes[i] = quint8(raw.at(i));
    return r;
}

QString padded(const QString& text) { return text.leftJustified(kEventTextWidth, u' '); }

// Users first, then zones; the marked names tell users and zones apart at both ends.
NameTable fullNames() {
    NameTable names;
    for (int i = 1; i <= 12; ++i) names << QStringLiteral(" User%1").arg(i);
    for (int i = 1; i <= 12; ++i) names << QStringLiteral(" Zone%1").arg(i);
    names[0] = QStringLiteral(" Kovács Anna");
    names[11] = QStringLiteral(" Vendég");
    names[12 + 2] = QStringLiteral(" Konyha");
    names[12 + 11] = QStringLiteral(" Garázs");
    return names;
}

QString joined(const std::array<QString, 9>& marks) {
    QString out;
    for (const QString& m : marks) out += m;
    return out;
}

}  // namespace

class TestEvents : public QObject {
    Q_OBJECT

private slots:
    void entries_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("entry");
        QTest::newRow("1") << 1 << QStringLiteral("IN1 Riasztás     1Z");
        QTest::newRow("10") << 10 << QStringLiteral("IN5 Visszaállás   Z");
        QTest::newRow("26") << 26 << QStringLiteral("Szabotázs vissz.  Z");
        QTest::newRow("27 accented start") << 27 << QStringLiteral("Élesítés Part.1  1F");
        QTest::newRow("40 fills all 17") << 40 << QStringLiteral("Zóna takar.vissza Z");
        QTest::newRow("44 double acute") << 44 << QStringLiteral("Térerő alacsony  1.");
        QTest::newRow("47 last shown") << 47 << QStringLiteral("RF zaj           1.");
        QTest::newRow("48 first input") << 48 << QStringLiteral("IN1 jelez          ");
        QTest::newRow("57") << 57 << QStringLiteral("IN10 jelez         ");
        QTest::newRow("59 longer") << 59 << QStringLiteral("IN12 jelez          ");
        QTest::newRow("0 none") << 0 << QString();
        QTest::newRow("60 none") << 60 << QString();
        QTest::newRow("negative") << -1 << QString();
    }
    void entries() {
        QFETCH(int, type);
        QFETCH(QString, entry);
        QCOMPARE(EventTexts(type), entry);
        QCOMPARE(eventShownText(type), entry.left(17));
    }

    // Every entry, so that a blank too many or too few in any literal shows up.
    void entryShape_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<QChar>("kind");
        // Kinds of types 1..47 in order: 26 zone events, 4 user, 6 neither, 4 zone, 2 neither,
        // then user, 2 neither, user, neither.
        const QString kinds = QString(26, u'Z') + QString(4, u'F') + QString(6, u'.') +
                              QString(4, u'Z') + QStringLiteral("..F..F.");
        QCOMPARE(kinds.size(), kShownEventTypes);
        for (int t = 1; t <= kEventTextCount; ++t) {
            const QChar kind = t <= kShownEventTypes ? kinds.at(t - 1) : QChar(u' ');
            QTest::addRow("%d", t) << t << (t >= 58 ? 20 : 19) << kind;
        }
    }
    void entryShape() {
        QFETCH(int, type);
        QFETCH(int, length);
        QFETCH(QChar, kind);
        const QString entry = EventTexts(type);
        QCOMPARE(entry.size(), length);
        QCOMPARE(eventSourceKind(type), kind);
        QVERIFY(entry.at(17) == u'1' || entry.at(17) == u' ');
        QCOMPARE(eventShownText(type).size(), 17);
        if (type > kShownEventTypes)
            QCOMPARE(eventShownText(type), padded(QStringLiteral("IN%1 jelez").arg(type - 47)));
    }

    void captions_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1") << 1 << QStringLiteral("01. IN1 Riasztás") + QString(5, u' ');
        QTest::newRow("9 leading zero") << 9 << "09. " + padded(QStringLiteral("IN5 Riasztás"));
        QTest::newRow("10") << 10 << "10. " + padded(QStringLiteral("IN5 Visszaállás"));
        QTest::newRow("47") << 47 << "47. " + padded(QStringLiteral("RF zaj"));
        QTest::newRow("59 no kind") << 59 << "59. " + padded(QStringLiteral("IN12 jelez"));
        QTest::newRow("0") << 0 << QString();
        QTest::newRow("60") << 60 << QString();
    }
    void captions() {
        QFETCH(int, index);
        QFETCH(QString, caption);
        QCOMPARE(eventCaption(index), caption);
    }

    void headers_data() {
        QTest::addColumn<bool>("eventList");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("header");
        QTest::newRow("status 0") << false << 0 << QString();
        QTest::newRow("status 3") << false << 3 << QStringLiteral("Z/F");
        QTest::newRow("status 12") << false << 12 << QStringLiteral("K.");
        QTest::newRow("list 0") << true << 0 << QStringLiteral("Sorszám");
        QTest::newRow("list 1") << true << 1 << QStringLiteral("Időpont");
        QTest::newRow("list 3") << true << 3 << QStringLiteral("Zóna / Felhasználó");
        QTest::newRow("list 4") << true << 4 << QStringLiteral("T1");
        QTest::newRow("list 11") << true << 11 << QStringLiteral("S4");
        QTest::newRow("list 12") << true << 12 << QStringLiteral("Közp");
        QTest::newRow("list 13") << true << 13 << QStringLiteral("Státusz");
    }
    void headers() {
        QFETCH(bool, eventList);
        QFETCH(int, column);
        QFETCH(QString, header);
        const QStringList all = eventGridHeaders(eventList ? ZoneUserVariant::EventList
                                                           : ZoneUserVariant::StatusWindow);
        QCOMPARE(all.size(), 14);
        QCOMPARE(all.at(column), header);
    }

    // Each row is decoded in both variants; only the zone/user cell may differ between them.
    void decode_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<NameTable>("names");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("listCell");
        QTest::addColumn<QString>("statusCell");
        QTest::addColumn<QString>("marks");  // T1..T4 S1..S4 K
        QTest::addColumn<QString>("status");
        const NameTable names = fullNames();
        const NameTable usersOnly = names.mid(0, 12);
        const QString none(9, u'-');
        // A row with an empty text expects the record not to be shown at all.
        auto row = [](const char* name, const char* hex, const NameTable& n, const char* time,
                      const char* text, const char* listCell, const char* statusCell,
                      const QString& marks, const char* status) {
            const QString shownText = QString::fromUtf8(text);
            QTest::newRow(name) << QString::fromLatin1(hex) << n << !shownText.isEmpty()
                                << QString::fromUtf8(time)
                                << (shownText.isEmpty() ? QString() : padded(shownText))
                                << QString::fromUtf8(listCell) << QString::fromUtf8(statusCell)
                                << marks << QString::fromUtf8(status);
        };
        // "AC hiba" on 01/01 at 02:03 with the given bytes 6 and 7: only the marks and the status
        // depend on them.
        auto marksRow = [&](const char* name, const char* bytes67, const QString& marks,
                            const char* status) {
            const QByteArray hex = QByteArray("201101020300") + bytes67;
            row(name, hex.constData(), names, "01/01 - 02:03", "AC hiba", "", "--", marks, status);
        };

        row("installer disarms", "1D1D050A1E000000", names, "01/05 - 10:30", "Kikapcs. Part.1",
            "13. Telepítő", "F=13", none, "OK.");
        row("automatic disarm", "1D3E3C0000000000", names, "03/60 - 00:00", "Kikapcs. Part.1",
            "14. Automat.", "F=14", none, "OK.");
        row("user 15 has no name", "1BFF010203000000", names, "15/01 - 02:03", "Élesítés Part.1",
            "15. ", "F=15", none, "OK.");
        row("user 0 has no name", "2B10010203000000", names, "01/01 - 02:03", "Programozták", "0. ",
            "F=0", none, "OK.");
        row("keypad tamper", "1970010203000000", names, "07/01 - 02:03", "Szabotázs",
            "0. LCD-Kezelő", "Z=0", none, "OK.");
        row("zone 13 has no name", "277D010203000000", names, "07/01 - 02:03", "Zóna takarás",
            "13. ", "Z=13", none, "OK.");
        row("AC fault", "2011010203000000", names, "01/01 - 02:03", "AC hiba", "", "--", none,
            "OK.");
        row("named zone", "0153010203000000", names, "05/01 - 02:03", "IN1 Riasztás", "3.  Konyha",
            "Z=3", none, "OK.");
        row("last zone", "105C010203000000", names, "05/01 - 02:03", "IN8 Visszaállás",
            "12.  Garázs", "Z=12", none, "OK.");
        row("named user", "1B51010203000000", names, "05/01 - 02:03", "Élesítés Part.1",
            "1.  Kovács Anna", "F=1", none, "OK.");
        row("last user", "2E5C010203000000", names, "05/01 - 02:03", "Kényszerkód", "12.  Vendég",
            "F=12", none, "OK.");
        row("short table zone", "0153010203000000", usersOnly, "05/01 - 02:03", "IN1 Riasztás",
            "3. ", "Z=3", none, "OK.");
        row("empty table user", "1B51010203000000", NameTable(), "05/01 - 02:03", "Élesítés Part.1",
            "1. ", "F=1", none, "OK.");
        row("byte 200 unchecked", "20C8C8C8C8000000", names, "12/200 - 200:200", "AC hiba", "",
            "--", none, "OK.");
        row("byte 5 ignored", "2011010203FF0000", names, "01/01 - 02:03", "AC hiba", "", "--", none,
            "OK.");
        marksRow("stopped, all sent", "0002", none, "OK.");
        marksRow("stopped, T1 pending", "0102", "X--------", "STOP");
        marksRow("stop bit 3, K pending", "0009", "--------X", "STOP");
        marksRow("stop beats delay", "8012", "-------X-", "STOP");
        marksRow("stop and delay, all sent", "0014", none, "OK.");
        marksRow("delayed, nothing pending", "0010", none, "Késl.");
        marksRow("delayed, all pending", "FF11", "XXXXXXXXX", "Késl.");
        marksRow("K pending", "0001", "--------X", "Aktív");
        marksRow("T3 and S2 pending", "2400", "--X--X---", "Aktív");
        marksRow("high bits of byte 7 ignored", "00E0", none, "OK.");
        row("type 48", "3011010203000101", names, "", "", "", "", QString(), "");
        row("type 0", "0011010203000101", names, "", "", "", "", QString(), "");
        row("type 255", "FF11010203000101", names, "", "", "", "", QString(), "");
    }
    void decode() {
        QFETCH(QString, hex);
        QFETCH(NameTable, names);
        QFETCH(bool, shown);
        QFETCH(QString, time);
        QFETCH(QString, text);
        QFETCH(QString, listCell);
        QFETCH(QString, statusCell);
        QFETCH(QString, marks);
        QFETCH(QString, status);
        const EventRecord r = record(hex.toLatin1().constData());
        for (const auto variant : {ZoneUserVariant::StatusWindow, ZoneUserVariant::EventList}) {
            const bool list = variant == ZoneUserVariant::EventList;
            const EventRow row = decodeEventRecord(r, variant, names);
            QCOMPARE(row.shown, shown);
            QCOMPARE(row.time, time);
            QCOMPARE(row.text, text);
            QCOMPARE(row.zoneUser, list ? listCell : statusCell);
            QCOMPARE(joined(row.marks), marks);
            QCOMPARE(row.status, status);
        }
    }
};

QTEST_MAIN(TestEvents)
#include "test_events.moc"
