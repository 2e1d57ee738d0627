#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "base/lastfolder.h"
#include "config/configimage.h"
#include "config/datafile.h"
#include "config/transferwords.h"
#include "config/versionquery.h"
#include "link/pageframe.h"
#include "support/images.h"

Q_DECLARE_METATYPE(frame::ChecksumOrder)
Q_DECLARE_METATYPE(ConfigTransfer::Kind)
Q_DECLARE_METATYPE(ConfigTransfer::Outcome)

class TestConfigCore : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write(bytes);
        return path;
    }
    static QByteArray pattern(int size, int seed = 0) {
        QByteArray out(size, '\0');
        for (int i = 0; i < size; ++i) out[i] = char((i * 7 + seed) & 0xFF);
        return out;
    }

private slots:
    // File dialogs start where the user last chose a file, with the suggested name; a name
    // that brings its own folder keeps it.
    void dialogStartPath_data() {
        QTest::addColumn<QString>("lastFolder");
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QString>("start");
        QTest::newRow("nothing chosen yet") << "" << "*.KD2" << "*.KD2";
        QTest::newRow("last folder") << "/home/i/sites" << "*.KD2" << "/home/i/sites/*.KD2";
        QTest::newRow("an empty name") << "/home/i/sites" << "" << "/home/i/sites";
        QTest::newRow("a name with its folder") << "/home/i/sites" << "/tmp/x.GKF" << "/tmp/x.GKF";
        QTest::newRow("a relative folder") << "/home/i/sites" << "fw/x.GKF" << "fw/x.GKF";
    }
    void dialogStartPath() {
        QFETCH(QString, lastFolder);
        QFETCH(QString, suggested);
        QFETCH(QString, start);
        QCOMPARE(::dialogStartPath(lastFolder, suggested), start);
    }
    void folderOfAChosenFile() {
        QCOMPARE(folderOf(QStringLiteral("/home/i/sites/Kovacs.KD2")), QStringLiteral("/home/i/sites"));
        QCOMPARE(folderOf(QString()), QString());
    }

    void transferSentence_data() {
        using K = ConfigTransfer::Kind;
        using O = ConfigTransfer::Outcome;
        const int act = ConfigTransfer::kActivation;
        QTest::addColumn<ConfigTransfer::Kind>("kind");
        QTest::addColumn<ConfigTransfer::Outcome>("outcome");
        QTest::addColumn<int>("endedAt");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, K k, O o, int at, const char* text) {
            QTest::newRow(name) << k << o << at << QString::fromUtf8(text);
        };
        row("read done", K::Read, O::Done, -1, "Leolvasás kész.");
        row("write done", K::Write, O::Done, -1, "Írás kész: a modul átvette az adatokat.");
        row("compare equal", K::Compare, O::Done, -1,
            "Az összehasonlítás kész: a modul és a kép egyezik.");
        row("compare: block 3 differs", K::Compare, O::Different, 2, "A 3. blokk eltér.");
        // The article goes by the numeral's sound: "az egy", "az öt".
        row("compare: block 1 differs", K::Compare, O::Different, 0, "Az 1. blokk eltér.");
        row("compare: block 5 differs", K::Compare, O::Different, 4, "Az 5. blokk eltér.");
        row("compare: block 8 differs", K::Compare, O::Different, 7, "A 8. blokk eltér.");
        row("read failed at block 4", K::Read, O::Failed, 3,
            "A leolvasás a 4. blokknál megszakadt; a kép nem változott.");
        row("read failed at block 1", K::Read, O::Failed, 0,
            "A leolvasás az 1. blokknál megszakadt; a kép nem változott.");
        row("write failed at block 4", K::Write, O::Failed, 3,
            "Az írás a 4. blokknál megszakadt; a modul adatai nem változtak.");
        // After the activation went out unanswered the module may or may not use the blocks.
        row("write: activation unconfirmed", K::Write, O::Failed, act,
            "A modul nem igazolta az aktiválást; nem tudni, változtak-e a modul adatai.");
        row("compare failed at block 6", K::Compare, O::Failed, 5,
            "Az összehasonlítás a 6. blokknál megszakadt.");
        row("read stopped at block 4", K::Read, O::Stopped, 3,
            "Leállítva a 4. blokknál; a kép nem változott.");
        row("write stopped at block 5", K::Write, O::Stopped, 4,
            "Leállítva az 5. blokknál; a modul adatai nem változtak.");
        row("write stopped at the activation", K::Write, O::Stopped, act,
            "Leállítva az aktiválásnál; nem tudni, változtak-e a modul adatai.");
        row("compare stopped at block 2", K::Compare, O::Stopped, 1, "Leállítva a 2. blokknál.");
        row("read stopped before the blocks", K::Read, O::Stopped, -1,
            "Leállítva; a kép nem változott.");
        row("write stopped before the blocks", K::Write, O::Stopped, -1,
            "Leállítva; a modul adatai nem változtak.");
        row("read: login failed", K::Read, O::LoginFailed, -1,
            "A belépés sikertelen; a kép nem változott.");
        row("write: login failed", K::Write, O::LoginFailed, -1,
            "A belépés sikertelen; a modul adatai nem változtak.");
        row("compare: login failed", K::Compare, O::LoginFailed, -1, "A belépés sikertelen.");
        row("write: other data version", K::Write, O::WrongDataVersion, -1,
            "A modul adatverziója nem megfelelő; a modul adatai nem változtak.");
        row("read: not connected", K::Read, O::NotConnected, -1,
            "Nincs soros kapcsolat; a kép nem változott.");
        row("write: module busy", K::Write, O::Busy, -1,
            "A modul foglalt; a modul adatai nem változtak.");
    }
    void serialErrorSentence_data() {
        using K = ConfigTransfer::Kind;
        QTest::addColumn<ConfigTransfer::Kind>("kind");
        QTest::addColumn<int>("endedAt");
        QTest::addColumn<QString>("text");
        QTest::newRow("read at block 4")
            << K::Read << 3 << QString::fromUtf8("Soros hiba a 4. blokknál; a kép nem változott.");
        QTest::newRow("write before the blocks")
            << K::Write << -1 << QString::fromUtf8("Soros hiba; a modul adatai nem változtak.");
        QTest::newRow("write at block 3")
            << K::Write << 2
            << QString::fromUtf8("Soros hiba a 3. blokknál; a modul adatai nem változtak.");
        QTest::newRow("write at the activation")
            << K::Write << int(ConfigTransfer::kActivation)
            << QString::fromUtf8(
                   "Soros hiba az aktiválásnál; nem tudni, változtak-e a modul adatai.");
        QTest::newRow("compare at block 2")
            << K::Compare << 1 << QString::fromUtf8("Soros hiba a 2. blokknál.");
    }
    void serialErrorSentence() {
        QFETCH(ConfigTransfer::Kind, kind);
        QFETCH(int, endedAt);
        QFETCH(QString, text);
        QCOMPARE(transferwords::serialErrorSentence(kind, endedAt), text);
    }

    void transferSentence() {
        QFETCH(ConfigTransfer::Kind, kind);
        QFETCH(ConfigTransfer::Outcome, outcome);
        QFETCH(int, endedAt);
        QFETCH(QString, text);
        QCOMPARE(transferwords::sentence(kind, outcome, endedAt), text);
    }

    void checksumByteOrder_data() {
        QTest::addColumn<frame::ChecksumOrder>("order");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("PC: most significant first")
            << frame::ChecksumOrder::PcBigEndian << QByteArray("\x00\x00\x7F\x80", 4);
        QTest::newRow("module: least significant first")
            << frame::ChecksumOrder::ModuleLittleEndian << QByteArray("\x80\x7F\x00\x00", 4);
    }
    void checksumByteOrder() {
        QFETCH(frame::ChecksumOrder, order);
        QFETCH(QByteArray, stored);
        // 266 zero bytes: the sum of 0 XOR i over the data is 0 + 1 + ... + 255 = 32640.
        const frame::Frame f = frame::build(QByteArray(), 0, order);
        QCOMPARE(frame::checksum(f), 32640u);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(f.data()) + 266, 4), stored);
    }

    void frameRoundTripAndWrongOrder() {
        const QByteArray data = pattern(256, 3);
        const frame::Frame sent = frame::build(data, 0x1234, frame::ChecksumOrder::PcBigEndian,
                                               QByteArray("\x01\x02", 2));
        const QByteArray digits = frame::toHex(sent);
        QCOMPARE(digits.size(), 540);
        QCOMPARE(digits, digits.toUpper());
        QCOMPARE(digits.mid(528, 4), QByteArray("1234"));  // page number, high byte first

        frame::Frame got{};
        QCOMPARE(frame::decodeHex(digits, got, frame::ChecksumOrder::PcBigEndian),
                 frame::DecodeResult::Ok);
        QCOMPARE(frame::data(got), data);
        QCOMPARE(frame::pageNumber(got), quint16(0x1234));
        QCOMPARE(got[257], quint8(2));
        // The same frame read as a module frame fails its checksum.
        QCOMPARE(frame::decodeHex(digits, got, frame::ChecksumOrder::ModuleLittleEndian),
                 frame::DecodeResult::BadChecksum);
    }

    void checksumSumsUnsignedBytes() {
        // Bytes of 0x80 and above count as 128..255: summed as signed chars they would
        // subtract. 256 bytes of 0xFF XOR i sum to 32640, the 10 further bytes to 2550.
        frame::Frame f{};
        f.fill(0xFF);
        QCOMPARE(frame::checksum(f), 32640u + 2550u);
    }

    void exceptedOffsets_data() {
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("excepted");
        // The first user's name comes back as written: only the codes are skipped.
        for (int i = 0; i <= 9; ++i)
            QTest::addRow("block 0 offset %d (first user's name)", i) << 0 << i << false;
        const int compared[] = {13, 14, 24, 28, 178, 179, 183, 184, 185, 190, 255};
        for (int i : compared) QTest::addRow("block 0 offset %d", i) << 0 << i << false;
        const int excepted[] = {10, 11, 12, 25, 26, 27, 175, 176, 177, 180, 181, 182};
        for (int i : excepted) QTest::addRow("block 0 offset %d", i) << 0 << i << true;
        QTest::newRow("block 1 offset 0 is compared") << 1 << 0 << false;
        QTest::newRow("block 1 offset 180 is compared") << 1 << 180 << false;
    }
    void exceptedOffsets() {
        QFETCH(int, block);
        QFETCH(int, offset);
        QFETCH(bool, excepted);
        QCOMPARE(image::isExceptedOffset(block, offset), excepted);
    }

    void exceptedOffsetsCount() {
        int count = 0;
        for (int i = 0; i < 256; ++i) count += image::isExceptedOffset(0, i) ? 1 : 0;
        QCOMPARE(count, 39);  // twelve user codes and the installer's, three bytes each
    }

    void firstDifference_data() {
        QTest::addColumn<int>("block");
        QTest::addColumn<QList<int>>("changed");
        QTest::addColumn<int>("first");  // -1: the blocks compare equal
        QTest::newRow("nothing changed") << 0 << QList<int>{} << -1;
        QTest::newRow("first user's name, offset 0") << 0 << QList<int>{0} << 0;
        QTest::newRow("first user's name, offset 9") << 0 << QList<int>{9} << 9;
        QTest::newRow("first user's code") << 0 << QList<int>{10, 11, 12} << -1;
        QTest::newRow("second user's code") << 0 << QList<int>{25, 26, 27} << -1;
        QTest::newRow("installer code") << 0 << QList<int>{180, 181, 182} << -1;
        QTest::newRow("every code") << 0 << QList<int>{10, 12, 25, 100, 177, 180, 182} << -1;
        QTest::newRow("first user's rights") << 0 << QList<int>{13} << 13;
        QTest::newRow("code, then the first user's name") << 0 << QList<int>{10, 5} << 5;
        QTest::newRow("installer code, then the first zone") << 0 << QList<int>{181, 183} << 183;
        QTest::newRow("block 1 has no codes") << 1 << QList<int>{0, 181} << 0;
        QTest::newRow("block 1, offset 11") << 1 << QList<int>{11} << 11;
    }
    void firstDifference() {
        QFETCH(int, block);
        QFETCH(QList<int>, changed);
        QFETCH(int, first);
        const QByteArray a = pattern(256);
        QByteArray b = a;
        for (int i : changed) b[i] = char(b[i] ^ 0x5A);
        QCOMPARE(image::firstDifference(block, a, b), first);
    }

    void versionPage_data() {
        QTest::addColumn<QByteArray>("text");    // bytes from 0
        QTest::addColumn<QByteArray>("digits");  // bytes from 32 (written after the text)
        QTest::addColumn<QByteArray>("shown");
        QTest::addColumn<int>("dataVersion");
        QTest::newRow("ordinary") << QByteArray("GSM-Korvanta 4.07") << QByteArray("2")
                                  << QByteArray("GSM-Korvanta 4.07") << 2;
        QTest::newRow("leading zero")
            << QByteArray("v") << QByteArray("02") << QByteArray("v") << 2;
        QTest::newRow("empty field") << QByteArray("v") << QByteArray() << QByteArray("v") << 0;
        QTest::newRow("not a number")
            << QByteArray("v") << QByteArray("x2") << QByteArray("v") << 0;
        // 33 characters: the last one is byte 32, also the first digit.
        QTest::newRow("33-character text")
            << QByteArray(32, 'A') + "3" << QByteArray() << QByteArray(32, 'A') + "3" << 3;
    }
    void versionPage() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, digits);
        QFETCH(QByteArray, shown);
        QFETCH(int, dataVersion);
        QByteArray data(256, '\0');
        data.replace(0, text.size(), text);
        if (!digits.isEmpty()) data.replace(32, digits.size(), digits);
        const VersionPage v =
            parseVersionPage(frame::build(data, 0xFFFF, frame::ChecksumOrder::ModuleLittleEndian));
        QCOMPARE(v.firmwareText, shown);
        QCOMPARE(v.dataVersion, dataVersion);
    }

    void mismatchText() {
        QCOMPARE(dataVersionMismatchText(-1),
                 QStringLiteral("Ehhez a GSM-Korvanta programverzióhoz másik Korvanta Telvora "
                                "program szükséges!   (KorvantaDataVer=-1 , TelvoraDataVer=2)"));
    }

    void dataFileOpen_data() {
        QTest::addColumn<int>("size");  // -1: no file
        QTest::addColumn<QString>("error");
        QTest::newRow("exactly 2048") << 2048 << QString();
        QTest::newRow("2049: last byte ignored") << 2049 << QString();
        QTest::newRow("2047: too short") << 2047 << "Read beyond end of file";
        QTest::newRow("empty") << 0 << "Read beyond end of file";
        QTest::newRow("missing") << -1 << "File not found";
    }
    void dataFileOpen() {
        QFETCH(int, size);
        QFETCH(QString, error);
        const QByteArray content = pattern(qMax(size, 0), 11);
        const QString path = size < 0 ? m_dir.filePath(QStringLiteral("none.KD2"))
                                      : writeFile(QStringLiteral("f%1.KD2").arg(size), content);
        const QByteArray before = pattern(2048, 5);
        ParamImage image = img(before);
        const auto result = datafile::open(path, image);
        QCOMPARE(result.value_or(QString()), error);
        // A failed open changes nothing at all, not even the bytes the file did have.
        QCOMPARE(image.bytes(), error.isEmpty() ? content.left(2048) : before);
    }

    void dataFileOtherErrors() {
        ParamImage image = img(QByteArray(2048, 'a'));
        QCOMPARE(datafile::open(m_dir.filePath("no/such/dir/x.KD2"), image).value_or(QString()),
                 QStringLiteral("Path not found"));
        QCOMPARE(datafile::open(m_dir.path(), image).value_or(QString()),
                 QStringLiteral("Access denied"));
        QCOMPARE(datafile::save(m_dir.filePath("no/such/dir/x.KD2"), image).value_or(QString()),
                 QStringLiteral("Path not found"));
        QCOMPARE(image.bytes(), QByteArray(2048, 'a'));
    }

    void dataFileSaveRoundTripAndReplace() {
        const QString path = m_dir.filePath(QStringLiteral("site.KD2"));
        QVERIFY(!datafile::save(path, img(pattern(2048, 1))));
        QVERIFY(!datafile::save(path, img(pattern(2048, 2))));  // replaced without asking
        QCOMPARE(QFileInfo(path).size(), 2048);
        ParamImage image;
        QVERIFY(!datafile::open(path, image));
        QCOMPARE(image.bytes(), pattern(2048, 2));
        // Nothing but the file itself is left behind.
        QCOMPARE(QDir(m_dir.path()).entryList({"site*"}, QDir::Files).size(), 1);
    }

    void defaultExtension_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("none given") << "/tmp/site"
                                    << "/tmp/site.KD2";
        QTest::newRow("own extension kept") << "/tmp/site.kd2"
                                            << "/tmp/site.kd2";
        QTest::newRow("other extension kept") << "/tmp/site.bak"
                                              << "/tmp/site.bak";
    }
    void defaultExtension() {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QCOMPARE(datafile::withDefaultExtension(typed), saved);
    }
};

QTEST_MAIN(TestConfigCore)
#include "test_config_core.moc"
