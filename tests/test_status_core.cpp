#include <QTest>
#include <QTimer>
#include <functional>

#include "link/exchange.h"
#include "link/texts.h"
#include "status/alarmstop.h"
#include "status/statusframe.h"
#include "status/statuspoller.h"
#include "support/linkrig.h"

Q_DECLARE_METATYPE(TextColour)

namespace {

// A frame of a version with every field at '0', the separators in place, and the characters
// of `set` ("pos=c pos=c ...", positions counted from the line's first character) put in.
QByteArray frameOf(int version, const QByteArray& set = {}) {
    const int length = QList<int>{84, 86, 89, 92}.at(version - 1);
    QByteArray f(length, '0');
    f.replace(0, 4, "AT_[");
    for (int pos : {36, 51, 65, 68, 78, 81}) f[pos] = ',';
    f[length - 1] = ']';
    for (const QByteArray& p : set.split(' ')) {
        if (p.isEmpty()) continue;
        const int eq = p.indexOf('=');
        f[p.left(eq).toInt()] = p.mid(eq + 1).isEmpty() ? ' ' : p.at(eq + 1);
    }
    return f;
}

// The label a field's name stands for.
LabelView field(const StatusView& v, const QString& name) {
    if (name == QLatin1String("battery")) return v.battery;
    if (name == QLatin1String("mains")) return v.mains;
    if (name == QLatin1String("temp")) return {v.temperature, std::nullopt};
    if (name == QLatin1String("gsm")) return {QString::number(v.gsm), std::nullopt};
    if (name == QLatin1String("keypad")) return v.keypad;
    if (name == QLatin1String("fix")) return v.fixed;
    if (name == QLatin1String("inputA")) return v.input[0];
    if (name == QLatin1String("inputB")) return v.input[1];
    const int n = name.right(1).toInt();
    if (name.startsWith(QLatin1String("loop"))) return v.loop[size_t(name.mid(4).toInt() - 1)];
    if (name.startsWith(QLatin1String("alarm"))) return v.alarm[size_t(name.mid(5).toInt() - 1)];
    if (name.startsWith(QLatin1String("part"))) return v.partition[size_t(n - 1)];
    if (name.startsWith(QLatin1String("rel"))) return v.relay[size_t(n - 1)];
    if (name.startsWith(QLatin1String("out"))) return v.output[size_t(n - 1)];
    qFatal("no field %s", qPrintable(name));
}

const TextColour kRed = colours::kRed, kGreen = colours::kGreen, kBlack = colours::kBlack,
                 kGrey = colours::kGrey;
const TextColour kUnchanged{-1, -1, -1};  // the frame leaves the label's colour alone

QByteArray charOf(int value) { return QByteArray(1, char(48 + value)); }

}  // namespace

// The status frame and the event line, decoded into what the status window shows.
class TestStatusCore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void fields_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QByteArray>("set");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<TextColour>("colour");
        auto row = [](const char* tag, int version, const QByteArray& set, const char* name,
                      const char* text, TextColour colour) {
            QTest::newRow(tag) << version << set << name << QString::fromUtf8(text) << colour;
        };
        // Frame versions: what each carries and what it leaves out.
        row("v1 mains unknown", 1, "", "mains", "?", kGrey);
        row("v1 no temperature", 1, "", "temp", "", kUnchanged);
        row("v1 terminal voltage, two decimals", 1, "", "battery", "0.00V", kUnchanged);
        row("v2 86 chars: mains", 2, "84=1", "mains", "OK", kGreen);
        row("v2 mains absent", 2, "84=0", "mains", "0V", kRed);
        row("v2 anything but 0 is mains", 2, "84=x", "mains", "OK", kGreen);
        row("v2 86 chars: no temperature", 2, "84=1", "temp", "", kUnchanged);
        row("v2 86 chars: terminal voltage alone", 2, "66=? 67=X", "battery", "16.30V", kUnchanged);
        row("v3 battery then terminal", 3, "86=? 87=X 66=1 67=e", "battery", "16.3V / 2.0V",
            kUnchanged);
        row("v3 no temperature", 3, "86=3", "temp", "", kUnchanged);
        row("v4 mains", 4, "84=0", "mains", "0V", kRed);
        // Temperature: sign and magnitude in two 4-bit characters.
        row("temperature 133 is -5", 4, "89=8 90=5", "temp", "-5 C°", kUnchanged);
        row("temperature 23", 4, "89=1 90=7", "temp", "23 C°", kUnchanged);
        row("temperature 128 is 0", 4, "89=8 90=0", "temp", "0 C°", kUnchanged);
        row("temperature 255 is -127", 4, "89=? 90=?", "temp", "-127 C°", kUnchanged);
        // Voltages: raw = high * 64 + low, shown from 2.0 V up.
        row("raw 0", 1, "66=0 67=0", "battery", "0.00V", kUnchanged);
        row("raw 100", 1, "66=1 67=T", "battery", "0.00V", kUnchanged);
        row("raw 116", 1, "66=1 67=d", "battery", "0.00V", kUnchanged);
        row("raw 117", 1, "66=1 67=e", "battery", "2.00V", kUnchanged);
        row("raw 1000", 1, "66=? 67=X", "battery", "16.30V", kUnchanged);
        row("raw 4095", 1, "66=o 67=o", "battery", "67.10V", kUnchanged);
        row("6-bit wraps: '0'+64 is 0", 1, "66=p 67=p", "battery", "0.00V", kUnchanged);
        // Zones by wiring mode (zone 1: state at 37, mode at 52; zone 12: 48 and 63).
        row("mode 2 state 1", 1, "52=2 37=1", "loop1", "1k", kUnchanged);
        row("mode 2 state 1 alarm", 1, "52=2 37=1", "alarm1", "Alaphelyzet", kGreen);
        row("mode 2 state 0", 1, "52=2 37=0", "loop1", "Rövidzár", kUnchanged);
        row("mode 2 state 0 alarm", 1, "52=2 37=0", "alarm1", "Szabotázs", kRed);
        row("mode 2 state 2 alarm", 1, "52=2 37=2", "alarm1", "Riasztás", kRed);
        row("mode 2 state 3 alarm", 1, "52=2 37=3", "alarm1", "Szabotázs", kRed);
        row("mode 2 state 4", 1, "52=2 37=4", "loop1", ".", kUnchanged);
        row("mode 2 state 4 alarm", 1, "52=2 37=4", "alarm1", ".", kBlack);
        row("mode 0 short is alarm", 1, "63=0 48=0", "alarm12", "Riasztás", kRed);
        row("mode 0 2k at rest", 1, "63=0 48=2", "alarm12", "Alaphelyzet", kGreen);
        row("mode 0 below '0' is alarm", 1, "63=0 48=/", "alarm12", "Riasztás", kRed);
        row("mode 0 below '0' loop", 1, "63=0 48=/", "loop12", ".", kUnchanged);
        row("mode 0 high state at rest", 1, "63=0 48=z", "alarm12", "Alaphelyzet", kGreen);
        row("mode 1 1k at rest", 1, "53=1 38=1", "alarm2", "Alaphelyzet", kGreen);
        row("mode 1 open is alarm", 1, "53=1 38=3", "alarm2", "Riasztás", kRed);
        row("mode 1 open loop", 1, "53=1 38=3", "loop2", "Szakadás", kUnchanged);
        row("mode 1 high state is alarm", 1, "53=1 38=z", "alarm2", "Riasztás", kRed);
        row("mode 1 below '0' at rest", 1, "53=1 38=/", "alarm2", "Alaphelyzet", kGreen);
        row("unknown mode", 1, "53=7 38=1", "alarm2", ".", kBlack);
        row("unknown mode loop", 1, "53=7 38=1", "loop2", "1k", kUnchanged);
        // Mode 3: bits 0-1 the state, 2-3 and 4-5 the sub-inputs, 6 and 7 their marks.
        row("mode 3 0x45 loop", 1, "54=3 39=" + charOf(0x45), "loop3", "V! A1  /  B0", kRed);
        row("mode 3 0x45 alarm", 1, "54=3 39=" + charOf(0x45), "alarm3", "Alaphelyzet", kGreen);
        row("mode 3 0x3E loop", 1, "54=3 39=" + charOf(0x3E), "loop3", "A-  /  B-", kBlack);
        row("mode 3 0x3E alarm", 1, "54=3 39=" + charOf(0x3E), "alarm3", "Riasztás", kRed);
        row("mode 3 0x80 loop", 1, "54=3 39=" + charOf(0x80), "loop3", "A0  /  V! B0", kRed);
        row("mode 3 0x80 tamper", 1, "54=3 39=" + charOf(0x80), "alarm3", "Szabotázs", kRed);
        row("mode 3 state 3", 1, "54=3 39=" + charOf(0x17), "alarm3", ".", kBlack);
        // Inputs A and B: loop text only.
        row("input A 2k", 1, "49=2", "inputA", "2k", kUnchanged);
        row("input B open", 1, "50=3", "inputB", "Szakadás", kUnchanged);
        row("input B out of range", 1, "50=9", "inputB", ".", kUnchanged);
        // Partitions, relays, outputs, supplies, GSM.
        row("partition 1 armed", 1, "79=1", "part1", "Élesítve", kRed);
        row("partition 2 disarmed", 1, "80=0", "part2", "Kikapcsolva", kGreen);
        row("relay 3 on", 1, "73=1", "rel3", "BE", kGreen);
        row("relay 1 off", 1, "71=x", "rel1", "KI", kBlack);
        row("OUT 1 on", 1, "69=1", "out1", "12 V", kGreen);
        row("OUT 1 overcurrent wins", 1, "69=1 76=1", "out1", "Túláram", kRed);
        row("OUT 2 off", 1, "70=0", "out2", "0 V", kBlack);
        row("OUT 2 overcurrent while off", 1, "77=1", "out2", "Túláram", kRed);
        row("keypad overcurrent", 1, "74=1", "keypad", "Túláram", kRed);
        row("fixed 12 V", 1, "75=0", "fix", "12 V", kGreen);
        row("GSM 31", 1, "82=O", "gsm", "31", kUnchanged);
        row("GSM past the bar's end", 1, "82=P", "gsm", "32", kUnchanged);
        row("GSM below 0", 1, "82=/", "gsm", "-1", kUnchanged);
    }
    void fields() {
        QFETCH(int, version);
        QFETCH(QByteArray, set);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(TextColour, colour);
        const std::optional<StatusView> v = decodeStatusFrame(frameOf(version, set));
        QVERIFY(v);
        QCOMPARE(v->version, version);
        const LabelView label = field(*v, name);
        QCOMPARE(label.text, text);
        QCOMPARE(label.colour.has_value(), colour != kUnchanged);
        if (label.colour) QVERIFY(*label.colour == colour);
    }

    void decimalSeparatorOfTheLocale() {
        const QLocale hungarian(QLocale::Hungarian, QLocale::Hungary);
        QCOMPARE(decodeStatusFrame(frameOf(1, "66=? 67=X"), hungarian)->battery.text,
                 QStringLiteral("16,30V"));
        QCOMPARE(decodeStatusFrame(frameOf(4, "86=? 87=X 66=1 67=e"), hungarian)->battery.text,
                 QStringLiteral("16,3V / 2,0V"));
    }

    void rejected_data() {
        QTest::addColumn<QByteArray>("line");
        for (int length : {83, 85, 87, 88, 90, 91, 93}) {
            QByteArray f = frameOf(4).left(length - 1) + ']';
            for (int pos : {36, 51, 65, 68, 78, 81})
                if (pos < length - 1) f[pos] = ',';
            QTest::addRow("length %d", length) << f;
        }
        for (int version = 1; version <= 4; ++version)
            for (int pos : {36, 51, 65, 68, 78, 81}) {
                QByteArray f = frameOf(version);
                f[pos] = ';';
                QTest::addRow("v%d no comma at %d", version, pos) << f;
            }
        for (int version = 1; version <= 4; ++version) {
            QByteArray f = frameOf(version);
            f[f.size() - 1] = '0';
            QTest::addRow("v%d no closing bracket", version) << f;
        }
        QByteArray v2withV1Close = frameOf(2);
        v2withV1Close[85] = '0';
        v2withV1Close[83] = ']';
        QTest::newRow("v2 closed where v1 would be") << v2withV1Close;
    }
    void rejected() {
        QFETCH(QByteArray, line);
        QVERIFY(!decodeStatusFrame(line));
    }

    void eventLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("record");
        QTest::addColumn<QByteArray>("bytes");  // the record's eight bytes, as hex
        const QByteArray r0 = "1D23081E0F00110E";
        const QByteArray full = "AT_{" + r0 + "01300101010100FF" + QByteArray(6 * 16, 'A');
        QTest::newRow("first record") << full << 0 << r0;
        QTest::newRow("second record") << full << 1 << QByteArray("01300101010100FF");
        QTest::newRow("eighth record") << full << 7 << QByteArray("AAAAAAAAAAAAAAAA");
        QTest::newRow("anything after the eighth is not read")
            << full + "FFFF" << 7 << QByteArray("AAAAAAAAAAAAAAAA");
        QByteArray lower = full;
        lower.replace(4, 16, r0.toLower());
        QTest::newRow("lower case pairs are 0") << lower << 0 << QByteArray("0023080000001100");
        QByteArray odd = full;
        odd[4 + 16 + 3] = 'G';  // the second byte of record 1
        QTest::newRow("one bad digit zeroes its pair")
            << odd << 1 << QByteArray("01000101010100FF");
        QTest::newRow("short line: cut in record 2")
            << full.left(4 + 2 * 16 + 5) << 2 << QByteArray("AAAA000000000000");
        QTest::newRow("short line: nothing of record 5")
            << full.left(60) << 5 << QByteArray(16, '0');
        QTest::newRow("only the token") << QByteArray("AT_{") << 0 << QByteArray(16, '0');
    }
    void eventLine() {
        QFETCH(QByteArray, line);
        QFETCH(int, record);
        QFETCH(QByteArray, bytes);
        const auto records = decodeEventLine(line);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(records[size_t(record)].bytes.data()), 8)
                     .toHex()
                     .toUpper(),
                 bytes);
    }

    // The status window's polls without the window: what each tick sends and says. A script
    // is one letter a tick: 't' a tick, 'r' the module refuses the last poll ("PWDERR"), 'a' a
    // good status frame came, 'h' a hold of 3 ticks begins, 'x' the tick falls inside another
    // exchange, 'c' the port is closed.
    void statusPollerTicks_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("sent");    // 'S' status poll, 'E' event poll, '-' nothing
        QTest::addColumn<QByteArray>("warned");  // per tick: 's' silent, 'w' wrong code, 'p' no port
        QTest::newRow("status and event polls in turn") << QByteArray("tttt") << QByteArray("ESES")
                                                        << QByteArray("----");
        QTest::newRow("three status polls unanswered: silent")
            << QByteArray("ttttttt") << QByteArray("ESESESE") << QByteArray("------s");
        QTest::newRow("an answer starts the count again")
            << QByteArray("ttttatttt") << QByteArray("ESESESES") << QByteArray("--------");
        QTest::newRow("a refused poll: wrong code at the next tick")
            << QByteArray("trt") << QByteArray("ES") << QByteArray("-w");
        QTest::newRow("a hold: nothing goes out while it counts")
            << QByteArray("thttt") << QByteArray("E---") << QByteArray("----");
        QTest::newRow("another exchange: nothing, and its refusal is not the poll's")
            << QByteArray("txrt") << QByteArray("E-E") << QByteArray("---");
        QTest::newRow("a closed port: said, nothing sent")
            << QByteArray("ctt") << QByteArray("--") << QByteArray("pp");
    }
    void statusPollerTicks() {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, warned);
        LinkRig rig;
        StatusPoller polls(*rig.link);
        polls.line().start();
        polls.reset();
        QByteArray gotSent;
        QByteArray gotWarned;
        auto tick = [&] {
            const qsizetype before = rig.lines.size();
            const char* w = polls.tick();
            gotWarned += !w                                 ? '-'
                         : !qstrcmp(w, texts::kModuleSilent) ? 's'
                         : !qstrcmp(w, texts::kWrongCode)    ? 'w'
                         : !qstrcmp(w, texts::kNoSerial)     ? 'p'
                                                             : '?';
            if (rig.lines.size() == before) {
                gotSent += '-';
                return;
            }
            const QByteArray line = rig.lines.last();
            gotSent += line.startsWith("RPWS") ? 'S' : line.startsWith("RPWE") ? 'E' : '?';
        };
        for (char c : script) {
            switch (c) {
                case 't':
                    tick();
                    break;
                case 'r':
                    rig.link->HandleAnswerLine("PWDERR");
                    break;
                case 'a':
                    polls.answered();
                    break;
                case 'h':
                    polls.line().pause() = 3;
                    break;
                case 'x': {
                    ModuleExchange exchange(*rig.link);
                    tick();
                    rig.link->HandleAnswerLine("PWDERR");
                    break;
                }
                case 'c':
                    rig.link->ComPort1().close();
                    break;
            }
        }
        QCOMPARE(gotSent, sent);
        QCOMPARE(gotWarned, warned);
    }

    // The hold counts down by the poller's own ticks, and ends early when what it waits for
    // has gone; a partition command never goes into a held line.
    void linePollerHoldAndCommands() {
        LinkRig rig;
        LinePoller poller(*rig.link);
        poller.start();
        QVERIFY(!rig.link->CodeTimer().isActive());
        QTimer ticks;
        ticks.setInterval(1);
        QObject::connect(&ticks, &QTimer::timeout, [&] { poller.tick(); });
        ticks.start();
        QVERIFY(poller.hold(4, 1, [] { return false; }));
        QCOMPARE(poller.pause(), 1);
        QVERIFY(!poller.hold(4, 1, [] { return true; }));
        ticks.stop();
        poller.pause() = 0;

        QVERIFY(poller.command(proto::kAuthPartition1On));
        QCOMPARE(rig.lines.size(), 1);
        {
            ModuleExchange exchange(*rig.link);
            QVERIFY(!poller.command(proto::kAuthPartition1On));
        }
        QCOMPARE(rig.lines.size(), 1);
        poller.stop();
        QVERIFY(rig.link->CodeTimer().isActive());
    }

    // The status window's alarm stop: a stop after each hold of its polls, the third's verdict
    // counts; a hold that fails ends it as the module's silence, a closed window without a word.
    void alarmStopBetweenPolls_data() {
        QTest::addColumn<QByteArray>("holds");  // per hold: 'h' held, 'l' lost, 'g' window gone
        QTest::addColumn<int>("stopsSent");
        QTest::addColumn<int>("verdict");  // -1: none
        QTest::newRow("held twice, stopped") << QByteArray("hh") << 3 << int(alarmstop::Verdict::Stopped);
        QTest::newRow("first hold lost") << QByteArray("l") << 0 << int(alarmstop::Verdict::NoAnswer);
        QTest::newRow("second hold lost") << QByteArray("hl") << 1 << int(alarmstop::Verdict::NoAnswer);
        QTest::newRow("window closed at the second hold") << QByteArray("hg") << 1 << -1;
    }
    void alarmStopBetweenPolls() {
        QFETCH(QByteArray, holds);
        QFETCH(int, stopsSent);
        QFETCH(int, verdict);
        LinkRig rig;
        int stops = 0;
        rig.answer = [&](const QByteArray& line) -> QByteArray {
            if (!line.startsWith("RSTP")) return {};
            return ++stops == 3 ? "PWDOK\r\n" : QByteArray();
        };
        ModuleExchange exchange(*rig.link);
        QList<int> pauses;
        int next = 0;
        const std::optional<alarmstop::Verdict> got =
            alarmstop::stopBetweenPolls(exchange, [&](int pause) {
                pauses << pause;
                const char c = holds.at(next++);
                return c == 'h' ? alarmstop::Hold::Held
                                : c == 'l' ? alarmstop::Hold::Lost : alarmstop::Hold::Gone;
            });
        QCOMPARE(stops, stopsSent);
        QCOMPARE(got ? int(*got) : -1, verdict);
        QCOMPARE(pauses.first(), alarmstop::kHoldBeforeExchange);
        if (pauses.size() > 1) QCOMPARE(pauses.at(1), alarmstop::kHoldBetweenStops);
    }

    void messageText() {
        QCOMPARE(moduleMessageText("AT_/Akku t\xF6lt\xE9se"), QStringLiteral("Akku töltése"));
        QCOMPARE(moduleMessageText("AT_/"), QString());
    }
};

QTEST_MAIN(TestStatusCore)
#include "test_status_core.moc"
