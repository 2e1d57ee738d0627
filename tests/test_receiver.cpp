#include <QSignalSpy>
#include <QTest>
#include <iterator>
#include <memory>

#include "link/pageframe.h"
#include "link/lineassembler.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/texts.h"
#include "support/memoryserial.h"

namespace {

// An open link on an in-memory device, recording everything the receiver reports.
struct Rig {
    Rig() : Rig(std::make_unique<MemorySerialDevice>()) {}
    explicit Rig(std::unique_ptr<MemorySerialDevice> dev) : d(dev.get()), link(std::move(dev)) {
        link.ComPort1().open();
    }
    MemorySerialDevice* d;
    ModuleLink link;
    QSignalSpy traffic{&link, &ModuleLink::trafficLine};
    QSignalSpy status{&link, &ModuleLink::statusText};
    QSignalSpy statusFrames{&link, &ModuleLink::statusFrameLine};
    QSignalSpy events{&link, &ModuleLink::eventLine};
    QSignalSpy messages{&link, &ModuleLink::messageLine};
    QSignalSpy radioFrames{&link, &ModuleLink::radioFrameLine};

    static QStringList texts(const QSignalSpy& spy, const QString& prefix = QString()) {
        QStringList out;
        for (const QList<QVariant>& args : spy) out << prefix + args.at(0).toString();
        return out;
    }
    QStringList routed() const {
        return texts(statusFrames, "status:") + texts(events, "event:") +
               texts(messages, "message:") + texts(radioFrames, "radio:");
    }
    // Names of the set flags in declaration order; one added later shows as its number.
    QStringList flags() const {
        static const char* const names[] = {"Connect",    "PasswordError", "PasswordOk",   "Ok",
                                            "WriteOk",    "WriteError",    "RadioRefused", "CrcOk",
                                            "FirmwareOk", "FrameReceived", "FrameError",   "Abort"};
        QStringList out;
        for (int f = 0; f < int(Flag::Count); ++f)
            if (link.flag(Flag(f)))
                out << (f < int(std::size(names)) ? QString(names[f]) : QString::number(f));
        return out;
    }
};

void streamRow(const char* name, const QList<QByteArray>& chunks, const QStringList& flags,
               const QStringList& traffic, const QStringList& status = {},
               const QStringList& routed = {}) {
    QTest::newRow(name) << chunks << flags << traffic << status << routed;
}

QByteArray bytesOf(const frame::Frame& f) {
    return QByteArray(reinterpret_cast<const char*>(f.data()), frame::kSize);
}

}  // namespace


class TestReceiver : public QObject {
    Q_OBJECT
private slots:
    void stream_data() {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QStringList>("traffic");
        QTest::addColumn<QStringList>("status");
        QTest::addColumn<QStringList>("routed");
        const QString remoteOk = QString::fromUtf8(texts::kRemoteOk);
        const QString wrongCode = QString::fromUtf8(texts::kWrongCode);
        streamRow("OK CR LF", {"OK\r\n"}, {"Ok"}, {"OK"});
        streamRow("two lines, one chunk", {"WROK\rCRCOK\r"}, {"WriteOk", "CrcOk"},
                  {"WROK", "CRCOK"});
        streamRow("token split over chunks", {"PW", "DOK\r"}, {"PasswordOk"}, {"PWDOK"}, {""});
        streamRow("LF inside a line", {"O\nK\r"}, {"Ok"}, {"OK"});
        streamRow("CR alone", {"\r"}, {}, {});
        streamRow("CR LF pairs", {"\r\n\r\n"}, {}, {});
        streamRow("PWDOK is not OK", {"PWDOK\r"}, {"PasswordOk"}, {"PWDOK"}, {""});
        streamRow("OK not at start", {"XOK\r"}, {}, {"XOK"});
        streamRow("leading space", {" OK\r"}, {}, {" OK"});
        streamRow("lower case", {"ok\r"}, {}, {"ok"});
        streamRow("OK with suffix", {"OK 2\r"}, {"Ok"}, {"OK 2"});
        streamRow("CONNECT", {"CONNECT 19200\r"}, {"Connect"}, {"CONNECT 19200"}, {remoteOk});
        streamRow("PWDERR", {"PWDERR\r"}, {"PasswordError"}, {"PWDERR"}, {wrongCode});
        for (const char* token : {"WROK", "WRFLERR", "RFTERR", "CRCOK", "FIRMWAREOK", "RDFL"}) {
            static const QHash<QString, QString> flagOf{
                {"WROK", "WriteOk"}, {"WRFLERR", "WriteError"},    {"RFTERR", "RadioRefused"},
                {"CRCOK", "CrcOk"},  {"FIRMWAREOK", "FirmwareOk"}, {"RDFL", "FrameError"}};
            streamRow(token, {token + QByteArray("\r")}, {flagOf[token]}, {token});
        }
        const char* const routes[][2] = {{"AT_[0102", "status"},
                                         {"AT_{0A", "event"},
                                         {"AT_/hi", "message"},
                                         {"AT_<7F", "radio"}};
        for (const auto& r : routes)
            streamRow(r[0], {r[0] + QByteArray("\r")}, {}, {r[0]}, {},
                      {QString(r[1]) + ':' + QString(r[0])});
        streamRow("flags are kept", {"OK\r", "PWDERR\r", "WROK\r"},
                  {"PasswordError", "Ok", "WriteOk"}, {"OK", "PWDERR", "WROK"}, {wrongCode});
        streamRow("traffic in windows-1250", {"\xC1LLAPOT\r"}, {}, {QString::fromUtf8("ÁLLAPOT")});

        const int cap = proto::kMaxLineLength;
        streamRow("overlong line dropped", {QByteArray(5000, 'A') + "\rOK\r"}, {"Ok"}, {"OK"});
        streamRow("overlong token line dropped", {"WROK" + QByteArray(cap - 3, 'A'), "\rOK\r"},
                  {"Ok"}, {"OK"});
        streamRow("line at the cap kept", {"WROK" + QByteArray(cap - 4, 'A') + "\r"}, {"WriteOk"},
                  {"WROK" + QString(cap - 4, QLatin1Char('A'))});
    }
    void stream() {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, flags);
        QFETCH(QStringList, traffic);
        QFETCH(QStringList, status);
        QFETCH(QStringList, routed);
        Rig rig;
        for (const QByteArray& chunk : chunks) rig.d->feed(chunk);
        QCOMPARE(rig.flags(), flags);
        QCOMPARE(Rig::texts(rig.traffic), traffic);
        QCOMPARE(Rig::texts(rig.status), status);
        QCOMPARE(rig.routed(), routed);
    }

    void lineWaitsForItsCr() {
        Rig rig;
        rig.d->feed("WRO");
        QVERIFY(rig.flags().isEmpty());
        QCOMPARE(rig.traffic.count(), 0);
        rig.d->feed("K\r");
        QCOMPARE(rig.flags(), QStringList{"WriteOk"});
    }

    void connectStartsKeepAlive() {
        Rig rig;
        rig.link.CodeTimer().stop();
        rig.d->feed("CONNECT\r");
        QVERIFY(rig.link.CodeTimer().isActive());
    }

    void readFailureKeepsBytesQueued() {
        Rig rig;
        rig.d->feed("WR");
        rig.d->failReads = true;
        rig.d->feed("OK\r");
        QVERIFY(rig.flags().isEmpty());
        QCOMPARE(rig.traffic.count(), 0);
        rig.d->failReads = false;
        rig.d->feed("CRCOK\r");
        QCOMPARE(rig.flags(), (QStringList{"WriteOk", "CrcOk"}));
        QCOMPARE(Rig::texts(rig.traffic), (QStringList{"WROK", "CRCOK"}));
    }

    void pendingLineIsCapped() {
        LineAssembler assembler(proto::kMaxLineLength);
        const QByteArray chunk(1000, 'B');
        int longest = 0;
        for (int c = 0; c < 1000; ++c) {
            for (char byte : chunk) {
                QVERIFY(!assembler.push(byte));
                longest = qMax(longest, int(assembler.pending().size()));
            }
        }
        QCOMPARE(longest, proto::kMaxLineLength);
        QVERIFY(!assembler.push('\r'));
        for (char byte : QByteArray("OK")) QVERIFY(!assembler.push(byte));
        const std::optional<QByteArray> line = assembler.push('\r');
        QVERIFY(line);
        QCOMPARE(*line, QByteArray("OK"));
    }

    void pageFrame_data() {
        QTest::addColumn<QByteArray>("digits");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QByteArray>("buffer");  // empty: not checked
        using Order = frame::ChecksumOrder;
        const QByteArray old =
            bytesOf(frame::build(QByteArray(256, 0x11), 3, Order::ModuleLittleEndian));
        QByteArray data(256, 0);
        for (int i = 0; i < 256; ++i) data[i] = char(i * 37 + 5);
        data[10] = char(0xA5);
        const frame::Frame fresh =
            frame::build(data, 0x0102, Order::ModuleLittleEndian, "further!");
        const QByteArray hex = frame::toHex(fresh);
        const QByteArray now = bytesOf(fresh);
        const QStringList error{"FrameError"};

        QTest::newRow("valid") << hex << QStringList{"FrameReceived"} << now;
        const frame::Frame zero = frame::build(QByteArray(), 0, Order::ModuleLittleEndian);
        QTest::newRow("all zero") << frame::toHex(zero) << QStringList{"FrameReceived"}
                                  << bytesOf(zero);
        QTest::newRow("538 digits") << hex.left(538) << error << old;
        QTest::newRow("542 digits") << hex + "00" << error << old;
        QTest::newRow("space after token") << " " + hex << error << old;
        QByteArray lower = hex;
        lower[20] = 'a';
        // A frame that fails its check leaves the buffer exactly as it was: a reader never
        // sees half of a damaged frame mixed into the last good one.
        QTest::newRow("lower case at byte 10") << lower << error << old;
        QByteArray last = hex;
        last[539] = 'G';
        QTest::newRow("bad digit in last byte") << last << error << old;
        QTest::newRow("checksum in PC order")
            << frame::toHex(frame::build(QByteArray(), 0, Order::PcBigEndian)) << error << old;
        frame::Frame wrong = fresh;
        wrong[0] ^= 1;
        QTest::newRow("wrong checksum") << frame::toHex(wrong) << error << old;

        // Two frame answers in one burst: the first one decides what the reader gets.
        const QByteArray good = "RDFL" + hex;
        QTest::newRow("good, then damaged copy")
            << hex + "\r\n" + "RDFL" + frame::toHex(wrong) << QStringList{"FrameReceived"} << now;
        QTest::newRow("good, then lower-case copy")
            << hex + "\r\n" + "RDFL" + lower << QStringList{"FrameReceived"} << now;
        QTest::newRow("damaged, then good copy")
            << frame::toHex(wrong) + "\r\n" + good << error << old;
        QTest::newRow("good, then another good frame")
            << hex + "\r\n" + "RDFL" + frame::toHex(zero) << QStringList{"FrameReceived"} << now;
    }
    void pageFrame() {
        QFETCH(QByteArray, digits);
        QFETCH(QStringList, flags);
        QFETCH(QByteArray, buffer);
        Rig rig;
        const frame::Frame old =
            frame::build(QByteArray(256, 0x11), 3, frame::ChecksumOrder::ModuleLittleEndian);
        rig.d->feed("RDFL" + frame::toHex(old) + "\r\n");
        QCOMPARE(rig.flags(), QStringList{"FrameReceived"});
        rig.link.clearFlags({Flag::FrameReceived});

        rig.d->feed("RDFL" + digits + "\r\n");
        QCOMPARE(rig.flags(), flags);
        if (!buffer.isEmpty()) QCOMPARE(bytesOf(rig.link.frameBuffer()), buffer);
    }
};

QTEST_MAIN(TestReceiver)
#include "test_receiver.moc"
