#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <map>

#include "firmware/firmwareform.h"
#include "firmware/gkffile.h"
#include "firmware/upload.h"
#include "link/exchange.h"
#include "link/hex.h"
#include "link/texts.h"
#include "support/linkrig.h"

// Firmware files: reading and descrambling their lines, the pages and the control page built
// from them; and the window's upload with its attempts, Stop, and the module's check.
namespace {

// Records whose bytes say where they are: record r holds r in its header and r + i in data i.
QByteArray binaryOf(int records, int extraBytes = 0) {
    QByteArray out;
    for (int r = 0; r < records; ++r) {
        out += char(r >> 8);
        out += char(r);
        for (int i = 0; i < gkf::kDataBytes; ++i) out += char(r * 7 + i);
    }
    for (int i = 0; i < extraBytes; ++i) out += char(0x30 + i);
    return out;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return QString();
    f.write(bytes);
    return path;
}

gkf::Image imageOfLines(const QList<QByteArray>& lines) {
    std::vector<gkf::Record> records;
    for (int i = 0; i < lines.size(); ++i) records.push_back(gkf::decodeLine(lines[i], i));
    return gkf::build(records);
}

QByteArray bytesOf(const frame::Frame& f, int from, int count) {
    return QByteArray(reinterpret_cast<const char*>(f.data()) + from, count);
}

quint16 sumOf(const gkf::Image& image, int first, int count) {
    quint32 sum = 0;
    for (int p = first; p < first + count; ++p) sum += frame::checksum(image.pages[size_t(p)]);
    return quint16(sum);
}

// The page number a written frame's digits carry.
int pageOfDigits(const QByteArray& digits) {
    return digits.mid(2 * frame::kPageHighOffset, 4).toInt(nullptr, 16);
}

// Per page (0-based) the answers of its attempts in turn.
using Script = QMap<int, QList<QByteArray>>;

const QByteArray kPwdOk = "PWDOK\r\n";
const QByteArray kWrOk = "WROK\r\n";

}  // namespace

class TestFirmware : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Known answers of the two passes, worked out by hand from the key: with seed s and line
    // L, data byte k - 3 is XORed with key[x1 % 8] and key[x2 % 8], where x1 starts at the
    // seed's low digit and steps by k + its high digit, x2 likewise from L.
    void descrambling_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("line");
        QTest::addColumn<QList<int>>("keyPairs");  // per data byte 0..2: the two key indexes
        // Seed 0 on line 0, and seed 0x10 on line 16, run both passes alike: they cancel.
        QTest::newRow("seed 00, line 0") << 0x00 << 0 << QList<int>{0, 0, 0, 0, 0, 0};
        QTest::newRow("seed 10, line 16") << 0x10 << 16 << QList<int>{0, 0, 0, 0, 0, 0};
        // x1: 1+3=4, 4+4=8, 8+5=13; x2: 3, 7, 12.
        QTest::newRow("seed 01, line 0") << 0x01 << 0 << QList<int>{4, 3, 0, 7, 5, 4};
        // x1 (h=2, x=3): 8, 14, 21; x2 (L=1: h=0, x=1): 4, 8, 13.
        QTest::newRow("seed 23, line 1") << 0x23 << 1 << QList<int>{0, 4, 6, 0, 5, 5};
        // Line 257 counts as line 1 for the second pass (L mod 256).
        QTest::newRow("seed 23, line 257") << 0x23 << 257 << QList<int>{0, 4, 6, 0, 5, 5};
        // x1 (h=15, x=15): 33, 67, 107 (mod 256); x2 (L=255: h=15, x=15): the same.
        QTest::newRow("seed FF, line 255") << 0xFF << 255 << QList<int>{0, 0, 0, 0, 0, 0};
    }
    void descrambling() {
        QFETCH(int, seed);
        QFETCH(int, line);
        QFETCH(QList<int>, keyPairs);
        const QByteArray text = ":" + hex::byteToHex(quint8(seed)) + "ABCD" + QByteArray(128, '0');
        const gkf::Record r = gkf::decodeLine(text, line);
        QCOMPARE(int(r[0]), 0xAB);
        QCOMPARE(int(r[1]), 0xCD);
        const auto& key = gkf::kDescramblingKey;
        for (int i = 0; i < 3; ++i) {
            const int a = keyPairs[2 * i], b = keyPairs[2 * i + 1];
            QCOMPARE(int(r[size_t(2 + i)]), (a == b) ? 0 : int(key[size_t(a)] ^ key[size_t(b)]));
        }
    }

    void lineReading_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("sameAs");  // a line that must read the same
        const QByteArray full = ":5A1234" + QByteArray("0123456789ABCDEF").repeated(8);
        QTest::newRow("characters after 135 ignored") << full + "FFEE" << full;
        QTest::newRow("lower case counts as 0")
            << QByteArray(":5a1234") + full.mid(7) << QByteArray(":501234") + full.mid(7);
        QTest::newRow("short line: missing digits are 0")
            << full.left(20) << full.left(20) + QByteArray(115, '0');
        QTest::newRow("empty line") << QByteArray() << ":" + QByteArray(134, '0');
        QTest::newRow("other characters count as 0")
            << QByteArray(":5A12 G") + full.mid(7) << QByteArray(":5A1200") + full.mid(7);
    }
    void lineReading() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, sameAs);
        for (int index : {0, 3, 300})
            QCOMPARE(gkf::decodeLine(line, index), gkf::decodeLine(sameAs, index));
    }

    void splittingLines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QList<QByteArray>{"a", "b"};
        QTest::newRow("CR") << QByteArray("a\rb\r") << QList<QByteArray>{"a", "b"};
        QTest::newRow("no end after the last") << QByteArray("a\nb") << QList<QByteArray>{"a", "b"};
        QTest::newRow("empty lines count")
            << QByteArray("a\n\n\r\nb\n") << QList<QByteArray>{"a", "", "", "b"};
        QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{};
        QTest::newRow("long line kept to 135")
            << QByteArray(500, 'F') + "\nx" << QList<QByteArray>{QByteArray(135, 'F'), "x"};
    }
    void splittingLines() {
        QFETCH(QByteArray, text);
        QFETCH(QList<QByteArray>, lines);
        QCOMPARE(gkf::splitLines(text), lines);
    }

    void pagesAndControlPage_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("pages");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("1 line") << 1 << 1;
        QTest::newRow("4 lines") << 4 << 1;
        QTest::newRow("5 lines") << 5 << 2;
        QTest::newRow("20 lines") << 20 << 5;
        QTest::newRow("21 lines") << 21 << 6;
        QTest::newRow("2048 lines") << 2048 << 512;
        QTest::newRow("2049 lines: the last is dropped") << 2049 << 512;
    }
    void pagesAndControlPage() {
        QFETCH(int, lines);
        QFETCH(int, pages);
        const std::optional<QByteArray> text = gkf::fromBinary(binaryOf(qMin(lines, 2048)));
        QVERIFY(text);
        QByteArray file = *text;
        if (lines > 2048) file += ":" + QByteArray(134, 'F') + "\r\n";
        const QString path = writeFile(m_dir, QStringLiteral("f%1.GKF").arg(lines), file);
        gkf::Image image;
        QVERIFY(!gkf::load(path, image));
        QCOMPARE(image.pageCount(), pages);
        QCOMPARE(image.lineCount, qMin(lines, 2048));
        // The records come back as they went in; what no line fills is 255.
        QCOMPARE(gkf::recordBytes(image), binaryOf(qMin(lines, 2048)));
        for (int f = 0; f < pages; ++f) {
            const frame::Frame& p = image.pages[size_t(f)];
            QCOMPARE(int(frame::pageNumber(p)), 33 + f);
            QCOMPARE(frame::storedChecksum(p, frame::ChecksumOrder::PcBigEndian),
                     frame::checksum(p));
        }
        if (pages > 0) {
            const frame::Frame& last = image.pages.back();
            const int used = (lines > 2048 ? 2048 : lines) - 4 * (pages - 1);
            QCOMPARE(bytesOf(last, 66 * used, 264 - 66 * used),
                     QByteArray(264 - 66 * used, '\xFF'));
        }
        const frame::Frame& c = image.control;
        for (int g = 0; g < 128; ++g) {
            const int first = 4 * g;
            const int count = qBound(0, pages - first, 4);
            const quint16 sum = count ? sumOf(image, first, count) : 0;
            QCOMPARE(int(c[size_t(2 * g)]), sum >> 8);
            QCOMPARE(int(c[size_t(2 * g + 1)]), sum & 0xFF);
        }
        QCOMPARE(int(c[256]), pages >> 8);
        QCOMPARE(int(c[257]), pages & 0xFF);
        QCOMPARE(bytesOf(c, 258, 6), QByteArray("FIRMW."));
        QCOMPARE(int(c[264]), 2);
        QCOMPARE(int(c[265]), 33);
        QCOMPARE(frame::storedChecksum(c, frame::ChecksumOrder::PcBigEndian), frame::checksum(c));
    }

    void loadFailures_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error");
        QTest::newRow("no such file")
            << m_dir.filePath(QStringLiteral("none.GKF")) << "File not found";
        QTest::newRow("no such folder")
            << m_dir.filePath(QStringLiteral("no/x.GKF")) << "Path not found";
        QTest::newRow("a folder") << m_dir.path() << "Access denied";
    }
    void loadFailures() {
        QFETCH(QString, path);
        QFETCH(QString, error);
        gkf::Image image = imageOfLines({":00"});
        QCOMPARE(gkf::load(path, image), std::optional<QString>(error));
        QCOMPARE(image.pageCount(), 1);
    }

    void progress_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::newRow("no pages: no negative maximum") << 0 << 0 << 1 << 0;
        QTest::newRow("one page is full at once") << 0 << 1 << 1 << 1;
        QTest::newRow("first of 5") << 0 << 5 << 4 << 0;
        QTest::newRow("last of 5 is full") << 4 << 5 << 4 << 4;
        QTest::newRow("last of 512") << 511 << 512 << 511 << 511;
    }
    void progress() {
        QFETCH(int, page);
        QFETCH(int, pages);
        QFETCH(int, maximum);
        QFETCH(int, position);
        const firmware::Progress p = firmware::progressAt(page, pages);
        QCOMPARE(p.maximum, maximum);
        QCOMPARE(p.position, position);
    }

    void windowLoad() {
        LinkRig rig;
        TFormFirmware form(*rig.link, rig.dialogs);
        QVERIFY(!form.btStart->isEnabled());
        QVERIFY(form.btCRC_Restart->isEnabled());
        QCOMPARE(form.ProgressBar1->maximum(), 100);
        form.btLoad->click();  // cancelled
        QVERIFY(!form.image());
        QCOMPARE(rig.dialogs.filters,
                 QStringList{QStringLiteral("GSM Korvanta Firmware file (*.GKF)")});
        rig.dialogs.paths = {
            writeFile(m_dir, QStringLiteral("w.GKF"), *gkf::fromBinary(binaryOf(9)))};
        form.btLoad->click();
        QVERIFY(form.btStart->isEnabled());
        QCOMPARE(form.statusText(), QString::fromUtf8(" Fájl megnyitás rendben."));
        QCOMPARE(form.image()->pageCount(), 3);
        // A failed load keeps what was loaded.
        rig.dialogs.paths = {m_dir.filePath(QStringLiteral("missing.GKF"))};
        form.btLoad->click();
        QCOMPARE(rig.dialogs.messages, QStringList{QStringLiteral("File not found")});
        QCOMPARE(form.image()->pageCount(), 3);
        QVERIFY(rig.d->written.isEmpty());
        // Stop outside an upload is no one's: it must not reach another window's transfer.
        form.btStop->click();
        QVERIFY(!rig.link->flag(Flag::Stop));
    }

    void upload_data() {
        QTest::addColumn<QByteArray>("loginReply");
        // Per page (0-based) the answers of its attempts in turn; pages not named: "WROK".
        QTest::addColumn<Script>("answers");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QList<int>>("pagesWritten");  // 0-based, every attempt
        QTest::addColumn<QStringList>("messages");
        const QString done = QString::fromUtf8(firmware::kUploadDone);
        const QString failed = QString::fromUtf8(firmware::kUploadFailed);
        QTest::newRow("every page first time")
            << kPwdOk << Script{} << done << QList<int>{0, 1, 2, 3, 4} << QStringList();
        QTest::newRow("page 2 on its second attempt")
            << kPwdOk << Script{{2, {"", kWrOk}}} << done << QList<int>{0, 1, 2, 2, 3, 4}
            << QStringList();
        // "WRFLERR" is no verdict for a firmware page: the attempt waits on and runs out.
        QTest::newRow("WRFLERR, then WROK") << kPwdOk << Script{{0, {"WRFLERR\r\n", kWrOk}}} << done
                                            << QList<int>{0, 0, 1, 2, 3, 4} << QStringList();
        QTest::newRow("last page never acknowledged")
            << kPwdOk << Script{{4, {"WRFLERR\r\n", "", "CRCOK\r\n"}}} << failed
            << QList<int>{0, 1, 2, 3, 4, 4, 4} << QStringList();
        QTest::newRow("login refused")
            << QByteArray("PWDERR\r\n") << Script{} << failed << QList<int>{}
            << QStringList{QString::fromUtf8(texts::kWrongCode)};
    }
    void upload() {
        QFETCH(QByteArray, loginReply);
        QFETCH(Script, answers);
        QFETCH(QString, status);
        QFETCH(QList<int>, pagesWritten);
        QFETCH(QStringList, messages);
        LinkRig rig;
        rig.link->CodeTimer().start();
        TFormFirmware form(*rig.link, rig.dialogs);
        rig.dialogs.paths = {
            writeFile(m_dir, QStringLiteral("u.GKF"), *gkf::fromBinary(binaryOf(18)))};
        form.btLoad->click();
        QList<int> written;
        QList<int> progress;
        bool buttonsOff = true;
        rig.answer = [&](const QByteArray& line) -> QByteArray {
            if (line.startsWith("RPWD")) return loginReply;
            if (line.size() != frame::kHexDigits) return {};
            const int page = pageOfDigits(line) - 33;
            written << page;
            progress << form.ProgressBar1->value();
            buttonsOff = buttonsOff && !form.btLoad->isEnabled() && !form.btStart->isEnabled();
            QList<QByteArray>& script = answers[page];
            return script.isEmpty() ? kWrOk : script.takeFirst();
        };
        form.btStart->click();
        QCOMPARE(written, pagesWritten);
        QCOMPARE(form.statusText(), status);
        QCOMPARE(rig.dialogs.messages, messages);
        QVERIFY(buttonsOff);
        QVERIFY(form.btLoad->isEnabled() && form.btStart->isEnabled());
        QVERIFY(rig.link->CodeTimer().isActive());
        QCOMPARE(form.ProgressBar1->maximum(), 4);
        // The bar shows the page being sent, and is full while the last one goes.
        QCOMPARE(progress, pagesWritten);
        // Every frame is the page as loaded, whole.
        for (const QByteArray& l : rig.lines)
            if (l.size() == frame::kHexDigits)
                QCOMPARE(l, frame::toHex(form.image()->pages[size_t(pageOfDigits(l) - 33)]));
    }

    void startOrCheckWithNothingToSend_data() {
        QTest::addColumn<bool>("loadEmptyFile");
        QTest::newRow("nothing loaded") << false;
        QTest::newRow("empty file loaded") << true;
    }
    void startOrCheckWithNothingToSend() {
        QFETCH(bool, loadEmptyFile);
        LinkRig rig;
        rig.answer = [](const QByteArray&) { return kPwdOk; };
        TFormFirmware form(*rig.link, rig.dialogs);
        if (loadEmptyFile) {
            rig.dialogs.paths = {writeFile(m_dir, QStringLiteral("e.GKF"), QByteArray())};
            form.btLoad->click();
            QCOMPARE(form.image()->pageCount(), 0);
            QVERIFY(form.btStart->isEnabled());
        }
        for (auto click : {&TFormFirmware::btStartClick, &TFormFirmware::btCRC_RestartClick}) {
            form.StatusBar1->clearMessage();
            (form.*click)();
            QCOMPARE(form.statusText(), QString::fromUtf8(firmware::kNothingLoaded));
        }
        QVERIFY(rig.d->written.isEmpty());
        QVERIFY(form.ProgressBar1->maximum() >= 0);
        QVERIFY(form.ProgressBar1->minimum() == 0);
    }

    void check_data() {
        QTest::addColumn<QByteArray>("loginReply");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("messages");
        const QString failed = QString::fromUtf8(firmware::kCheckFailed);
        QTest::newRow("FIRMWAREOK") << kPwdOk << QByteArray("FIRMWAREOK\r\n")
                                    << QString::fromUtf8("A CRC ellenőrzés sikerült.")
                                    << QStringList{QString::fromUtf8(firmware::kRestarting)};
        QTest::newRow("no answer") << kPwdOk << QByteArray() << failed << QStringList();
        QTest::newRow("WROK is no verdict") << kPwdOk << kWrOk << failed << QStringList();
        QTest::newRow("login refused")
            << QByteArray("PWDERR\r\n") << QByteArray("FIRMWAREOK\r\n") << failed
            << QStringList{QString::fromUtf8(texts::kWrongCode)};
    }
    void check() {
        QFETCH(QByteArray, loginReply);
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        QFETCH(QStringList, messages);
        LinkRig rig;
        TFormFirmware form(*rig.link, rig.dialogs);
        rig.dialogs.paths = {
            writeFile(m_dir, QStringLiteral("c.GKF"), *gkf::fromBinary(binaryOf(7)))};
        form.btLoad->click();
        QString statusMeanwhile;
        rig.answer = [&](const QByteArray& line) -> QByteArray {
            if (line.startsWith("RPWD")) return loginReply;
            if (line.size() != frame::kHexDigits) return {};
            statusMeanwhile = form.statusText();
            return reply;
        };
        form.btCRC_Restart->click();
        QCOMPARE(form.statusText(), status);
        QCOMPARE(rig.dialogs.messages, messages);
        QVERIFY(form.btStart->isEnabled() && form.btLoad->isEnabled());
        if (loginReply != kPwdOk) return;
        QCOMPARE(statusMeanwhile, QString::fromUtf8("CRC ellenőrzés..."));
        QCOMPARE(rig.commands(),
                 (QList<QByteArray>{QByteArray("RPWD") + kRigCode, "WRFL", "<frame>"}));
        QCOMPARE(rig.lines.last(), frame::toHex(form.image()->control));
    }

    void closedPortOrBusyLinkSendsNothing() {
        LinkRig rig;
        TFormFirmware form(*rig.link, rig.dialogs);
        rig.dialogs.paths = {
            writeFile(m_dir, QStringLiteral("b.GKF"), *gkf::fromBinary(binaryOf(7)))};
        form.btLoad->click();
        {
            ModuleExchange other(*rig.link);
            for (QPushButton* b : {form.btStart, form.btCRC_Restart}) {
                form.StatusBar1->clearMessage();
                b->click();
                QCOMPARE(form.statusText(), QString::fromUtf8(texts::kBusy));
            }
            QCOMPARE(form.ProgressBar1->maximum(), 100);
        }
        rig.link->ComPort1().close();
        for (QPushButton* b : {form.btStart, form.btCRC_Restart}) b->click();
        QCOMPARE(rig.dialogs.messages, QStringList(2, QString::fromUtf8(texts::kNoSerial)));
        QVERIFY(rig.d->written.isEmpty());
    }
};

QTEST_MAIN(TestFirmware)
#include "test_firmware.moc"
