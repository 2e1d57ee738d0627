#include "sim/simmodule.h"

#include <QFile>
#include <QSaveFile>

#include "clock/clockpage.h"
#include "link/codestring.h"
#include "params/layout.h"

namespace {
bool isEventPage(int page) {
    return page >= proto::kEventFirstPage && page < proto::kEventFirstPage + proto::kEventPageCount;
}

// Rights of the first user (everything on the keypad) and of the others (arm and disarm both
// partitions); report routes of alarms (call and SMS to number 1, centre), of restores (SMS to
// number 1, centre) and of everything else (centre only).
constexpr quint16 kMasterRights = 0x0FFF;
constexpr quint16 kUserRights = 0x000F;
constexpr quint16 kReportAlarm = 0x0111;
constexpr quint16 kReportRestore = 0x0110;
constexpr quint16 kReportCentre = 0x0100;

// Contact-ID codes of the reported events, in event order: alarm and restore of each zone,
// then the module's own events.
const char* const kContactId[FlashAddr::EventCount] = {
    "130", "130", "130", "130", "130", "130", "130", "130", "130", "130", "130", "130",
    "130", "130", "130", "130", "130", "130", "130", "130", "130", "130", "130", "130",
    "137", "137", "402", "402", "402", "402", "602", "301", "301", "302", "302", "311",
    "384", "384", "391", "391", "626", "625", "306", "350", "350", "121", "344"};
}  // namespace

SimModule::SimModule(QObject* parent) : QObject(parent), m_memory(factoryMemory()) {
    connect(&m_liveTimer, &QTimer::timeout, this, &SimModule::liveStep);
}

QByteArray SimModule::factoryMemory(const QString& installerCode) {
    QByteArray mem(kMemorySize, char(0xFF));  // erased: what the unused areas keep
    auto set = [&mem](const char* pattern, int number, const layout::Value& value) {
        const std::optional<layout::Instance> in =
            layout::findInstance(QLatin1String(pattern), number);
        Q_ASSERT_X(in, "factoryMemory", pattern);
        if (in) layout::write(*in, mem, value);
    };
    using V = layout::Value;
    // Choice numbers, as the editor lists them.
    constexpr int kOpenLoop = 1;  // zone wiring: active on open, a normally-closed loop
    constexpr int kBothPartitions = 0;
    constexpr int kAlwaysArmed = 0;  // at night
    constexpr int kStarAcknowledges = 1;
    constexpr int kSiren12V = 0;
    constexpr int kArmBoth = 1, kNightArming = 4, kDisarm = 5, kRelay1 = 6;

    set("edMasterCode", 1, V::ofText(installerCode));
    for (int n = 1; n <= FlashAddr::UserCount; ++n) {
        set("edUserName%d", n, V::ofText(QStringLiteral("Felh. %1").arg(n)));
        // Only the first user has a code; the others' code fields hold no digit.
        set("edUserCode%d", n, V::ofText(n == 1 ? QStringLiteral("1111") : QString()));
        set("cblUserRights", n, V::ofBits(n == 1 ? kMasterRights : kUserRights));
        set("cbRFButtA%02d", n, V::ofNumber(kArmBoth));
        set("cbRFButtB%02d", n, V::ofNumber(kDisarm));
        set("cbRFButtC%02d", n, V::ofNumber(kNightArming));
        set("cbRFButtD%02d", n, V::ofNumber(kRelay1));
    }
    for (int n = 1; n <= FlashAddr::ZoneCount; ++n) {
        // 0.5 s sensitivity and an exit delay of 30 s; the entrance zone 1 also has an entry
        // delay of 20 s. Nothing silent, following, intelligent or bypassed.
        set("edZonaNeve%d", n, V::ofText(QStringLiteral("Zóna %1").arg(n)));
        set("rgZonaBek%d", n, V::ofNumber(kOpenLoop));
        set("rgZonaPart%d", n, V::ofNumber(kBothPartitions));
        set("UdZonaErz%d", n, V::ofNumber(5));
        set("UdZonaBeKesl%d", n, V::ofNumber(n == 1 ? 20 : 0));
        set("UdZonaKiKesl%d", n, V::ofNumber(30));
        set("cbZonaCsendes[%d]", n, V::ofNumber(0));
        set("UdZonaIntel%d", n, V::ofNumber(0));
        set("cbKoveto[%d]", n, V::ofNumber(0));
        set("UdZonaCover%d", n, V::ofNumber(0));
        set("cbNightSet%d", n, V::ofNumber(kAlwaysArmed));
        set("cbBypass[%d]", n, V::ofNumber(0));
    }
    for (int n = 1; n <= FlashAddr::EventCount; ++n) {
        const bool input = n <= 2 * FlashAddr::ZoneCount;
        const bool alarm = input && n % 2 == 1;
        set("acgEvent%d", n, V::ofText(QLatin1String(kContactId[n - 1])));
        set("clbEvents", n,
            V::ofBits(alarm   ? kReportAlarm
                      : input ? kReportRestore
                              : kReportCentre));
        set("edSMS%d", n,
            V::ofText(!input  ? QString()
                      : alarm ? QStringLiteral("Riasztás: $")
                              : QStringLiteral("Helyreállt: $")));
        set("UdHanguz%d", n, V::ofNumber(0));  // no voice message
    }
    // No telephone numbers yet; "*" acknowledges a call.
    for (int n = 1; n <= FlashAddr::PhoneCount; ++n) {
        set("acgTel%d", n, V::ofText(QString()));
        set("cbACK%d", n, V::ofNumber(kStarAcknowledges));
    }
    for (int n = 1; n <= FlashAddr::CentrePhoneCount; ++n) set("acgTelCentr%d", n, V::ofText({}));
    set("acgSMSFW", 1, V::ofText(QString()));
    set("acgUserAccount", 1, V::ofText(QStringLiteral("0000")));
    set("udOnOffMode", 1, V::ofNumber(0));
    // Sirens of 3 minutes at once; relays without triggers, 5 s on.
    for (int n = 1; n <= FlashAddr::OutputCount; ++n) {
        set("cbOUT%dmode", n, V::ofNumber(kSiren12V));
        set("UdOUT%ddelay", n, V::ofNumber(0));
        set("UdOUT%dtime", n, V::ofNumber(3));
    }
    for (int n = 1; n <= FlashAddr::RelayCount; ++n) {
        set("cblR%d", 2 * n - 1, V::ofBits(0));
        set("cblR%d", 2 * n, V::ofBits(0));
        set("UdREL%ddelay", n, V::ofNumber(0));
        set("UdREL%dtime", n, V::ofNumber(5));
    }
    // Alarm 5 min, test report at 12:00 daily, 3 alarms per zone, no automatic arming, 1 min
    // night walk.
    set("UdAlarmMax", 1, V::ofNumber(5));
    set("meTesztIdopont", 1, V::ofText(QStringLiteral("12:00")));
    set("udTesztGyak", 1, V::ofNumber(1));
    set("UdZoneAlarmMax", 1, V::ofNumber(3));
    set("UdAutoArm", 1, V::ofNumber(0));
    set("udNightDelay", 1, V::ofNumber(1));
    return mem;
}

bool SimModule::codeMatches(const QByteArray& codeString) const {
    return codeString == ::codeString(m_code);
}

void SimModule::setMemory(const QByteArray& bytes) {
    Q_ASSERT(bytes.size() == kMemorySize);
    if (bytes.size() == kMemorySize) m_memory = bytes;
}

QByteArray SimModule::pendingBlock(int block) const {
    return block >= 0 && block < kBlockCount ? m_pending[size_t(block)] : QByteArray();
}

void SimModule::keepPending(int block, const QByteArray& data) {
    if (block >= 0 && block < kBlockCount) m_pending[size_t(block)] = data;
}

void SimModule::activate() {
    for (int b = 0; b < kBlockCount; ++b) {
        QByteArray& block = m_pending[size_t(b)];
        if (!block.isEmpty()) m_memory.replace(kBlockSize * b, block.size(), block);
        block.clear();
    }
    ++m_activations;
    QString error;
    if (!m_memoryFile.isEmpty() && !saveMemory(m_memoryFile, &error))
        qWarning("korvanta-sim: %s", qPrintable(error));
}

bool SimModule::loadMemory(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(kMemorySize + 1);
    if (bytes.size() != kMemorySize) {
        if (error)
            *error =
                QStringLiteral("%1 is not a module memory of %2 bytes").arg(path).arg(kMemorySize);
        return false;
    }
    m_memory = bytes;
    return true;
}

bool SimModule::saveMemory(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_memory) != m_memory.size() ||
        !file.commit()) {
        if (error) *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool SimModule::hasPage(int page) {
    return (page >= proto::kConfigFirstPage && page < proto::kConfigPageCount) ||
           page == proto::kVersionPage || isEventPage(page) || page == clockpage::kPage;
}

QByteArray SimModule::pageData(int page) const {
    if (page == proto::kVersionPage) return versionPage();
    if (page == clockpage::kPage) return clockPage();
    if (page >= proto::kConfigFirstPage && page < kBlockCount)
        return m_memory.mid(kBlockSize * page, kBlockSize);
    if (isEventPage(page))
        return m_state.eventMemory().mid(kBlockSize * (page - proto::kEventFirstPage), kBlockSize);
    return QByteArray(kBlockSize, '\0');
}

QByteArray SimModule::versionPage() const {
    QByteArray data(frame::kDataSize, '\0');
    const QByteArray firmware = m_firmwareText.left(proto::kVersionFieldLength);
    data.replace(proto::kVersionTextOffset, firmware.size(), firmware);
    // A firmware text of full length covers the start of the data-version field.
    if (firmware.size() < proto::kVersionFieldLength) {
        const QByteArray digits = m_dataVersionText.left(proto::kVersionFieldLength);
        data.replace(proto::kVersionDigitsOffset, digits.size(), digits);
    }
    return data;
}

QByteArray SimModule::statusFrame() const {
    ModuleState::WiringModes wiring{};
    for (int z = 0; z < ModuleState::kZones; ++z)
        wiring[size_t(z)] = quint8(m_memory.at(
            FlashAddr::ZoneRecords + z * FlashAddr::ZoneRecordSize + FlashAddr::ZoneWiring));
    return m_state.statusFrame(m_statusVersion, wiring);
}

void SimModule::setLiveIntervalMs(int ms) {
    m_liveTimer.stop();
    if (ms > 0) m_liveTimer.start(ms);
}

void SimModule::liveStep() {
    if (const std::optional<QByteArray> message = m_state.step()) emit announces(*message);
}

QDateTime SimModule::clockNow() const {
    return QDateTime::currentDateTime().addMSecs(m_clockOffsetMs);
}

void SimModule::setClock(const QDateTime& time) {
    m_clockOffsetMs = QDateTime::currentDateTime().msecsTo(time);
}

QByteArray SimModule::clockPage() const {
    const QDateTime now = clockNow();
    QByteArray data(frame::kDataSize, '\0');
    data[clockpage::kYear] = char(now.date().year() % 100);
    data[clockpage::kMonth] = char(now.date().month());
    data[clockpage::kDay] = char(now.date().day());
    data[clockpage::kHour] = char(now.time().hour());
    data[clockpage::kMinute] = char(now.time().minute());
    data[clockpage::kMinute + 1] = char(now.time().second());  // the PC does not show it
    return data;
}

bool SimModule::setClockFrom(const frame::Frame& f) {
    // The module's clock chip takes no impossible date; it keeps its time and says so.
    const QDate date(2000 + f[clockpage::kYear], f[clockpage::kMonth], f[clockpage::kDay]);
    const QTime time(f[clockpage::kHour], f[clockpage::kMinute]);
    if (f[clockpage::kYear] > 99 || !date.isValid() || !time.isValid()) return false;
    setClock(QDateTime(date, time));
    return true;
}

bool SimModule::checkFirmware(const frame::Frame& control) {
    if (!m_firmware.check(control)) return false;
    // The new firmware starts: nothing is heard until it runs.
    m_restarting = true;
    QTimer::singleShot(m_restartMs, this, [this] {
        m_restarting = false;
        ++m_restarts;
        emit restarted();
    });
    return true;
}
