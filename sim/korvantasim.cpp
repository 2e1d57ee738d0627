#include "sim/korvantasim.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

#include "clock/clockpage.h"
#include "link/codestring.h"
#include "link/hex.h"
#include "link/portnames.h"
#include "params/layout.h"
#include "status/statusframe.h"

namespace {
constexpr int kHighestPort = 96;
const QByteArray kModuleLineEnd = QByteArray(1, proto::kLineEnd) + proto::kLineFeed;

// What the modem says of a call.
const QByteArray kConnected = QByteArray(proto::kConnect) + " 9600";
const QByteArray kNoCarrier = QByteArrayLiteral("NO CARRIER");
const QByteArray kBusy = QByteArrayLiteral("BUSY");
const QByteArray kModemError = QByteArrayLiteral("ERROR");
constexpr int kEscapeLength = 3;  // "+++"

// 19200 baud with a start and a stop bit: 1920 bytes a second.
constexpr qint64 kBytesPerSecond = 1920;
constexpr double kByteNs = 1e9 / double(kBytesPerSecond);
constexpr int kPaceTickMs = 2;

// Line noise: a garbage line long enough to look like an answer, a burst shorter than any.
constexpr int kGarbageMin = 8;
constexpr int kGarbageMax = 40;
constexpr int kBurstMin = 3;
constexpr int kBurstMax = 12;

using Kind = KorvantaSim::CommandKind;
using Mode = KorvantaSim::FaultMode;

bool isHexDigits(const QByteArray& line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return hex::digitValue(c) >= 0; });
}

// Line noise, never a line end among it.
QByteArray randomBytes(QRandomGenerator& random, int minSize, int maxSize) {
    QByteArray bytes(int(random.bounded(minSize, maxSize + 1)), '\0');
    for (char& c : bytes) {
        do c = char(random.bounded(256));
        while (c == proto::kLineEnd || c == proto::kLineFeed);
    }
    return bytes;
}

bool isPageCommand(Kind kind) { return kind == Kind::PageRead || kind == Kind::PageWrite; }

bool isEventPage(int page) {
    return page >= proto::kEventFirstPage && page < proto::kEventFirstPage + proto::kEventPageCount;
}

// The event page that holds the number of the newest slot.
constexpr int kNewestSlotPage =
    proto::kEventFirstPage + eventring::kNewestSlotOffset / frame::kDataSize;
constexpr quint8 kNewestTooHigh = 0xFF;  // what an erased or corrupted byte reads
// What a stray-high frame carries in the page number's high byte (the page's own, with these
// bits turned: never the page's) and in each further byte.
constexpr quint8 kStrayHighMask = 0xA5;
constexpr quint8 kStrayFurther = 0xC3;

bool hasPage(int page) {
    return (page >= proto::kConfigFirstPage && page < proto::kConfigPageCount) ||
           page == proto::kVersionPage || isEventPage(page) || page == clockpage::kPage;
}

bool isPoll(Kind kind) {
    return kind == Kind::PollStatus || kind == Kind::PollEvents || kind == Kind::PollRadio;
}

// "TRF" + the slot character: slot 0 is "0", slot 35 is "S".
const QByteArray kTeachWord = authorisedCommand(proto::kAuthTeachFirst, QString()).left(3);

// The commands that carry the installer code, by the command number the PC sends them with.
struct AuthorisedKind {
    int code;
    Kind kind;
};
constexpr AuthorisedKind kAuthorisedKinds[] = {
    {proto::kAuthPollStatus, Kind::PollStatus},   {proto::kAuthPollEvents, Kind::PollEvents},
    {proto::kAuthStopAlarm, Kind::AlarmStop},     {proto::kAuthPartition1Off, Kind::Partition},
    {proto::kAuthPartition2Off, Kind::Partition}, {proto::kAuthPartition1On, Kind::Partition},
    {proto::kAuthPartition2On, Kind::Partition},  {proto::kAuthPollRadio, Kind::PollRadio},
    {proto::kAuthDeleteRadio, Kind::RadioDelete},
};

// The word of an authorised command, "RPWS" for "RPWS" + code string.
QByteArray commandWord(int code) { return authorisedCommand(code, QString()).left(4); }

// The words of the command line, in the order of the enumerations.
constexpr const char* kModeNames[] = {
    "no-answer",     "pwderr",     "damage",    "wrong-page",   "late",        "garbage",
    "garbage-burst", "wrong-kind", "port-lost", "wrong-length", "wrong-comma", "bad-digits",
    "newest-high",   "stray-high", "rfterr",    "no-carrier",   "busy"};
static_assert(std::size(kModeNames) == size_t(Mode::Busy) + 1, "a word for every mode");
constexpr const char* kCommandNames[] = {
    "login",      "read",      "write-start", "write", "activate",     "poll-status", "poll-events",
    "alarm-stop", "partition", "poll-radio",  "teach", "delete-radio", "modem",       "dial",
    "hang-up",    "other",     "any"};
static_assert(std::size(kCommandNames) == size_t(Kind::Any) + 1, "a word for every kind");

template <size_t N>
int wordIndex(const char* const (&words)[N], const QString& word) {
    for (size_t i = 0; i < N; ++i)
        if (word == QLatin1String(words[i])) return int(i);
    return -1;
}

template <size_t N>
QString wordList(const char* const (&words)[N]) {
    QStringList out;
    for (const char* w : words) out << QLatin1String(w);
    return out.join(QStringLiteral(", "));
}

// What a line asks, and of which page; kAnyPage when it names none.
Kind classify(const QByteArray& line, int* page) {
    *page = KorvantaSim::kAnyPage;
    const QByteArray login = authorisedCommand(proto::kAuthLogin, QString());
    if (line.startsWith(login.left(4)) && line.size() == login.size()) return Kind::Login;
    if (line.startsWith(proto::kReadFrame)) {
        const QByteArray digits = line.mid(int(qstrlen(proto::kReadFrame)));
        if (digits.size() == 4 && isHexDigits(digits)) *page = digits.toInt(nullptr, 16);
        return Kind::PageRead;
    }
    if (line == proto::kWriteFrame) return Kind::WriteStart;
    if (line == proto::kActivate) return Kind::Activate;
    if (line.startsWith(kTeachWord) && line.size() == login.size()) return Kind::RadioTeach;
    for (const AuthorisedKind& a : kAuthorisedKinds)
        if (line.startsWith(commandWord(a.code)) && line.size() == login.size()) return a.kind;
    return Kind::Other;
}

// What a line asks of a modem on its commands; nothing for a line that is no "AT" command.
std::optional<Kind> modemCommand(const QByteArray& line) {
    const QByteArray upper = line.toUpper();
    if (!upper.startsWith(proto::kModemAt)) return std::nullopt;
    if (upper.startsWith("ATD")) return Kind::Dial;
    if (upper.startsWith("ATH")) return Kind::HangUp;
    return Kind::ModemCommand;
}

// The page a written frame carries, whether or not its checksum holds.
int writtenPage(const QByteArray& digits) {
    frame::Frame f{};
    const frame::DecodeResult r = frame::decodeHex(digits, f, frame::ChecksumOrder::PcBigEndian);
    return r == frame::DecodeResult::Ok || r == frame::DecodeResult::BadChecksum
               ? frame::pageNumber(f)
               : KorvantaSim::kAnyPage;
}

// A number field of --fault: "*" (returned as -1) or digits, decimal or hex after "0x".
std::optional<int> numberField(const QString& text, int max) {
    if (text == QLatin1String("*")) return -1;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const QString digits = hex ? text.mid(2) : text;
    constexpr int kMostDigits = 9;  // keeps the value inside an int before the range check
    if (digits.isEmpty() || digits.size() > kMostDigits) return std::nullopt;
    for (QChar c : digits)
        if (!(c.isDigit() || (hex && QStringLiteral("abcdefABCDEF").contains(c))) ||
            c.unicode() > 127)
            return std::nullopt;
    const int n = digits.toInt(nullptr, hex ? 16 : 10);
    if (n > max) return std::nullopt;
    return n;
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

KorvantaSim::KorvantaSim(QObject* parent) : QObject(parent), m_memory(factoryMemory()) {
    connect(&m_liveTimer, &QTimer::timeout, this, &KorvantaSim::liveStep);
    m_switchIds.fill(-1);
    m_clock.start();
    m_inboundTimer.setSingleShot(true);
    m_inboundTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_inboundTimer, &QTimer::timeout, this, &KorvantaSim::deliverDueLines);
    m_paceTimer.setInterval(kPaceTickMs);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, &KorvantaSim::releasePaced);
    for (QTimer* t : {&m_dialTimer, &m_escapeTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_dialTimer, &QTimer::timeout, this, &KorvantaSim::finishDial);
    connect(&m_escapeTimer, &QTimer::timeout, this, &KorvantaSim::escapeToCommands);
}

KorvantaSim::~KorvantaSim() { stop(); }

bool KorvantaSim::start(const QString& comName, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        stop();
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) return fail(QStringLiteral("posix_openpt: %1").arg(strerror(errno)));
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail(QStringLiteral("grantpt/unlockpt: %1").arg(strerror(errno)));
    const char* name = ::ptsname(m_master);
    if (!name) return fail(QStringLiteral("ptsname: %1").arg(strerror(errno)));
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) return fail(QStringLiteral("open %1: %2").arg(m_slavePath, strerror(errno)));
    termios tio{};
    ::tcgetattr(m_slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    if (!linkAs(comName.isEmpty() ? highestFreeComName() : normalisePortName(comName), error)) {
        stop();
        return false;
    }
    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &KorvantaSim::onReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &KorvantaSim::flushOut);
    return true;
}

void KorvantaSim::stop() {
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_inboundTimer.stop();
    m_paceTimer.stop();
    m_inbound.clear();
    m_paced.clear();
    m_out.clear();
    m_assembler = LineAssembler(proto::kMaxLineLength);  // a line cut off by the stop is gone
    m_losingPort = false;
    if (!m_linkPath.isEmpty()) QFile::remove(m_linkPath);
    m_linkPath.clear();
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
    m_slave = m_master = -1;
}

QString KorvantaSim::highestFreeComName() const {
    const QString dir = portsFolder();
    for (int n = kHighestPort; n >= 1; --n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        const QFileInfo link(dir + QLatin1Char('/') + name);
        if (link.exists()) continue;  // a live link: someone else's
        if (!link.isSymLink() && QFileInfo::exists(resolvePortDevice(name, dir))) continue;
        return name;
    }
    return QStringLiteral("COM96");
}

bool KorvantaSim::linkAs(const QString& comName, QString* error) {
    const QString dir = portsFolder();
    if (!QDir().mkpath(dir)) {
        if (error) *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    const QString path = dir + QLatin1Char('/') + comName;
    const QFileInfo existing(path);
    if (existing.exists() && existing.isSymLink() && existing.symLinkTarget() != m_slavePath) {
        if (error)
            *error = QStringLiteral("%1 is in use by %2").arg(comName, existing.symLinkTarget());
        return false;
    }
    QFile::remove(path);  // a dangling link left by a simulator that was killed
    if (!QFile::link(m_slavePath, path)) {
        if (error) *error = QStringLiteral("cannot link %1 to %2").arg(path, m_slavePath);
        return false;
    }
    m_comName = comName;
    m_linkPath = path;
    return true;
}

QByteArray KorvantaSim::factoryMemory(const QString& installerCode) {
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

void KorvantaSim::setMemory(const QByteArray& bytes) {
    Q_ASSERT(bytes.size() == kMemorySize);
    if (bytes.size() == kMemorySize) m_memory = bytes;
}

QByteArray KorvantaSim::pendingBlock(int block) const {
    return block >= 0 && block < kBlockCount ? m_pending[size_t(block)] : QByteArray();
}

bool KorvantaSim::loadMemory(const QString& path, QString* error) {
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

bool KorvantaSim::saveMemory(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_memory) != m_memory.size() ||
        !file.commit()) {
        if (error) *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void KorvantaSim::setPace(bool on) {
    if (m_pace == on) return;
    m_pace = on;
    if (on) return;
    // Whatever was waiting for the slow line goes at once.
    m_paceTimer.stop();
    m_out.append(m_paced);
    m_paced.clear();
    flushOut();
    m_inboundTimer.stop();
    while (!m_inbound.empty()) {
        const QByteArray line = m_inbound.front().line;
        m_inbound.pop_front();
        acceptLine(line);
    }
}

void KorvantaSim::onReadable() {
    char buf[4096];
    while (true) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0) break;
        m_bytesIn += n;
        const double nowNs = double(m_clock.nsecsElapsed());
        for (ssize_t i = 0; i < n; ++i) {
            if (m_modemOn && m_modemState == ModemState::Online) watchEscape(buf[i]);
            // On a paced line a byte is only complete one byte time after the previous one.
            if (m_pace) m_lastArrivalNs = std::max(m_lastArrivalNs, nowNs) + kByteNs;
            std::optional<QByteArray> line = m_assembler.push(buf[i]);
            if (!line) continue;
            // Lines queued before pacing was switched off still go first.
            if (m_pace || !m_inbound.empty())
                m_inbound.push_back({m_pace ? m_lastArrivalNs : nowNs, std::move(*line)});
            else
                acceptLine(*line);
        }
    }
    scheduleInbound();
}

void KorvantaSim::acceptLine(const QByteArray& line) {
    if (m_losingPort) return;  // the cable is already out
    m_received.append(line);
    // A simulator left running for days keeps only the newest lines.
    if (m_received.size() > m_receivedKept) m_received.remove(0, m_received.size() - m_receivedKept);
    emit lineReceived(line);
    handleLine(line);
}

void KorvantaSim::deliverDueLines() {
    while (!m_inbound.empty() && m_inbound.front().dueNs <= double(m_clock.nsecsElapsed())) {
        const QByteArray line = m_inbound.front().line;
        m_inbound.pop_front();
        acceptLine(line);
    }
    scheduleInbound();
}

void KorvantaSim::scheduleInbound() {
    if (m_inbound.empty() || m_inboundTimer.isActive()) return;
    const double waitNs = m_inbound.front().dueNs - double(m_clock.nsecsElapsed());
    m_inboundTimer.start(waitNs > 0 ? int(std::ceil(waitNs / 1e6)) : 0);
}

bool KorvantaSim::applies(FaultMode mode, CommandKind kind) {
    const bool any = kind == CommandKind::Any;
    switch (mode) {
        case FaultMode::DamagedFrame:
        case FaultMode::WrongPage:
        case FaultMode::NewestHigh:
        case FaultMode::StrayHigh:
            return kind == CommandKind::PageRead || any;
        case FaultMode::WrongLength:
            return isPoll(kind) || any;
        case FaultMode::WrongComma:
            return kind == CommandKind::PollStatus || any;
        case FaultMode::BadDigits:
            return kind == CommandKind::PollEvents || kind == CommandKind::PollRadio || any;
        case FaultMode::RadioRefused:
            return kind == CommandKind::RadioTeach || kind == CommandKind::RadioDelete || any;
        case FaultMode::NoCarrier:
        case FaultMode::Busy:
            return kind == CommandKind::Dial || any;
        default:
            return true;
    }
}

int KorvantaSim::addFault(const Fault& fault) {
    const int id = m_nextFaultId++;
    m_faults.push_back({id, fault, 0, QRandomGenerator(fault.seed)});
    return id;
}

void KorvantaSim::removeFault(int id) {
    m_faults.erase(std::remove_if(m_faults.begin(), m_faults.end(),
                                  [id](const ArmedFault& a) { return a.id == id; }),
                   m_faults.end());
    for (int& s : m_switchIds)
        if (s == id) s = -1;
}

void KorvantaSim::clearFaults() {
    m_faults.clear();
    m_switchIds.fill(-1);
}

int KorvantaSim::faultFired(int id) const {
    for (const ArmedFault& a : m_faults)
        if (a.id == id) return a.fired;
    return 0;
}

void KorvantaSim::setSwitch(Switch which, bool on, const Fault& fault) {
    removeFault(m_switchIds[which]);
    if (!on) return;
    // A switch keeps its precedence over the other switches, whenever it was set.
    const int id = m_nextFaultId++;
    auto before = std::find_if(m_faults.begin(), m_faults.end(), [&](const ArmedFault& a) {
        const auto s = std::find(m_switchIds.begin(), m_switchIds.end(), a.id);
        return s != m_switchIds.end() && s - m_switchIds.begin() > which;
    });
    m_faults.insert(before, {id, fault, 0, QRandomGenerator(fault.seed)});
    m_switchIds[which] = id;
}

void KorvantaSim::setSilent(bool silent) {
    setSwitch(SilentSwitch, silent, {FaultMode::NoAnswer, CommandKind::Any});
}

void KorvantaSim::setNoAnswerPage(int page) {
    setSwitch(NoAnswerPageSwitch, page >= 0, {FaultMode::NoAnswer, CommandKind::Any, page});
}

void KorvantaSim::setDamagedPage(int page) {
    setSwitch(DamagedPageSwitch, page >= 0, {FaultMode::DamagedFrame, CommandKind::PageRead, page});
}

void KorvantaSim::setWrongPageNumberPage(int page) {
    setSwitch(WrongPageSwitch, page >= 0, {FaultMode::WrongPage, CommandKind::PageRead, page});
}

void KorvantaSim::setPasswordErrorToAll(bool on) {
    setSwitch(PasswordErrorSwitch, on, {FaultMode::PasswordError, CommandKind::Any});
}

void KorvantaSim::setNoCrcOk(bool on) {
    setSwitch(NoCrcOkSwitch, on, {FaultMode::NoAnswer, CommandKind::Activate});
}

void KorvantaSim::setModem(bool on) {
    m_modemOn = on;
    hangUpModem();
    setSwitch(ModemSwitch, on, {FaultMode::RadioRefused, CommandKind::Any});
}

void KorvantaSim::setAnswerDelayMs(int ms) {
    setSwitch(DelaySwitch, ms > 0, {FaultMode::Late, CommandKind::Any, kAnyPage, kAlways, ms});
}

int KorvantaSim::commandCount(CommandKind kind) const {
    if (kind == CommandKind::Any) {
        int all = 0;
        for (int n : m_commandCounts) all += n;
        return all;
    }
    return m_commandCounts[size_t(kind)];
}

std::optional<KorvantaSim::Fault> KorvantaSim::parseFault(const QString& text, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("--fault %1: %2").arg(text, why);
        return std::nullopt;
    };
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 4)
        return fail(QStringLiteral("expected MODE:COMMAND[:PAGE][:COUNT]"));

    Fault f;
    const QString modeText = parts[0].section(QLatin1Char('='), 0, 0);
    const bool hasValue = parts[0].contains(QLatin1Char('='));
    const std::optional<int> value =
        numberField(parts[0].section(QLatin1Char('='), 1), std::numeric_limits<int>::max());
    const int mode = wordIndex(kModeNames, modeText);
    if (mode < 0)
        return fail(QStringLiteral("no mode '%1' (%2)").arg(modeText, wordList(kModeNames)));
    f.mode = FaultMode(mode);
    if (f.mode == FaultMode::Late) {
        if (!hasValue || !value || *value <= 0)
            return fail(QStringLiteral("late needs its delay in ms: late=MS"));
        f.delayMs = *value;
    } else if (f.mode == FaultMode::Garbage || f.mode == FaultMode::GarbageBurst) {
        if (hasValue && (!value || *value < 0))
            return fail(QStringLiteral("the seed is a whole number from 0"));
        if (hasValue) f.seed = quint32(*value);
    } else if (hasValue) {
        return fail(QStringLiteral("%1 takes no value").arg(modeText));
    }

    const int command = wordIndex(kCommandNames, parts[1]);
    if (command < 0)
        return fail(QStringLiteral("no command '%1' (%2)").arg(parts[1], wordList(kCommandNames)));
    f.command = CommandKind(command);
    if (!applies(f.mode, f.command))
        return fail(QStringLiteral("%1 does not answer %2").arg(modeText, parts[1]));

    if (parts.size() >= 3) {
        const std::optional<int> page = numberField(parts[2], proto::kVersionPage);
        if (!page) return fail(QStringLiteral("the page is a number from 0 to 65535, or *"));
        if (*page >= 0 && !isPageCommand(f.command) && f.command != CommandKind::Any)
            return fail(QStringLiteral("%1 names no page").arg(parts[1]));
        f.page = *page;
    }
    if (parts.size() == 4) {
        const std::optional<int> count = numberField(parts[3], std::numeric_limits<int>::max());
        if (!count || *count == 0)
            return fail(QStringLiteral("the count is a number from 1, or *"));
        f.count = *count;
    }
    return f;
}

KorvantaSim::ArmedFault* KorvantaSim::faultFor(CommandKind kind, int page, bool late) {
    for (ArmedFault& a : m_faults) {
        const Fault& f = a.fault;
        if ((f.mode == FaultMode::Late) != late) continue;
        if (f.command != CommandKind::Any && f.command != kind) continue;
        if (!applies(f.mode, kind)) continue;
        if (f.page != kAnyPage && (!isPageCommand(kind) || page != f.page)) continue;
        // A frame, good or damaged, is only sent of a page the module has.
        if ((f.mode == FaultMode::DamagedFrame || f.mode == FaultMode::WrongPage ||
             f.mode == FaultMode::StrayHigh) &&
            !hasPage(page))
            continue;
        if (f.mode == FaultMode::NewestHigh && page != kNewestSlotPage) continue;
        if (f.count != kAlways && a.fired >= f.count) continue;
        return &a;
    }
    return nullptr;
}

void KorvantaSim::handleLine(const QByteArray& line) {
    int page = kAnyPage;
    CommandKind kind = CommandKind::Other;
    if (m_modemOn && m_modemState == ModemState::Dialling) {
        // Whatever the PC sends while the modem dials ends the call.
        hangUpModem();
        answer(kNoCarrier);
        return;
    }
    if (m_modemOn && m_modemState != ModemState::Online) {
        const std::optional<CommandKind> modemKind = modemCommand(line);
        if (!modemKind) return;  // a modem on its commands hears nothing but "AT"
        kind = *modemKind;
    } else {
        if (m_restarting) return;  // a module starting up hears nothing
        kind = classify(line, &page);
        if (std::exchange(m_expectFrame, false) && kind == CommandKind::Other) {
            // Whatever follows "WRFL" is its frame, unless it is a command: then the frame
            // never came, and the PC has moved on.
            kind = CommandKind::PageWrite;
            page = writtenPage(line);
        } else if (kind == CommandKind::Other && isHexDigits(line)) {
            return;  // frame digits without a "WRFL" before them are noise and go unanswered
        }
    }
    ++m_commandCounts[size_t(kind)];

    ArmedFault* late = faultFor(kind, page, true);
    if (late) ++late->fired;
    m_answerDelayMs = late ? late->fault.delayMs : 0;
    if (ArmedFault* fault = faultFor(kind, page, false))
        takeByFault(*fault, kind, page);
    else
        carryOut(kind, page, line);
    m_answerDelayMs = 0;
}

void KorvantaSim::carryOut(CommandKind kind, int page, const QByteArray& line) {
    switch (kind) {
        case CommandKind::Login:
            m_session = line.mid(4) == codeString(m_code);
            answer(m_session ? proto::kPasswordOk : proto::kPasswordError);
            return;
        case CommandKind::PageWrite:
            handleFrame(line);
            return;
        case CommandKind::PollStatus:
        case CommandKind::PollEvents:
        case CommandKind::AlarmStop:
        case CommandKind::Partition:
        case CommandKind::PollRadio:
        case CommandKind::RadioTeach:
        case CommandKind::RadioDelete:
            carryOutAuthorised(kind, line);
            return;
        case CommandKind::ModemCommand:
        case CommandKind::Dial:
        case CommandKind::HangUp:
            carryOutModem(kind, line);
            return;
        case CommandKind::Other:
        case CommandKind::Any:
            return;  // not understood: a module says nothing
        case CommandKind::PageRead:
        case CommandKind::WriteStart:
        case CommandKind::Activate:
            break;
    }
    if (!m_session) {
        answer(proto::kPasswordError);
        return;
    }
    if (kind == CommandKind::WriteStart)
        m_expectFrame = true;
    else if (kind == CommandKind::Activate)
        activate();
    else if (page != kAnyPage)
        readPage(page);
}

void KorvantaSim::takeByFault(ArmedFault& armed, CommandKind kind, int page) {
    ++armed.fired;
    const auto order = frame::ChecksumOrder::ModuleLittleEndian;
    switch (armed.fault.mode) {
        case FaultMode::NoAnswer:
        case FaultMode::Late:
            return;
        case FaultMode::PasswordError:
            if (kind == CommandKind::Login) m_session = false;
            answer(proto::kPasswordError);
            return;
        case FaultMode::DamagedFrame: {
            frame::Frame f = frame::build(pageData(page), std::uint16_t(page), order);
            f[0] ^= 0xFF;  // after the checksum, so it no longer matches
            answer(proto::kReadFrame + frame::toHex(f));
            return;
        }
        case FaultMode::WrongPage:
            answer(proto::kReadFrame +
                   frame::toHex(frame::build(pageData(page), std::uint16_t(page + 1), order)));
            return;
        case FaultMode::Garbage:
            answer(randomBytes(armed.random, kGarbageMin, kGarbageMax));
            return;
        case FaultMode::GarbageBurst:
            answerRaw(randomBytes(armed.random, kBurstMin, kBurstMax));
            return;
        case FaultMode::WrongKind:
            if (kind == CommandKind::PageWrite) {
                // The answer a read of the next page would get, where "WROK" is awaited.
                const int other = page < 0 ? 0 : (page + 1) % kBlockCount;
                answer(proto::kReadFrame +
                       frame::toHex(frame::build(pageData(other), std::uint16_t(other), order)));
            } else {
                answer(proto::kWriteOk);
            }
            return;
        case FaultMode::PortLost:
            losePort();
            return;
        case FaultMode::NoCarrier:
        case FaultMode::Busy:
            startDial(armed.fault.mode);
            return;
        case FaultMode::WrongLength:
            if (kind == CommandKind::PollRadio) {
                answer(m_radio.frameLine().chopped(1));  // no closing '>'
            } else if (kind == CommandKind::PollEvents) {
                const QByteArray line = m_state.eventLine();
                answer(line.left(line.size() / 2));
            } else {
                QByteArray f = statusFrame();
                answer(f.insert(f.size() - 1, '0'));
            }
            return;
        case FaultMode::WrongComma: {
            QByteArray f = statusFrame();
            f[statusframe::kCommas[1]] = ';';
            answer(f);
            return;
        }
        case FaultMode::BadDigits:
            if (kind == CommandKind::PollRadio)
                answer(m_radio.frameLine().toLower().replace("at_<", proto::kRadioFrame));
            else
                answer(m_state.eventLine().toLower().replace("at_{", proto::kEventLine));
            return;
        case FaultMode::RadioRefused:
            answer(proto::kRadioRefused);
            return;
        case FaultMode::StrayHigh: {
            // Bytes the page frame carries but the page does not own, all set; the checksum
            // covers them as it does any byte.
            const quint8 high = quint8((page >> 8) ^ kStrayHighMask);
            const std::uint16_t number = std::uint16_t((high << 8) | (page & 0xFF));
            const QByteArray further(frame::kFurtherSize, char(kStrayFurther));
            answer(proto::kReadFrame +
                   frame::toHex(frame::build(pageData(page), number, order, further)));
            return;
        }
        case FaultMode::NewestHigh: {
            QByteArray data = pageData(page);
            data[eventring::kNewestSlotOffset % frame::kDataSize] = char(kNewestTooHigh);
            answer(proto::kReadFrame +
                   frame::toHex(frame::build(data, std::uint16_t(page), order)));
            return;
        }
    }
}

void KorvantaSim::carryOutAuthorised(CommandKind kind, const QByteArray& line) {
    // These carry the code themselves; the module checks it whether or not a login came.
    if (line.mid(4) != codeString(m_code)) {
        answer(proto::kPasswordError);
        return;
    }
    switch (kind) {
        case CommandKind::PollStatus:
            answer(statusFrame());
            return;
        case CommandKind::PollEvents:
            answer(m_state.eventLine());
            return;
        case CommandKind::AlarmStop:
            m_state.stopAlarms();
            answer(proto::kPasswordOk);
            return;
        case CommandKind::PollRadio:
            answer(m_radio.frameLine());
            return;
        case CommandKind::RadioTeach:
            // The module says nothing: the radio frames show the teaching.
            m_radio.teach(line.at(kTeachWord.size()) - '0');
            return;
        case CommandKind::RadioDelete:
            m_radio.deleteAll();
            return;
        default:
            break;
    }
    const QByteArray word = line.left(4);
    const std::pair<int, std::pair<int, bool>> partitions[] = {
        {proto::kAuthPartition1On, {1, true}},
        {proto::kAuthPartition2On, {2, true}},
        {proto::kAuthPartition1Off, {1, false}},
        {proto::kAuthPartition2Off, {2, false}},
    };
    for (const auto& [code, change] : partitions)
        if (word == commandWord(code)) m_state.setPartition(change.first, change.second);
    answer(proto::kPasswordOk);
}

QByteArray KorvantaSim::statusFrame() const {
    ModuleState::WiringModes wiring{};
    for (int z = 0; z < ModuleState::kZones; ++z)
        wiring[size_t(z)] = quint8(m_memory.at(
            FlashAddr::ZoneRecords + z * FlashAddr::ZoneRecordSize + FlashAddr::ZoneWiring));
    return m_state.statusFrame(m_statusVersion, wiring);
}

void KorvantaSim::setLiveIntervalMs(int ms) {
    m_liveTimer.stop();
    if (ms > 0) m_liveTimer.start(ms);
}

void KorvantaSim::liveStep() {
    if (const std::optional<QByteArray> message = m_state.step()) sendLine(*message);
}

void KorvantaSim::losePort() {
    // Deleting the notifiers must wait until the one that delivered this line has returned.
    m_losingPort = true;
    if (m_readNotifier) m_readNotifier->setEnabled(false);
    QTimer::singleShot(m_answerDelayMs, Qt::PreciseTimer, this, [this] {
        stop();
        emit unplugged();
    });
}

void KorvantaSim::readPage(int page) {
    if (!hasPage(page)) return;  // pages this firmware does not have
    answer(proto::kReadFrame +
           frame::toHex(frame::build(pageData(page), std::uint16_t(page),
                                     frame::ChecksumOrder::ModuleLittleEndian)));
}

QByteArray KorvantaSim::pageData(int page) const {
    if (page == proto::kVersionPage) return versionPage();
    if (page == clockpage::kPage) return clockPage();
    if (page >= proto::kConfigFirstPage && page < kBlockCount)
        return m_memory.mid(kBlockSize * page, kBlockSize);
    if (isEventPage(page))
        return m_state.eventMemory().mid(kBlockSize * (page - proto::kEventFirstPage), kBlockSize);
    return QByteArray(kBlockSize, '\0');
}

QByteArray KorvantaSim::versionPage() const {
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

void KorvantaSim::handleFrame(const QByteArray& digits) {
    frame::Frame f{};
    if (frame::decodeHex(digits, f, frame::ChecksumOrder::PcBigEndian) == frame::DecodeResult::Ok) {
        const int page = frame::pageNumber(f);
        if (page < kBlockCount) {
            m_pending[size_t(page)] = frame::data(f);
            answer(proto::kWriteOk);
            return;
        }
        if (page == clockpage::kPage) {
            setClockFrom(f);
            return;
        }
        if (FirmwareStore::isPage(page)) {
            m_firmware.store(f);
            answer(proto::kWriteOk);
            return;
        }
        if (FirmwareStore::isControlPage(page)) {
            checkFirmware(f);
            return;
        }
    }
    answer(proto::kWriteError);
}

QDateTime KorvantaSim::clockNow() const {
    return QDateTime::currentDateTime().addMSecs(m_clockOffsetMs);
}

void KorvantaSim::setClock(const QDateTime& time) {
    m_clockOffsetMs = QDateTime::currentDateTime().msecsTo(time);
}

QByteArray KorvantaSim::clockPage() const {
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

void KorvantaSim::setClockFrom(const frame::Frame& f) {
    // The module's clock chip takes no impossible date; it keeps its time and says so.
    const QDate date(2000 + f[clockpage::kYear], f[clockpage::kMonth], f[clockpage::kDay]);
    const QTime time(f[clockpage::kHour], f[clockpage::kMinute]);
    if (f[clockpage::kYear] > 99 || !date.isValid() || !time.isValid()) {
        answer(proto::kWriteError);
        return;
    }
    setClock(QDateTime(date, time));
    answer(proto::kWriteOk);
}

void KorvantaSim::checkFirmware(const frame::Frame& control) {
    if (!m_firmware.check(control)) {
        answer(proto::kWriteError);
        return;
    }
    answer(proto::kFirmwareOk);
    // The new firmware starts: nothing is heard until it runs, and the session is gone.
    m_restarting = true;
    m_session = false;
    m_expectFrame = false;
    QTimer::singleShot(m_restartMs, this, [this] {
        m_restarting = false;
        ++m_restarts;
        emit restarted();
    });
}

void KorvantaSim::activate() {
    for (int b = 0; b < kBlockCount; ++b) {
        QByteArray& block = m_pending[size_t(b)];
        if (!block.isEmpty()) m_memory.replace(kBlockSize * b, block.size(), block);
        block.clear();
    }
    ++m_activations;
    answer(proto::kCrcOk);
    QString error;
    if (!m_memoryFile.isEmpty() && !saveMemory(m_memoryFile, &error))
        qWarning("korvanta-sim: %s", qPrintable(error));
}

void KorvantaSim::answer(const QByteArray& line) { answerRaw(line + kModuleLineEnd); }

void KorvantaSim::answerRaw(const QByteArray& bytes) {
    if (m_answerDelayMs <= 0) {
        writeOut(bytes);
        return;
    }
    QTimer::singleShot(m_answerDelayMs, Qt::PreciseTimer, this, [this, bytes] { writeOut(bytes); });
}

void KorvantaSim::watchEscape(char byte) {
    const qint64 nowMs = m_clock.elapsed();
    const bool quietBefore = nowMs - m_lastByteMs >= m_guardMs;
    m_lastByteMs = nowMs;
    if (byte == '+' && m_escapePluses < kEscapeLength && (m_escapePluses > 0 || quietBefore)) {
        // The escape counts only once the line stays quiet for a guard time after it.
        if (++m_escapePluses == kEscapeLength) m_escapeTimer.start(m_guardMs);
        return;
    }
    m_escapePluses = 0;
    m_escapeTimer.stop();
}

void KorvantaSim::escapeToCommands() {
    m_escapePluses = 0;
    m_assembler = LineAssembler(proto::kMaxLineLength);  // the "+++" was the modem's, not a line
    m_modemState = ModemState::Escaped;
    answer(proto::kOk);
}

void KorvantaSim::startDial(FaultMode outcome) {
    m_modemState = ModemState::Dialling;
    m_dialOutcome = outcome;
    m_dialTimer.start(m_connectMs + m_answerDelayMs);
}

void KorvantaSim::finishDial() {
    if (m_dialOutcome != FaultMode::NoAnswer) {
        m_modemState = ModemState::OnHook;
        answer(m_dialOutcome == FaultMode::Busy ? kBusy : kNoCarrier);
        return;
    }
    m_modemState = ModemState::Online;
    m_escapePluses = 0;
    m_lastByteMs = m_clock.elapsed();
    answer(kConnected);
}

void KorvantaSim::hangUpModem() {
    m_dialTimer.stop();
    m_escapeTimer.stop();
    m_escapePluses = 0;
    if (m_modemState == ModemState::Online || m_modemState == ModemState::Escaped) {
        // The module loses the call, and its session with it.
        m_session = false;
        m_expectFrame = false;
    }
    m_modemState = ModemState::OnHook;
}

void KorvantaSim::carryOutModem(CommandKind kind, const QByteArray& line) {
    const bool callUp = m_modemState == ModemState::Escaped;
    if (kind == CommandKind::HangUp) {
        hangUpModem();
        answer(proto::kOk);
    } else if (kind == CommandKind::Dial) {
        if (callUp)
            answer(kModemError);  // one call at a time
        else
            startDial(FaultMode::NoAnswer);
    } else if (callUp && line.toUpper() == "ATO") {
        m_modemState = ModemState::Online;
        m_lastByteMs = m_clock.elapsed();
        answer(kConnected);
    } else {
        answer(proto::kOk);
    }
}

void KorvantaSim::sendLine(const QByteArray& line) { writeOut(line + kModuleLineEnd); }

void KorvantaSim::writeOut(const QByteArray& bytes) {
    if (!m_pace) {
        m_out.append(bytes);
        flushOut();
        return;
    }
    if (m_paced.isEmpty()) {
        // The line was idle: a new burst starts now.
        m_pacedStartNs = m_clock.nsecsElapsed();
        m_pacedSent = 0;
    }
    m_paced.append(bytes);
    if (!m_paceTimer.isActive()) m_paceTimer.start();
}

void KorvantaSim::releasePaced() {
    // Counting from the start of the burst keeps the average rate exact however late the
    // timer fires.
    const qint64 due = (m_clock.nsecsElapsed() - m_pacedStartNs) * kBytesPerSecond / 1000000000;
    const int n = int(std::min<qint64>(due - m_pacedSent, m_paced.size()));
    if (n > 0) {
        m_out.append(m_paced.left(n));
        m_paced.remove(0, n);
        m_pacedSent += n;
        flushOut();
    }
    if (m_paced.isEmpty()) m_paceTimer.stop();
}

void KorvantaSim::flushOut() {
    while (!m_out.isEmpty() && m_master >= 0) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n <= 0) break;
        m_bytesOut += n;
        m_out.remove(0, int(n));
    }
    if (m_writeNotifier) m_writeNotifier->setEnabled(!m_out.isEmpty());
}
