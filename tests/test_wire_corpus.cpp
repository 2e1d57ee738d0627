// The literal lines of tests/data/wire, written by hand from the wire formats, against both
// sides: the program's encoders and decoders, and the simulated module's.

#include <QDeadlineTimer>
#include <QFile>
#include <QLocale>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/eventwait.h"
#include "clock/clockpage.h"
#include "config/versionquery.h"
#include "events/eventrecord.h"
#include "firmware/gkffile.h"
#include "link/codestring.h"
#include "link/hex.h"
#include "link/pageframe.h"
#include "link/protocol.h"
#include "radio/radioframe.h"
#include "sim/korvantasim.h"
#include "status/statusframe.h"

namespace {

using Order = frame::ChecksumOrder;

// The rows of a corpus file: fields split at " | ", quotes taken off, "-" an empty field;
// notes ("#") and empty lines skipped. Each row remembers its line number for its test name.
struct Row {
    int line;
    QStringList fields;
};

QList<Row> corpus(const char* file) {
    QFile f(QStringLiteral(TELVORA_WIRE_DIR "/") + QLatin1String(file));
    if (!f.open(QIODevice::ReadOnly)) qFatal("cannot read %s", file);
    QList<Row> rows;
    int number = 0;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        ++number;
        const QString text = QString::fromUtf8(raw);
        if (text.trimmed().isEmpty() || text.startsWith(QLatin1Char('#'))) continue;
        QStringList fields = text.split(QStringLiteral(" | "));
        for (QString& field : fields) {
            field = field.trimmed();
            if (field == QLatin1String("-")) field.clear();
            if (field.size() >= 2 && field.startsWith('"') && field.endsWith('"'))
                field = field.mid(1, field.size() - 2);
        }
        rows.append({number, fields});
    }
    return rows;
}

// Rows whose first field is `kind`, without that field.
QList<Row> corpus(const char* file, const char* kind) {
    QList<Row> rows;
    for (Row r : corpus(file))
        if (r.fields.first() == QLatin1String(kind)) {
            r.fields.removeFirst();
            rows.append(r);
        }
    return rows;
}

QByteArray name(const char* file, const Row& row) {
    return QByteArray(file) + ':' + QByteArray::number(row.line);
}

Order orderOf(const QString& who) {
    return who == QLatin1String("pc") ? Order::PcBigEndian : Order::ModuleLittleEndian;
}

frame::Frame decoded(const QByteArray& digits, Order order) {
    frame::Frame f{};
    const frame::DecodeResult r = frame::decodeHex(digits, f, order);
    if (r != frame::DecodeResult::Ok) qWarning("frame does not decode: %d", int(r));
    return f;
}

QByteArray hexBytes(const QString& digits) { return QByteArray::fromHex(digits.toLatin1()); }


}  // namespace

class TestWireCorpus : public QObject {
    Q_OBJECT

    KorvantaSim m_sim;
    QSerialPort m_port;

    // Sends a line (CR added) and returns the module's answer without its CR LF: everything it
    // wrote while it handled the line.
    QByteArray send(const QByteArray& line) {
        const qsizetype lines = m_sim.receivedLines().size();
        const qint64 before = m_sim.bytesSent();
        m_port.write(line + '\r');
        if (!waitUntil([&] { return m_sim.receivedLines().size() > lines; })) return "<unheard>";
        const qint64 n = m_sim.bytesSent() - before;
        if (!waitUntil([&] { return m_port.bytesAvailable() >= n; })) return "<lost>";
        const QByteArray answer = m_port.read(n);
        return answer.endsWith("\r\n") ? answer.chopped(2) : answer;
    }

    bool login() {
        m_sim.setInstallerCode(QStringLiteral("1234"));
        return send(authorisedCommand(proto::kAuthLogin, QStringLiteral("1234"))) == "PWDOK";
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_sim.start());
        m_port.setPortName(m_sim.slavePath());
        QVERIFY(m_port.open(QIODevice::ReadWrite));
    }

    // --- What the PC sends ---

    void authorisedCommands_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("line");
        for (const Row& r : corpus("commands.txt", "auth"))
            QTest::newRow(name("commands.txt", r))
                << r.fields[0] << r.fields[1].toInt() << r.fields[2].toLatin1();
    }
    void authorisedCommands() {
        QFETCH(QString, typed);
        QFETCH(int, command);
        QFETCH(QByteArray, line);
        const QString digits = installerCodeDigits(typed);
        QCOMPARE(authorisedCommand(command, digits), line);
        if (line.isEmpty()) return;
        QCOMPARE(codeString(digits), line.right(6));
        if (command != proto::kAuthLogin) return;
        // The module takes the login of its own code, and refuses it under another.
        m_sim.setInstallerCode(digits);
        QCOMPARE(send(line), QByteArray("PWDOK"));
        m_sim.setInstallerCode(digits + QLatin1Char('9'));
        QCOMPARE(send(line), digits.size() >= 6 ? QByteArray("PWDOK") : QByteArray("PWDERR"));
    }

    void readRequests_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QByteArray>("line");
        for (const Row& r : corpus("commands.txt", "read"))
            QTest::newRow(name("commands.txt", r)) << r.fields[0].toInt() << r.fields[1].toLatin1();
    }
    void readRequests() {
        QFETCH(int, page);
        QFETCH(QByteArray, line);
        QCOMPARE(proto::kReadFrame + hex::wordToHex(std::uint16_t(page)), line);
        // The module answers with a frame of the page it was asked for.
        QVERIFY(login());
        const QByteArray answer = send(line);
        QVERIFY(answer.startsWith(proto::kReadFrame));
        const frame::Frame f = decoded(answer.mid(4), Order::ModuleLittleEndian);
        QCOMPARE(int(frame::pageNumber(f)), page);
    }

    void words() {
        const QList<Row> rows = corpus("commands.txt", "word");
        QCOMPARE(rows.size(), 2);
        QCOMPARE(QByteArray(proto::kWriteFrame), rows[0].fields[1].toLatin1());
        QCOMPARE(QByteArray(proto::kActivate), rows[1].fields[1].toLatin1());
        QVERIFY(login());
        QCOMPARE(send(rows[1].fields[1].toLatin1()), QByteArray(proto::kCrcOk));
    }

    // --- Page frames ---

    void pageFrames_data() {
        QTest::addColumn<QString>("who");
        QTest::addColumn<int>("page");
        QTest::addColumn<quint32>("checksum");
        QTest::addColumn<QByteArray>("digits");
        for (const Row& r : corpus("pageframes.txt"))
            QTest::newRow(name("pageframes.txt", r))
                << r.fields[0] << r.fields[1].toInt() << r.fields[2].toUInt()
                << r.fields[3].toLatin1();
    }
    void pageFrames() {
        QFETCH(QString, who);
        QFETCH(int, page);
        QFETCH(quint32, checksum);
        QFETCH(QByteArray, digits);
        const Order order = orderOf(who);
        const Order other =
            order == Order::PcBigEndian ? Order::ModuleLittleEndian : Order::PcBigEndian;
        frame::Frame f{};
        QCOMPARE(frame::decodeHex(digits, f, order), frame::DecodeResult::Ok);
        QCOMPARE(int(frame::pageNumber(f)), page);
        QCOMPARE(frame::checksum(f), checksum);
        QCOMPARE(frame::storedChecksum(f, order), checksum);
        frame::Frame g{};
        QCOMPARE(frame::decodeHex(digits, g, other), frame::DecodeResult::BadChecksum);
        const QByteArray data = frame::data(f);
        QCOMPARE(frame::toHex(frame::build(data, std::uint16_t(page), order)), digits);

        QVERIFY(login());
        QByteArray memory = m_sim.memory();
        if (order == Order::ModuleLittleEndian) {
            // The module's answer to the read of a block that holds this data.
            memory.replace(page * KorvantaSim::kBlockSize, KorvantaSim::kBlockSize, data);
            m_sim.setMemory(memory);
            QCOMPARE(send(proto::kReadFrame + hex::wordToHex(std::uint16_t(page))),
                     proto::kReadFrame + digits);
        } else {
            // The module keeps what the PC writes, and takes no frame in its own byte order.
            QCOMPARE(send(proto::kWriteFrame), QByteArray());
            QCOMPARE(send(digits), QByteArray(proto::kWriteOk));
            QCOMPARE(m_sim.pendingBlock(page), data);
            frame::Frame reversed = f;
            frame::storeChecksum(reversed, other);
            QCOMPARE(send(proto::kWriteFrame), QByteArray());
            QCOMPARE(send(frame::toHex(reversed)), QByteArray(proto::kWriteError));
        }
    }

    void versionPages_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("digits");
        QTest::addColumn<int>("dataVersion");
        QTest::addColumn<QByteArray>("line");
        for (const Row& r : corpus("versionpages.txt"))
            QTest::newRow(name("versionpages.txt", r))
                << r.fields[0].toLatin1() << r.fields[1].toLatin1() << r.fields[2].toInt()
                << r.fields[3].toLatin1();
    }
    void versionPages() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, digits);
        QFETCH(int, dataVersion);
        QFETCH(QByteArray, line);
        const VersionPage page = parseVersionPage(decoded(line.mid(4), Order::ModuleLittleEndian));
        QCOMPARE(page.firmwareText, text);
        QCOMPARE(page.dataVersion, dataVersion);

        QVERIFY(login());
        m_sim.setFirmwareText(text);
        m_sim.setDataVersionText(digits);
        QCOMPARE(send("RDFLFFFF"), line);
    }

    void clockPages_data() {
        QTest::addColumn<QString>("who");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        for (const Row& r : corpus("clockpages.txt")) {
            QByteArray bytes;
            for (const QString& n : r.fields[1].split(QLatin1Char(' '))) bytes += char(n.toInt());
            QTest::newRow(name("clockpages.txt", r))
                << r.fields[0] << bytes << r.fields[2] << r.fields[3].toLatin1();
        }
    }
    void clockPages() {
        QFETCH(QString, who);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        QVERIFY(login());
        if (who == QLatin1String("module")) {
            const frame::Frame f = decoded(line.mid(4), Order::ModuleLittleEndian);
            QCOMPARE(frame::data(f).left(bytes.size()), bytes);
            QCOMPARE(clockpage::clockText(f), text);
            if (quint8(bytes[0]) > 99) return;  // no clock of the module's can show that
            // The module's answer carries its clock's date and time in the same places.
            m_sim.setClock(QDateTime(QDate(2000 + bytes[0], bytes[1], bytes[2]),
                                     QTime(bytes[3], bytes[4], bytes[5])));
            const QByteArray answer = send("RDFLFFFE");
            QVERIFY(answer.startsWith(proto::kReadFrame));
            const frame::Frame g = decoded(answer.mid(4), Order::ModuleLittleEndian);
            QCOMPARE(frame::data(g).left(5), bytes.left(5));
        } else {
            const QDateTime local = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm"));
            QVERIFY(local.isValid());
            QCOMPARE(frame::toHex(clockpage::setFrame(local)), line);
            // The module sets its clock from it.
            QCOMPARE(send(proto::kWriteFrame), QByteArray());
            QCOMPARE(send(line), QByteArray(proto::kWriteOk));
            QVERIFY(qAbs(m_sim.clockNow().secsTo(local)) < 60);
        }
    }

    // --- Lines the module sends of its own kinds ---

    void statusFrames_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("shown");
        for (const Row& r : corpus("statusframes.txt"))
            QTest::newRow(name("statusframes.txt", r))
                << r.fields[0].toUtf8() << r.fields[1].toInt() << r.fields.mid(2);
    }
    void statusFrames() {
        QFETCH(QByteArray, line);
        QFETCH(int, version);
        QFETCH(QStringList, shown);
        const std::optional<StatusView> v = decodeStatusFrame(line, QLocale::c());
        QCOMPARE(v.has_value(), version != 0);
        if (!v) return;
        QCOMPARE(v->version, version);
        const QStringList got{v->battery.text,         v->mains.text,        v->temperature,
                              QString::number(v->gsm), v->partition[0].text, v->partition[1].text,
                              v->loop[0].text,         v->alarm[0].text,     v->output[0].text,
                              v->relay[0].text};
        QCOMPARE(got, shown);

        // The module's frame of the same version: as long, and it says what the module's
        // state holds.
        m_sim.setStatusVersion(version);
        const QByteArray own = m_sim.statusFrame();
        QCOMPARE(own.size(), line.size());
        const std::optional<StatusView> w = decodeStatusFrame(own, QLocale::c());
        QVERIFY(w);
        QCOMPARE(w->version, version);
        QCOMPARE(w->gsm, m_sim.state().gsmLevel());
        if (version >= 4)
            QCOMPARE(w->temperature, QStringLiteral("%1 C°").arg(m_sim.state().temperature()));
    }

    void eventRecords_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("shown");
        for (const Row& r : corpus("eventlines.txt", "record"))
            QTest::newRow(name("eventlines.txt", r)) << hexBytes(r.fields[0]) << r.fields.mid(1);
    }
    void eventRecords() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, shown);
        EventRecord record;
        std::copy(bytes.begin(), bytes.end(), record.bytes.begin());
        const EventRow row = decodeEventRecord(record, ZoneUserVariant::StatusWindow);
        QCOMPARE(row.shown, !shown[0].isEmpty());
        if (!row.shown) return;
        QString marks;
        for (const QString& m : row.marks) marks += m;
        QCOMPARE((QStringList{row.time, row.text, row.zoneUser, marks, row.status}), shown);
    }

    void eventLines() {
        const QList<Row> records = corpus("eventlines.txt", "record");
        const QList<Row> lines = corpus("eventlines.txt", "line");
        QCOMPARE(records.size(), kEventLineRecords);
        QCOMPARE(lines.size(), 1);
        const int newest = lines[0].fields[0].toInt();
        const QByteArray line = lines[0].fields[1].toLatin1();
        const std::array<EventRecord, kEventLineRecords> got = decodeEventLine(line);
        for (int k = 0; k < kEventLineRecords; ++k)
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(got[size_t(k)].bytes.data()), 8),
                     hexBytes(records[k].fields[0]));

        // The module's line from an event memory holding those records, newest first around
        // the ring.
        QByteArray memory(ModuleState::kEventMemorySize, '\0');
        int slot = newest;
        for (const Row& r : records) {
            memory.replace(slot * eventring::kRecordSize, eventring::kRecordSize,
                           hexBytes(r.fields[0]));
            slot = slot == 0 ? eventring::kSlots - 1 : slot - 1;
        }
        memory[eventring::kNewestSlotOffset] = char(newest);
        ModuleState state;
        state.setEventMemory(memory);
        QCOMPARE(state.eventLine(), line);
    }

    void lenientEventLines_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        for (const char* kind : {"short", "lower"})
            for (const Row& r : corpus("eventlines.txt", kind)) {
                const QStringList two = r.fields[1].split(QLatin1Char(' '));
                QTest::newRow(name("eventlines.txt", r))
                    << r.fields[0].toLatin1() << hexBytes(two[0]) << hexBytes(two[1]);
            }
    }
    void lenientEventLines() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        const std::array<EventRecord, kEventLineRecords> got = decodeEventLine(line);
        auto bytesOf = [](const EventRecord& r) {
            return QByteArray(reinterpret_cast<const char*>(r.bytes.data()), 8);
        };
        QCOMPARE(bytesOf(got[0]), first);
        for (int k = 1; k < kEventLineRecords; ++k) QCOMPARE(bytesOf(got[size_t(k)]), second);
    }

    void messages_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        for (const Row& r : corpus("messages.txt"))
            QTest::newRow(name("messages.txt", r)) << r.fields[0].toLatin1() << r.fields[1];
    }
    void messages() {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        QCOMPARE(moduleMessageText(line), text);
    }

    void radioFrames_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("strength");
        QTest::addColumn<QString>("shownSlots");
        for (const Row& r : corpus("radioframes.txt"))
            QTest::newRow(name("radioframes.txt", r))
                << r.fields[0].toLatin1() << r.fields[1] << r.fields[2];
    }
    void radioFrames() {
        QFETCH(QByteArray, line);
        QFETCH(QString, strength);
        QFETCH(QString, shownSlots);
        const std::optional<radio::FrameView> v = radio::decode(line);
        QCOMPARE(v.has_value(), !strength.isEmpty());
        if (!v) return;
        QCOMPARE(QString::number(v->strength), strength);
        const QStringList colours{"face", "teal", "blue", "yellow", "red"};  // SlotColour order
        std::array<radio::SlotView, radio::kSlots> expected;
        expected.fill({QString::fromLatin1(radio::kEmpty), radio::SlotColour::ButtonFace});
        for (const QString& s : shownSlots.split(QLatin1Char(' '))) {
            const int slot = s.section(QLatin1Char('='), 0, 0).toInt();
            const QString view = s.section(QLatin1Char('='), 1);
            expected[size_t(slot)] = {view.section(QLatin1Char('/'), 0, 0),
                                      radio::SlotColour(colours.indexOf(view.section('/', 1)))};
        }
        for (int s = 0; s < radio::kSlots; ++s) {
            QCOMPARE(v->slotViews[size_t(s)].text, expected[size_t(s)].text);
            QCOMPARE(v->slotViews[size_t(s)].colour, expected[size_t(s)].colour);
        }
    }

    // The simulated module's radio frame for the slots of the corpus's first frame: slot 0
    // taught by its device (the strongest signal), the others set as that frame says, slot 5
    // being taught.
    void simulatorRadioFrame() {
        const QByteArray line = corpus("radioframes.txt").first().fields[0].toLatin1();
        RadioSlots radioSlots;
        radioSlots.setTeachMs(0);
        QVERIFY(radioSlots.teach(0));
        radioSlots.triggerDevice();
        const QByteArray statuses = hexBytes(QString::fromLatin1(line.mid(4, 2 * radio::kSlots)));
        for (int s = 1; s < radio::kSlots; ++s) radioSlots.setStatus(s, quint8(statuses[s]));
        QVERIFY(radioSlots.teach(5));
        QCOMPARE(radioSlots.frameLine(), line);
    }

    // --- Firmware ---

    void firmwareFile() {
        const QList<Row> lines = corpus("firmware.txt", "line");
        const QList<Row> records = corpus("firmware.txt", "record");
        const QList<Row> pages = corpus("firmware.txt", "page");
        const QList<Row> control = corpus("firmware.txt", "control");
        QCOMPARE(lines.size(), records.size());
        QCOMPARE(control.size(), 1);

        std::vector<gkf::Record> decodedRecords;
        for (int i = 0; i < lines.size(); ++i) {
            const gkf::Record r = gkf::decodeLine(lines[i].fields[1].toLatin1(), i);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.data()), gkf::kRecordSize),
                     hexBytes(records[i].fields[1]));
            decodedRecords.push_back(r);
        }
        const gkf::Image image = gkf::build(decodedRecords);
        QCOMPARE(image.pageCount(), pages.size());
        for (int p = 0; p < pages.size(); ++p) {
            QCOMPARE(int(frame::pageNumber(image.pages[size_t(p)])), pages[p].fields[0].toInt());
            QCOMPARE(frame::toHex(image.pages[size_t(p)]), pages[p].fields[1].toLatin1());
        }
        QCOMPARE(frame::toHex(image.control), control[0].fields[1].toLatin1());

        // The module takes the pages and checks them against the control page; a control page
        // whose group sum is one off fails.
        FirmwareStore store;
        for (const Row& p : pages) store.store(decoded(p.fields[1].toLatin1(), Order::PcBigEndian));
        frame::Frame wrong = decoded(control[0].fields[1].toLatin1(), Order::PcBigEndian);
        wrong[1] ^= 1;
        frame::storeChecksum(wrong, Order::PcBigEndian);
        QVERIFY(!store.check(wrong));
        QVERIFY(store.check(decoded(control[0].fields[1].toLatin1(), Order::PcBigEndian)));
        QCOMPARE(store.installed().left(gkf::kRecordSize), hexBytes(records[0].fields[1]));
    }
};

QTEST_GUILESS_MAIN(TestWireCorpus)
#include "test_wire_corpus.moc"
