#include "status/statusframe.h"

#include "link/hex.h"
#include "link/protocol.h"
#include "link/textcodec.h"

namespace statusframe {

int versionOfLength(int length) {
    switch (length) {
        case kLengthV1:
            return 1;
        case kLengthV2:
            return 2;
        case kLengthV3:
            return 3;
        case kLengthV4:
            return 4;
        default:
            return 0;
    }
}

int lengthOfVersion(int version) {
    constexpr int kLengths[] = {kLengthV1, kLengthV2, kLengthV3, kLengthV4};
    return version >= 1 && version <= 4 ? kLengths[version - 1] : 0;
}

int voltageTenths(int raw) {
    // The divider's offset puts anything under about 2 V below the first real reading, so
    // the module's own rounding leaves it at 0.
    constexpr int kOffset = 3600, kDivisor = 61, kBase = 59, kFloor = 20;
    const int v = (raw * 10 - kOffset) / kDivisor + kBase;  // C++ truncates toward zero
    return v < kFloor ? 0 : v;
}

int temperatureDegrees(int t) {
    constexpr int kSign = 128;
    return t >= kSign ? -(t - kSign) : t;
}

}  // namespace statusframe

namespace {

using namespace statusframe;
namespace c = colours;

constexpr int kWiringBitField = 3;

// The frame's characters count from '0'; a byte below it gives a negative value.
int digitAt(const QByteArray& line, int pos) { return int(quint8(line.at(pos))) - kDigitZero; }

int sixBits(const QByteArray& line, int pos) { return digitAt(line, pos) & 0x3F; }
int fourBits(const QByteArray& line, int pos) { return digitAt(line, pos) & 0x0F; }

int rawPair(const QByteArray& line, int pos) {
    return sixBits(line, pos) * 64 + sixBits(line, pos + 1);
}

double volts(const QByteArray& line, int pos) { return voltageTenths(rawPair(line, pos)) / 10.0; }

bool isOne(const QByteArray& line, int pos) { return line.at(pos) == '1'; }

QString loopText(int s) {
    switch (s) {
        case 0:
            return QStringLiteral("Rövidzár");
        case 1:
            return QStringLiteral("1k");
        case 2:
            return QStringLiteral("2k");
        case 3:
            return QStringLiteral("Szakadás");
        default:
            return QStringLiteral(".");
    }
}

// A radio zone reports two sub-inputs in one character: bits 2-3 and 4-5 their states
// (3: none), bits 6 and 7 their warning marks, bits 0-1 the zone's alarm state.
QString bitFieldLoopText(int s) {
    auto sub = [s](int shift, int markBit, const char* name) {
        const int value = (s >> shift) & 3;
        return QString::fromLatin1((s >> markBit) & 1 ? "V! " : "") + QLatin1String(name) +
               (value == 3 ? QStringLiteral("-") : QString::number(value));
    };
    return sub(2, 6, "A") + QStringLiteral("  /  ") + sub(4, 7, "B");
}

enum class Alarm { Normal, Alarm, Tamper, None };

Alarm alarmState(int m, int s) {
    switch (m) {
        case 0:
            return s <= 1 ? Alarm::Alarm : Alarm::Normal;
        case 1:
            return s <= 1 ? Alarm::Normal : Alarm::Alarm;
        case 2:
            switch (s) {
                case 0:
                case 3:
                    return Alarm::Tamper;
                case 1:
                    return Alarm::Normal;
                case 2:
                    return Alarm::Alarm;
                default:
                    return Alarm::None;
            }
        case kWiringBitField:
            switch (s & 3) {
                case 0:
                    return Alarm::Tamper;
                case 1:
                    return Alarm::Normal;
                case 2:
                    return Alarm::Alarm;
                default:
                    return Alarm::None;
            }
        default:
            return Alarm::None;
    }
}

LabelView alarmView(Alarm a) {
    switch (a) {
        case Alarm::Normal:
            return {QStringLiteral("Alaphelyzet"), c::kGreen};
        case Alarm::Alarm:
            return {QStringLiteral("Riasztás"), c::kRed};
        case Alarm::Tamper:
            return {QStringLiteral("Szabotázs"), c::kRed};
        case Alarm::None:
            break;
    }
    return {QStringLiteral("."), c::kBlack};
}

LabelView outputView(const QByteArray& line, int overcurrent, int on) {
    if (isOne(line, overcurrent)) return {QStringLiteral("Túláram"), c::kRed};
    if (isOne(line, on)) return {QStringLiteral("12 V"), c::kGreen};
    return {QStringLiteral("0 V"), c::kBlack};
}

LabelView supplyView(const QByteArray& line, int overcurrent) {
    return isOne(line, overcurrent) ? LabelView{QStringLiteral("Túláram"), c::kRed}
                                    : LabelView{QStringLiteral("12 V"), c::kGreen};
}

bool wellFormed(const QByteArray& line, int version) {
    if (version == 0 || !line.startsWith(proto::kStatusFrame) || !line.endsWith(kClose))
        return false;
    for (int pos : kCommas)
        if (line.at(pos) != kComma) return false;
    return true;
}

}  // namespace

std::optional<StatusView> decodeStatusFrame(const QByteArray& line, const QLocale& locale) {
    const int version = versionOfLength(int(line.size()));
    if (!wellFormed(line, version)) return std::nullopt;

    StatusView v;
    v.version = version;
    for (int z = 0; z < kZones; ++z) {
        const int s = digitAt(line, kLoopStates + z);
        const int m = digitAt(line, kWiringModes + z);
        if (m == kWiringBitField) {
            const bool marked = (s >> 6) & 3;
            v.loop[size_t(z)] = {bitFieldLoopText(s), marked ? c::kRed : c::kBlack};
        } else {
            v.loop[size_t(z)] = {loopText(s), std::nullopt};
        }
        v.alarm[size_t(z)] = alarmView(alarmState(m, s));
    }
    v.input[0] = {loopText(digitAt(line, kInputA)), std::nullopt};
    v.input[1] = {loopText(digitAt(line, kInputB)), std::nullopt};

    if (version <= 2) {
        v.battery.text = locale.toString(volts(line, kTerminalVoltage), 'f', 2) + QLatin1Char('V');
    } else {
        v.battery.text = locale.toString(volts(line, kBatteryVoltage), 'f', 1) +
                         QStringLiteral("V / ") +
                         locale.toString(volts(line, kTerminalVoltage), 'f', 1) + QLatin1Char('V');
    }

    for (int p = 0; p < 2; ++p)
        v.partition[size_t(p)] = isOne(line, kPartition1Armed + p)
                                     ? LabelView{QStringLiteral("Élesítve"), c::kRed}
                                     : LabelView{QStringLiteral("Kikapcsolva"), c::kGreen};
    v.output[0] = outputView(line, kOut1Overcurrent, kOut1On);
    v.output[1] = outputView(line, kOut2Overcurrent, kOut2On);
    v.keypad = supplyView(line, kKeypadOvercurrent);
    v.fixed = supplyView(line, kFixedOvercurrent);
    for (int r = 0; r < 3; ++r)
        v.relay[size_t(r)] = isOne(line, kRelay1On + r)
                                 ? LabelView{QStringLiteral("BE"), c::kGreen}
                                 : LabelView{QStringLiteral("KI"), c::kBlack};
    v.gsm = digitAt(line, kGsmLevel);

    if (version == 1)
        v.mains = {QStringLiteral("?"), c::kGrey};
    else if (line.at(kMainsPresent) == '0')
        v.mains = {QStringLiteral("0V"), c::kRed};
    else
        v.mains = {QStringLiteral("OK"), c::kGreen};

    if (version == 4) {
        const int t = fourBits(line, kTemperature) * 16 + fourBits(line, kTemperature + 1);
        v.temperature = QString::number(temperatureDegrees(t)) + QStringLiteral(" C°");
    }
    return v;
}

std::array<EventRecord, kEventLineRecords> decodeEventLine(const QByteArray& line) {
    constexpr int kFirst = 4;  // after "AT_{"
    constexpr int kRecordDigits = 16;
    auto digit = [&line](int pos) {
        return pos < line.size() ? hex::digitValue(line.at(pos)) : -1;
    };
    std::array<EventRecord, kEventLineRecords> records{};
    for (int k = 0; k < kEventLineRecords; ++k)
        for (int i = 0; i < 8; ++i) {
            const int pos = kFirst + kRecordDigits * k + 2 * i;
            const int high = digit(pos), low = digit(pos + 1);
            records[size_t(k)].bytes[size_t(i)] = high < 0 || low < 0 ? 0 : quint8(high * 16 + low);
        }
    return records;
}

QString moduleMessageText(const QByteArray& line) {
    return fromModuleText(line.mid(int(qstrlen(proto::kMessageLine))));
}
