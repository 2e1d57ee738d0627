#include "sim/modulestate.h"

#include <QList>
#include <algorithm>

#include "link/hex.h"
#include "link/protocol.h"
#include "link/textcodec.h"
#include "status/statusframe.h"

namespace {

using namespace eventring;
namespace sf = statusframe;

// Event types, as the module numbers them.
constexpr int kZoneAlarm = 1;    // zone n: 2n - 1
constexpr int kZoneRestore = 2;  // zone n: 2n
constexpr int kTamper = 25, kTamperRestore = 26;
constexpr int kArm1 = 27, kDisarm1 = 29;  // partition 2: one more
constexpr int kTestReport = 31;
constexpr int kMainsFail = 32, kMainsBack = 33;
constexpr int kRadioBatteryLow = 37;
constexpr int kProgrammed = 43;
constexpr int kFieldLow = 44, kFieldBack = 45;

// Notification marks (byte 6) and flags (byte 7) of a record.
constexpr quint8 kCallAndSms1 = 0x11;  // T1 and S1 pending
constexpr quint8 kSms1 = 0x10;
constexpr quint8 kStopped = 0x02;
constexpr quint8 kDelayed = 0x10;

// The zone that comes and goes while the simulator runs (a door in daily use).
constexpr int kLiveZone = 5;
constexpr int kLiveZonePeriod = 12;  // steps
constexpr int kMessagePeriod = 15;
// Battery and terminal voltage stay near a charged lead-acid battery.
constexpr int kBatteryLowest = 128, kBatteryHighest = 136;
constexpr int kTerminalLowest = 134, kTerminalHighest = 139;
constexpr int kGsmLowest = 12, kGsmHighest = 26;

EventRecord record(int type, int number, const QDateTime& when, quint8 marks, quint8 flags) {
    EventRecord r;
    r.bytes = {quint8(type),
               quint8((when.date().month() << 4) | (number & 0x0F)),
               quint8(when.date().day()),
               quint8(when.time().hour()),
               quint8(when.time().minute()),
               0,
               marks,
               flags};
    return r;
}

// The smallest raw reading that shows `tenths`.
int rawOfTenths(int tenths) {
    int raw = std::max(0, ((tenths - 59) * 61 + 3600) / 10 - 1);
    while (raw < 4095 && sf::voltageTenths(raw) < tenths) ++raw;
    return raw;
}

void putSixBitPair(QByteArray& frame, int pos, int raw) {
    frame[pos] = char(sf::kDigitZero + ((raw >> 6) & 0x3F));
    frame[pos + 1] = char(sf::kDigitZero + (raw & 0x3F));
}

// The loop character of a zone at rest or open, by its wiring.
char loopCharacter(int wiring, bool open) {
    switch (wiring) {
        case 0:  // active on a short circuit: rests at 2k
            return open ? '0' : '2';
        case 2:  // double end-of-line: 1k at rest, 2k in alarm
            return open ? '2' : '1';
        case 3:  // radio: both sub-inputs at 1k, the zone's state in bits 0-1
            return char(sf::kDigitZero + ((1 << 2) | (1 << 4) | (open ? 2 : 1)));
        default:  // active on open: 1k at rest, an open loop when active
            return open ? '3' : '1';
    }
}

const char* const kMessages[] = {
    "GSM hálózat: regisztrálva",
    "Akkumulátor töltése",
    "Tesztjelentés elküldve a felügyeletnek",
    "SMS elküldve: 1. telefonszám",
};

}  // namespace

ModuleState::ModuleState(const QDateTime& now, quint32 seed)
    : m_events(kEventMemorySize, '\0'), m_random(seed) {
    // Days of use, oldest first; more of them than the ring holds, so it has wrapped.
    QList<std::pair<QDateTime, EventRecord>> history;
    const QDate today = now.date();
    constexpr int kDays = 26;
    int user = 1;
    for (int d = kDays; d >= 0; --d) {
        const QDate day = today.addDays(-d);
        auto at = [&](int h, int m) { return QDateTime(day, QTime(h, m)); };
        auto add = [&](const QDateTime& when, int type, int n, quint8 marks = 0, quint8 flags = 0) {
            if (when < now) history.append({when, record(type, n, when, marks, flags)});
        };
        const int morning = 7 * 60 + 10 + int(m_random.bounded(40));
        add(at(morning / 60, morning % 60), kDisarm1, user);
        add(at(morning / 60, morning % 60), kDisarm1 + 1, user);
        add(at(12, 0), kTestReport, 0);
        if (d % 7 == 3) {
            add(at(13, 5), kMainsFail, 0, 0, kDelayed);
            add(at(14, 40), kMainsBack, 0);
        }
        if (d % 9 == 4) {
            add(at(15, 12), kFieldLow, 0);
            add(at(15, 31), kFieldBack, 0);
        }
        if (d % 11 == 6) add(at(10, 2), kProgrammed, kInstallerUser);
        if (d % 13 == 5) add(at(16, 45), kRadioBatteryLow, 12);
        if (d % 10 == 8) {
            add(at(9, 20), kTamper, 0);
            add(at(9, 21), kTamperRestore, 0);
        }
        user = user % 4 + 1;
        const int evening = 18 * 60 + int(m_random.bounded(90));
        add(at(evening / 60, evening % 60), kArm1, user);
        add(at(evening / 60, evening % 60), kArm1 + 1, user);
        if (d % 5 == 2) {
            // An alarm in the night after the arming, stopped before every notification went
            // out.
            const int zone = 1 + d % kZones;
            const QDateTime night(day.addDays(1), QTime(2, 14));
            add(night, kZoneAlarm + 2 * (zone - 1), zone, kCallAndSms1, kStopped);
            add(night.addSecs(120), kZoneRestore + 2 * (zone - 1), zone);
        }
    }
    std::stable_sort(history.begin(), history.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // The ring keeps the newest; the last slot written is the newest.
    int slot = 0;
    for (const auto& [when, r] : history) {
        const int type = r.bytes[0];
        if (type >= kArm1 && type <= kDisarm1 + 1)
            m_armed[size_t((type - kArm1) % 2)] = type < kDisarm1;
        std::copy(r.bytes.begin(), r.bytes.end(), m_events.begin() + slot * kRecordSize);
        m_events[kNewestSlotOffset] = char(slot);
        slot = (slot + 1) % kSlots;
    }
    m_terminalTenths = 136 + int(m_random.bounded(3));
    m_batteryTenths = 131 + int(m_random.bounded(3));
}

void ModuleState::setEventMemory(const QByteArray& bytes) {
    Q_ASSERT(bytes.size() == kEventMemorySize);
    if (bytes.size() == kEventMemorySize) m_events = bytes;
}

int ModuleState::newest() const {
    return std::min(int(quint8(m_events[kNewestSlotOffset])), kSlots - 1);
}

void ModuleState::logEvent(int type, int number, quint8 marks, quint8 flags,
                           const QDateTime& when) {
    const int slot = (newest() + 1) % kSlots;
    const EventRecord r = record(type, number, when, marks, flags);
    std::copy(r.bytes.begin(), r.bytes.end(), m_events.begin() + slot * kRecordSize);
    m_events[kNewestSlotOffset] = char(slot);
}

QByteArray ModuleState::statusFrame(int version, const WiringModes& wiring) const {
    const int length = sf::lengthOfVersion(version);
    if (length == 0) return {};
    QByteArray f(length, '0');
    f.replace(0, 4, proto::kStatusFrame);
    for (int pos : sf::kCommas) f[pos] = sf::kComma;
    f[length - 1] = sf::kClose;
    for (int z = 0; z < kZones; ++z) {
        const int mode = std::clamp(wiring[size_t(z)], 0, 3);
        f[sf::kLoopStates + z] = loopCharacter(mode, m_zoneOpen[size_t(z)]);
        f[sf::kWiringModes + z] = char(sf::kDigitZero + mode);
    }
    f[sf::kInputA] = '1';
    f[sf::kInputB] = '1';
    putSixBitPair(f, sf::kTerminalVoltage, rawOfTenths(m_terminalTenths));
    // The siren hangs on OUT 1 and the alarm relay on RELE 1; OUT 2 feeds the detectors.
    f[sf::kOut1On] = m_alarm ? '1' : '0';
    f[sf::kOut2On] = '1';
    f[sf::kRelay1On] = m_alarm ? '1' : '0';
    f[sf::kPartition1Armed] = m_armed[0] ? '1' : '0';
    f[sf::kPartition2Armed] = m_armed[1] ? '1' : '0';
    f[sf::kGsmLevel] = char(sf::kDigitZero + m_gsm);
    if (version >= 2) f[sf::kMainsPresent] = '1';
    if (version >= 3) putSixBitPair(f, sf::kBatteryVoltage, rawOfTenths(m_batteryTenths));
    if (version >= 4) {
        const int t = m_temperature < 0 ? 128 - m_temperature : m_temperature;
        f[sf::kTemperature] = char(sf::kDigitZero + ((t >> 4) & 0x0F));
        f[sf::kTemperature + 1] = char(sf::kDigitZero + (t & 0x0F));
    }
    return f;
}

QByteArray ModuleState::eventLine() const {
    QByteArray line = proto::kEventLine;
    int slot = newest();
    for (int k = 0; k < 8; ++k) {
        line += hex::encode(
            reinterpret_cast<const std::uint8_t*>(m_events.constData()) + slot * kRecordSize,
            kRecordSize);
        slot = slot == 0 ? kSlots - 1 : slot - 1;
    }
    return line;
}

void ModuleState::setPartition(int partition, bool armed) {
    const size_t p = size_t(partition - 1);
    m_armed[p] = armed;
    logEvent((armed ? kArm1 : kDisarm1) + int(p), kInstallerUser);
    if (!armed && !m_armed[0] && !m_armed[1]) m_alarm = false;  // disarming ends the alarm
}

void ModuleState::stopAlarms() {
    m_alarm = false;
    for (int s = 0; s < kSlots; ++s) {
        const int at = s * kRecordSize;
        if (m_events[at + 6] != 0) m_events[at + 7] = char(m_events[at + 7] | kStopped);
    }
}

void ModuleState::setZoneOpen(int zone, bool open, const QDateTime& when) {
    const size_t z = size_t(zone - 1);
    if (m_zoneOpen[z] == open) return;
    m_zoneOpen[z] = open;
    if (!m_armed[0] && !m_armed[1]) return;  // a door used while disarmed is no event
    if (open) {
        m_alarm = true;
        logEvent(kZoneAlarm + 2 * int(z), zone, kCallAndSms1, 0, when);
    } else {
        logEvent(kZoneRestore + 2 * int(z), zone, kSms1, 0, when);
    }
}

std::optional<QByteArray> ModuleState::step(const QDateTime& now) {
    ++m_steps;
    if (m_steps % (kLiveZonePeriod / 2) == 0) setZoneOpen(kLiveZone, !zoneOpen(kLiveZone), now);
    auto drift = [this](int value, int lowest, int highest) {
        return std::clamp(value + int(m_random.bounded(3)) - 1, lowest, highest);
    };
    m_batteryTenths = drift(m_batteryTenths, kBatteryLowest, kBatteryHighest);
    m_terminalTenths = drift(m_terminalTenths, kTerminalLowest, kTerminalHighest);
    m_gsm = drift(m_gsm, kGsmLowest, kGsmHighest);
    // One notification of the newest events goes out each step, unless the alarm was stopped.
    for (int s = 0, slot = newest(); s < 8; ++s, slot = slot == 0 ? kSlots - 1 : slot - 1) {
        const int at = slot * kRecordSize;
        const quint8 marks = quint8(m_events[at + 6]);
        if (marks == 0 || (m_events[at + 7] & 0x0E)) continue;
        m_events[at + 6] = char(marks & (marks - 1));  // the lowest pending mark is done
        break;
    }
    if (m_steps % kMessagePeriod != 0) return std::nullopt;
    const char* text = kMessages[(m_steps / kMessagePeriod) % std::size(kMessages)];
    return proto::kMessageLine + toModuleText(QString::fromUtf8(text));
}
