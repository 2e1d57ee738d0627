#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>
#include <set>

#include "params/fieldcodecs.h"
#include "params/flashaddr.h"
#include "params/layout.h"
#include "params/paramtext.h"
#include "params/trafficmask.h"
#include "link/pageframe.h"

// The memory layout: every field kind's read and write rules, and the table as a whole.
class TestLayout : public QObject {
    Q_OBJECT

    static QByteArray bytes(std::initializer_list<int> values) {
        QByteArray out;
        for (int v : values) out.append(char(v));
        return out;
    }
    static QByteArray randomImage(QRandomGenerator& rng) {
        QByteArray out(FlashAddr::ImageSize, '\0');
        for (char& c : out) c = char(rng.bounded(256));
        return out;
    }
    static const layout::Instance* find(const QString& name) {
        static QList<layout::Instance> all;
        if (all.isEmpty())
            layout::forEachInstance([](const layout::Instance& in) { all.append(in); });
        for (const layout::Instance& in : all)
            if (in.name() == name) return &in;
        return nullptr;
    }
    static QString shown(const QByteArray& image, const QString& key) {
        for (const paramtext::Line& l : paramtext::describe(image))
            if (l.key == key) return l.value;
        return QStringLiteral("<no such key>");
    }

private slots:
    void textRead_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("padded") << QByteArray("Konyha    ") << "Konyha";
        QTest::newRow("zero byte inside") << QByteArray("AB\0CD     ", 10) << "ABCD";
        QTest::newRow("leading blanks kept") << QByteArray("  Hal     ") << "  Hal";
        QTest::newRow("erased") << QByteArray(10, '\xFF') << "";
        QTest::newRow("all zero") << QByteArray(10, '\0') << "";
        QTest::newRow("Windows-1250") << QByteArray("\xC1rv\xEDzt\xFBr\xF5 ") << "Árvíztűrő";
    }
    void textRead() {
        QFETCH(QByteArray, field);
        QFETCH(QString, text);
        QCOMPARE(codec::readText(field, 0, 10), text);
    }

    void textWrite_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("empty becomes blanks") << "" << QByteArray(10, ' ');
        QTest::newRow("padded") << "Hal" << QByteArray("Hal       ");
        QTest::newRow("cut at 10") << "Nappalinappali" << QByteArray("Nappalinap");
        QTest::newRow("Windows-1250") << "Őr" << QByteArray("\xD5r        ");
    }
    void textWrite() {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        QByteArray image = bytes({0x11}) + QByteArray(10, '\xFF') + bytes({0x22});
        codec::writeText(image, 1, 10, text);
        QCOMPARE(image, bytes({0x11}) + field + bytes({0x22}));
    }

    void codeRead_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("4 digits") << bytes({0xED, 0xCB, 0x00}) << "1234";
        QTest::newRow("6 digits") << bytes({0xF6, 0xED, 0xCB}) << "091234";
        QTest::newRow("no digits") << bytes({0, 0, 0}) << "******";
        QTest::newRow("erased") << bytes({0xFF, 0xFF, 0xFF}) << "000000";
        QTest::newRow("nibbles 1..5 read as letters") << bytes({0x15, 0x00, 0x00}) << "EA";
        QTest::newRow("gap skipped") << bytes({0xE0, 0xD0, 0x00}) << "12";
    }
    void codeRead() {
        QFETCH(QByteArray, field);
        QFETCH(QString, text);
        QCOMPARE(codec::readCode(field, 0), text);
    }

    void codeWrite_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("4 digits, third byte zero") << "1234" << bytes({0xED, 0xCB, 0x00});
        QTest::newRow("6 digits") << "908172" << bytes({0x6F, 0x7E, 0x8D});
        QTest::newRow("stars") << "******" << bytes({0, 0, 0});
        QTest::newRow("star between digits") << "12*4" << bytes({0xED, 0x0B, 0x00});
        QTest::newRow("empty") << "" << bytes({0, 0, 0});
        QTest::newRow("letters go back as read") << "EA" << bytes({0x15, 0x00, 0x00});
        QTest::newRow("other letters are no digit") << "1F2x" << bytes({0xE0, 0xD0, 0x00});
    }
    void codeWrite() {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        QByteArray image(3, '\x55');
        codec::writeCode(image, 0, text);
        QCOMPARE(image, field);
    }

    void codeStarReadsBackShorter() {
        QByteArray image(3, '\0');
        codec::writeCode(image, 0, QStringLiteral("12*4"));
        QCOMPARE(codec::readCode(image, 0), QStringLiteral("124"));
    }

    void phone_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QByteArray>("rewritten");
        const QByteArray ten = QByteArray("0630123456") + QByteArray(6, '\0');
        QTest::newRow("10 digits") << ten << "0630123456      " << ten;
        QTest::newRow("gap kept") << QByteArray(
                                         "06\0"
                                         "30",
                                         5) +
                                         QByteArray(11, '\0')
                                  << "06 30           "
                                  << QByteArray(
                                         "06\0"
                                         "30",
                                         5) +
                                         QByteArray(11, '\0');
        QTest::newRow("erased") << QByteArray(16, '\xFF') << QString(16, ' ')
                                << QByteArray(16, '\0');
        QTest::newRow("non-digit bytes")
            << QByteArray("1A2") + QByteArray(13, '\0') << "1 2             "
            << QByteArray(
                   "1\0"
                   "2",
                   3) +
                   QByteArray(13, '\0');
    }
    void phone() {
        QFETCH(QByteArray, field);
        QFETCH(QString, cells);
        QFETCH(QByteArray, rewritten);
        QCOMPARE(codec::readPhone(field, 0), cells);
        QByteArray image(16, '\x33');
        codec::writePhone(image, 0, cells);
        QCOMPARE(image, rewritten);
    }

    void hexDigits_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QByteArray>("rewritten");
        QTest::newRow("digits") << bytes({1, 0x0A, 9}) << "1A9" << bytes({1, 0x0A, 9});
        QTest::newRow("high bits ignored")
            << bytes({0x31, 0xFF, 0x20}) << "1F0" << bytes({1, 0x0F, 0});
        QTest::newRow("erased") << bytes({0xFF, 0xFF, 0xFF}) << "FFF" << bytes({15, 15, 15});
    }
    void hexDigits() {
        QFETCH(QByteArray, field);
        QFETCH(QString, cells);
        QFETCH(QByteArray, rewritten);
        QCOMPARE(codec::readHexDigits(field, 0, 3), cells);
        QByteArray image(3, '\x77');
        codec::writeHexDigits(image, 0, 3, cells);
        QCOMPARE(image, rewritten);
        codec::writeHexDigits(image, 0, 3, QStringLiteral("G "));  // no digit: 0
        QCOMPARE(image, bytes({0, 0, 0}));
    }

    void wordsAndSets() {
        QByteArray image(10, '\xFF');
        QCOMPARE(codec::readWord(image, 0), 0xFFFF);
        codec::writeWord(image, 0, 0x1234);
        QCOMPARE(image.left(2), bytes({0x12, 0x34}));
        // Trigger 59 is bit 3 of byte 7; the upper half of byte 7 is written 0.
        QCOMPARE(codec::readTriggerSet(image, 2), (std::uint64_t(1) << 60) - 1);
        codec::writeTriggerSet(image, 2, codec::readTriggerSet(image, 2));
        QCOMPARE(image.at(9), char(0x0F));
        codec::writeTriggerSet(image, 2, std::uint64_t(1) << 0 | std::uint64_t(1) << 9);
        QCOMPARE(image.mid(2, 8), bytes({1, 2, 0, 0, 0, 0, 0, 0}));
    }

    void flags_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<bool>("equalOne");
        QTest::addColumn<bool>("notZero");
        QTest::newRow("0") << 0 << false << false;
        QTest::newRow("1") << 1 << true << true;
        QTest::newRow("2") << 2 << false << true;
        QTest::newRow("255") << 255 << false << true;
    }
    void flags() {
        QFETCH(int, byte);
        QFETCH(bool, equalOne);
        QFETCH(bool, notZero);
        const QByteArray image = bytes({byte});
        QCOMPARE(codec::readFlagEqualOne(image, 0), equalOne);
        QCOMPARE(codec::readFlagNotZero(image, 0), notZero);
    }

    void testTime_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("binary, not BCD") << bytes({23, 59}) << "23:59";
        QTest::newRow("midnight") << bytes({0, 0}) << "00:00";
        QTest::newRow("above 99") << bytes({255, 105}) << "55:05";
    }
    void testTime() {
        QFETCH(QByteArray, field);
        QFETCH(QString, text);
        QCOMPARE(codec::readTestTime(field, 0), text);
    }

    void testTimeBlankHourDigit() {
        // The masked box may leave the first hour digit blank: it counts as 0.
        QByteArray image(2, '\0');
        codec::writeTestTime(image, 0, QStringLiteral(" 7:30"));
        QCOMPARE(image, bytes({7, 30}));
        codec::writeTestTime(image, 0, QStringLiteral("23:59"));
        QCOMPARE(image, bytes({23, 59}));
    }

    void nibbles() {
        QByteArray image = bytes({0xAB});
        codec::writeNibble(image, 0, true, 3);
        QCOMPARE(image, bytes({0x3B}));
        codec::writeNibble(image, 0, false, 15);
        QCOMPARE(image, bytes({0x3F}));
    }

    // The table: fields stay inside the memory, never overlap, and cover all but the two
    // uninterpreted areas.
    void tableCoversTheMemoryOnce() {
        std::vector<int> owners(2 * FlashAddr::ImageSize, 0);
        layout::forEachInstance([&](const layout::Instance& in) {
            const layout::Span s = layout::span(in);
            QVERIFY(s.firstNibble >= 0 && s.firstNibble + s.nibbles <= 2 * FlashAddr::ImageSize);
            for (int i = 0; i < s.nibbles; ++i) ++owners[size_t(s.firstNibble + i)];
        });
        for (int offset = 0; offset < FlashAddr::ImageSize; ++offset) {
            const int expected = layout::isUninterpreted(offset) ? 0 : 1;
            QVERIFY2(owners[size_t(2 * offset)] == expected &&
                         owners[size_t(2 * offset + 1)] == expected,
                     qPrintable(QStringLiteral("offset %1").arg(offset)));
        }
    }

    void namesAreUnique() {
        // Every shown parameter has a key of its own.
        std::set<QString> keys;
        const QList<paramtext::Line> lines =
            paramtext::describe(QByteArray(FlashAddr::ImageSize, '\0'));
        for (const paramtext::Line& l : lines) keys.insert(l.key);
        QCOMPARE(int(keys.size()), int(lines.size()));
        // users 12*(2+16)+1, zones 12*11+12+1, events 47*(3+9), relays 6*60+6,
        // telephone page 7+4+1+1+6+5, remote buttons 48
        QCOMPARE(int(lines.size()), 217 + 145 + 564 + 366 + 24 + 48);
        QVERIFY(find(QStringLiteral("cbRFButtD12")));
        QVERIFY(find(QStringLiteral("cblR6")));
        QCOMPARE(find(QStringLiteral("cblR2"))->offset, FlashAddr::Relays + FlashAddr::RelayOffSet);
        QCOMPARE(find(QStringLiteral("edZonaNeve4"))->offset, 243);  // runs into block 1
    }

    // Reading then writing every field changes nothing outside the fields, leaves the
    // uninterpreted areas alone, and a second round changes nothing more.
    void readWriteRoundsAreStable() {
        QRandomGenerator rng(2026);
        for (int round = 0; round < 200; ++round) {
            const QByteArray original = randomImage(rng);
            QByteArray once = original;
            layout::forEachInstance([&](const layout::Instance& in) {
                layout::write(in, once, layout::read(in, original));
            });
            for (int i = 0; i < FlashAddr::ImageSize; ++i)
                if (layout::isUninterpreted(i)) QCOMPARE(once.at(i), original.at(i));
            QByteArray twice = once;
            layout::forEachInstance([&](const layout::Instance& in) {
                layout::write(in, twice, layout::read(in, once));
            });
            QCOMPARE(twice, once);
        }
    }

    // What an all-zero and an erased memory show, as the editor would.
    void shownValues_data() {
        QTest::addColumn<char>("fill");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QList<std::tuple<const char*, const char*, const char*>> rows = {
            {"\0", "edUserName1", "\"\""},
            {"\0", "edUserCode1", "******"},
            {"\0", "rgZonaBek1", "0 (Rövidzárra aktív)"},
            {"\0", "rgZonaPart12", "0 (Partíció 1 és 2)"},
            {"\0", "udNightDelay", "1"},
            {"\0", "UdAlarmMax", "5"},
            {"\0", "UdOUT1time", "1"},
            {"\0", "cbNightSet1", "0 (Mindíg éles)"},
            {"\0", "cbBypass[1]", "clear"},
            {"\0", "meTesztIdopont", "00:00"},
            {"\0", "cbRFButtA01", "0 (--)"},
            {"\xFF", "edZonaNeve3", "\"\""},
            {"\xFF", "edMasterCode", "000000"},
            {"\xFF", "acgTel1", "\"\""},
            {"\xFF", "acgEvent1", "FFF"},
            {"\xFF", "cbBypass[12]", "checked"},
            {"\xFF", "cbZonaCsendes[1]", "clear"},
            {"\xFF", "cbKoveto[5]", "clear"},
            {"\xFF", "rgZonaBek2", "3 (Rádiós érzékelő)"},
            {"\xFF", "cbNightSet2", "(none)"},
            {"\xFF", "UdZonaIntel1", "25"},
            {"\xFF", "cbRFButtC07", "(none)"},
            {"\xFF", "clbEvents9[47]", "checked"},
            {"\xFF", "cblR6[59]", "checked"},
        };
        for (const auto& [fill, key, value] : rows)
            QTest::addRow("%s %s", *fill ? "erased" : "zero", key)
                << *fill << QString(key) << QString::fromUtf8(value);
    }
    void shownValues() {
        QFETCH(char, fill);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(shown(QByteArray(FlashAddr::ImageSize, fill), key), value);
    }

    // The whole of what show prints for a few memories, held as a digest: describe is free
    // to change how it works, never one byte of what it says.
    void describedTextIsStable_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("sha256");
        QByteArray ramp(FlashAddr::ImageSize, '\0');
        for (int i = 0; i < ramp.size(); ++i) ramp[i] = char(i);
        QRandomGenerator rng(7);
        const QList<std::tuple<const char*, QByteArray, const char*>> rows = {
            {"zero", QByteArray(FlashAddr::ImageSize, '\0'),
             "516d9a2c7bf5099772543b4b4b4641203cd5bd39b327a137ab6a5b9ee9023971"},
            {"erased", QByteArray(FlashAddr::ImageSize, '\xFF'),
             "50c85c7119b6d84478c9f571c12197a21c48395ffbd536d6f3b4217081ca058d"},
            {"ramp", ramp, "0b11658d3c8315a9abd3dba6615f61568bfada9eb223d330a1be2d232a0f13c5"},
            {"random 1", randomImage(rng),
             "5459cc4b229683aa7478b63257831423eaf516132a0b2906fad1b7b6beeb4d9e"},
            {"random 2", randomImage(rng),
             "bcdf9e42bf0f13c41114376e40b8713baff6c1499001f3d0c26878fb8a327914"},
            {"random 3", randomImage(rng),
             "500746d3cb0d1d1b8d7a68baca76785950081f66a7811220f84d483e89bd72fd"},
        };
        for (const auto& [name, image, sha256] : rows)
            QTest::newRow(name) << image << QByteArray(sha256);
    }
    void describedTextIsStable() {
        QFETCH(QByteArray, image);
        QFETCH(QByteArray, sha256);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const paramtext::Line& l : paramtext::describe(image))
            hash.addData((l.key + QStringLiteral(" = ") + l.value + QLatin1Char('\n')).toUtf8());
        QCOMPARE(hash.result().toHex(), sha256);
    }

    void storingNormalises() {
        // Writing every field back: bits of no item become 0, out-of-range values move in.
        QByteArray image(FlashAddr::ImageSize, '\xFF');
        const QByteArray before = image;
        layout::forEachInstance([&](const layout::Instance& in) {
            layout::write(in, image, layout::read(in, before));
        });
        const int event1 = FlashAddr::EventRecords;
        QCOMPARE(codec::readWord(image, event1 + FlashAddr::EventReportMask), 0x01FF);
        QCOMPARE(image.at(FlashAddr::Relays + 7), char(0x0F));
        QCOMPARE(image.at(FlashAddr::ZoneRecords + FlashAddr::ZoneWiring), char(3));
        QCOMPARE(image.at(FlashAddr::ZoneRecords + FlashAddr::ZoneIntelligent), char(25));
        QCOMPARE(image.at(FlashAddr::ZoneRecords + FlashAddr::ZoneNight), char(255));
        QCOMPARE(image.at(FlashAddr::Bypass), char(1));
        QCOMPARE(image.at(FlashAddr::ZoneRecords + FlashAddr::ZoneSilent), char(0));
        QCOMPARE(image.at(FlashAddr::RemoteButtons), char(0xFF));  // no function: nibble 15
        QCOMPARE(image.mid(FlashAddr::ZoneRecords, 10), QByteArray(10, ' '));
    }

    // Frames of the memory as the traffic window shows them: every code's digits hidden,
    // whatever the checksum says, and nothing else touched.
    void trafficHidesCodes_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QList<int>>("hidden");  // offsets in the page's data
        const int user1 = FlashAddr::UserRecords + FlashAddr::UserCode;
        QTest::newRow("installer code, page 0")
            << 0 << false << QList<int>{FlashAddr::InstallerCode, FlashAddr::InstallerCode + 1,
                                        FlashAddr::InstallerCode + 2};
        QTest::newRow("damaged frame of page 0")
            << 0 << true << QList<int>{FlashAddr::InstallerCode, FlashAddr::InstallerCode + 1,
                                       FlashAddr::InstallerCode + 2};
        QTest::newRow("the first user's code") << 0 << false << QList<int>{user1, user1 + 1, user1 + 2};
        QTest::newRow("a memory page without codes") << 5 << false << QList<int>{};
        QTest::newRow("a page of events") << 0xF000 << false << QList<int>{};
        QTest::newRow("the version page") << 0xFFFF << false << QList<int>{};
    }
    void trafficHidesCodes() {
        QFETCH(int, page);
        QFETCH(bool, damaged);
        QFETCH(QList<int>, hidden);
        QByteArray data(frame::kDataSize, '\x6F');
        frame::Frame f = frame::build(data, quint16(page), frame::ChecksumOrder::ModuleLittleEndian);
        if (damaged) f[frame::kChecksumOffset] ^= 0xFF;
        const QString line = QStringLiteral("RDFL") + QString::fromLatin1(frame::toHex(f));
        const QString shown = trafficmask::hideCodes(line);
        QCOMPARE(shown.size(), line.size());
        QList<int> stars;
        for (int i = 0; i < frame::kDataSize; ++i)
            if (shown.mid(4 + 2 * i, 2) == QStringLiteral("**")) stars << i;
        // Checked in place: the user records hold more than one code.
        for (int at : hidden) QVERIFY2(stars.contains(at), qPrintable(QString::number(at)));
        if (hidden.isEmpty()) QCOMPARE(shown, line);
        for (int i = 0; i < line.size(); ++i)
            if (shown[i] != QLatin1Char('*')) QCOMPARE(shown[i], line[i]);
    }
    void trafficLeavesOtherLinesAlone() {
        for (const QString& line : {QStringLiteral("PWDOK"), QStringLiteral("RDFL0123"),
                                    QStringLiteral("RDFL") + QString(600, QLatin1Char('A'))})
            QCOMPARE(trafficmask::hideCodes(line), line);
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
