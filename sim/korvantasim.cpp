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

#include "link/pageframe.h"
#include "link/codestring.h"
#include "link/hex.h"
#include "link/portnames.h"
#include "link/protocol.h"
#include "link/textcodec.h"

namespace {
constexpr int kHighestPort = 96;
const QByteArray kModuleLineEnd("\r\n");

constexpr int kVersionPage = 0xFFFF;
// The version page: the firmware text may run into byte 32, where the data version begins.
constexpr int kFirmwareTextMax = 33;
constexpr int kDataVersionOffset = 32;
constexpr int kDataVersionMax = 33;

// 19200 baud with a start and a stop bit: 1920 bytes a second.
constexpr qint64 kBytesPerSecond = 1920;
constexpr double kByteNs = 1e9 / double(kBytesPerSecond);
constexpr int kPaceTickMs = 2;

// Where a new module keeps its settings.
constexpr int kUserCount = 12;
constexpr int kUserRecord = 15;
constexpr int kNameSize = 10;
constexpr int kInstallerCodeOffset = 180;
constexpr int kZoneOffset = 183;
constexpr int kZoneRecord = 20;
constexpr int kEventOffset = 423;
constexpr int kEventCount = 47;
constexpr int kEventRecord = 26;
constexpr int kSmsSize = 20;
constexpr int kPhoneOffset = 1671;
constexpr int kPhoneBytes = 7 * 16;
constexpr int kAckOffset = 1783;
constexpr int kSettingsOffset = 1787;  // account number up to the night walk time
constexpr int kRemoteOffset = 1871;

// Rights of the first user (everything on the keypad) and of the others (arm and disarm both
// partitions); report routes of alarms (call and SMS to number 1, centre), of restores (SMS to
// number 1, centre) and of everything else (centre only).
constexpr quint16 kMasterRights = 0x0FFF;
constexpr quint16 kUserRights = 0x000F;
constexpr quint16 kReportAlarm = 0x0111;
constexpr quint16 kReportRestore = 0x0110;
constexpr quint16 kReportCentre = 0x0100;

// clang-format off
// Contact-ID codes of the 47 reported events, in event order.
constexpr quint16 kContactId[kEventCount] = {
    0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130,
    0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130, 0x130,
    0x137, 0x137, 0x402, 0x402, 0x402, 0x402, 0x602, 0x301, 0x301, 0x302, 0x302, 0x311,
    0x384, 0x384, 0x391, 0x391, 0x626, 0x625, 0x306, 0x350, 0x350, 0x121, 0x344};

// Account number digits, arm mode, OUT1 and OUT2 (mode, delay, minutes), three relays
// (triggers off, 0 s delay, 5 s on), then the times and limits: alarm 5 min, test report at
// 12:00 daily, no bypass, 3 alarms per zone, no automatic arming, 1 min night walk.
constexpr quint8 kSettings[] = {
    0, 0, 0, 0,  0,  0, 0, 3,  0, 0, 3,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5,
    5, 12, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1};
// clang-format on
static_assert(kSettingsOffset + int(sizeof kSettings) == kRemoteOffset,
              "the settings run up to the remote buttons");

QByteArray textField(const QString& text, int size) {
    return (toModuleText(text) + QByteArray(size, ' ')).left(size);
}

void put(QByteArray& mem, int offset, const QByteArray& bytes) {
    mem.replace(offset, bytes.size(), bytes);
}

void putWord(QByteArray& mem, int offset, quint16 value) {
    mem[offset] = char(value >> 8);
    mem[offset + 1] = char(value & 0xFF);
}

bool isHexDigits(const QByteArray& line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return hex::digitValue(c) >= 0; });
}
}  // namespace

KorvantaSim::KorvantaSim(QObject* parent) : QObject(parent), m_memory(factoryMemory()) {
    m_clock.start();
    m_inboundTimer.setSingleShot(true);
    m_inboundTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_inboundTimer, &QTimer::timeout, this, &KorvantaSim::deliverDueLines);
    m_paceTimer.setInterval(kPaceTickMs);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, &KorvantaSim::releasePaced);
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
    for (int n = 1; n <= kUserCount; ++n) {
        const int at = kUserRecord * (n - 1);
        put(mem, at, textField(QStringLiteral("Felh. %1").arg(n), kNameSize));
        // Only the first user has a code; the others' code fields hold no digit.
        put(mem, at + kNameSize,
            QByteArray::fromHex(codeString(n == 1 ? QStringLiteral("1111") : QString())));
        putWord(mem, at + kNameSize + 3, n == 1 ? kMasterRights : kUserRights);
        // Remote buttons: arm both partitions, disarm, night arming, relay 1.
        mem[kRemoteOffset + 2 * (n - 1)] = char(0x15);
        mem[kRemoteOffset + 2 * (n - 1) + 1] = char(0x46);
    }
    put(mem, kInstallerCodeOffset, QByteArray::fromHex(codeString(installerCode)));
    for (int n = 1; n <= kUserCount; ++n) {
        // Normally-closed loop in both partitions, 0.5 s sensitivity, exit delay 30 s; the
        // entrance zone 1 also has an entry delay of 20 s.
        const quint8 zone[] = {1, 0, 5, quint8(n == 1 ? 20 : 0), 30, 0, 0, 0, 0, 0};
        const int at = kZoneOffset + kZoneRecord * (n - 1);
        put(mem, at, textField(QStringLiteral("Zóna %1").arg(n), kNameSize));
        put(mem, at + kNameSize, QByteArray(reinterpret_cast<const char*>(zone), sizeof zone));
    }
    for (int n = 1; n <= kEventCount; ++n) {
        const int at = kEventOffset + kEventRecord * (n - 1);
        const bool input = n <= 2 * kUserCount;
        const bool alarm = input && n % 2 == 1;
        for (int d = 0; d < 3; ++d) mem[at + d] = char((kContactId[n - 1] >> (4 * (2 - d))) & 0xF);
        putWord(mem, at + 3, alarm ? kReportAlarm : input ? kReportRestore : kReportCentre);
        const QString sms = !input  ? QString()
                            : alarm ? QStringLiteral("Riasztás: $")
                                    : QStringLiteral("Helyreállt: $");
        put(mem, at + 5, textField(sms, kSmsSize));
        mem[at + 5 + kSmsSize] = 0;  // no voice message
    }
    put(mem, kPhoneOffset, QByteArray(kPhoneBytes, '\0'));
    put(mem, kAckOffset, QByteArray(4, char(1)));  // "*" acknowledges a call
    put(mem, kSettingsOffset,
        QByteArray(reinterpret_cast<const char*>(kSettings), sizeof kSettings));
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
            const char c = buf[i];
            // On a paced line a byte is only complete one byte time after the previous one.
            if (m_pace) m_lastArrivalNs = std::max(m_lastArrivalNs, nowNs) + kByteNs;
            if (c == proto::kLineEnd) {
                if (!m_line.isEmpty()) {
                    QByteArray line;
                    line.swap(m_line);
                    // Lines queued before pacing was switched off still go first.
                    if (m_pace || !m_inbound.empty())
                        m_inbound.push_back({m_pace ? m_lastArrivalNs : nowNs, line});
                    else
                        acceptLine(line);
                }
            } else if (c != proto::kLineFeed) {
                m_line.append(c);
            }
        }
    }
    scheduleInbound();
}

void KorvantaSim::acceptLine(const QByteArray& line) {
    m_received.append(line);
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

void KorvantaSim::handleLine(const QByteArray& line) {
    if (m_silent) return;
    if (m_expectFrame) {
        m_expectFrame = false;
        handleFrame(line);
        return;
    }
    // A line of hex digits is frame data, never a command; without a "WRFL" before it, it is
    // noise and goes unanswered.
    if (isHexDigits(line)) return;
    if (m_passwordErrorToAll) {
        m_session = false;
        answer(proto::kPasswordError);
        return;
    }
    const QByteArray login = authorisedCommand(proto::kAuthLogin, QString());
    if (line.startsWith(login.left(4)) && line.size() == login.size()) {
        m_session = line.mid(4) == codeString(m_code);
        answer(m_session ? proto::kPasswordOk : proto::kPasswordError);
        return;
    }
    const bool read = line.startsWith(proto::kReadFrame);
    const bool write = line == proto::kWriteFrame;
    const bool activation = line == proto::kActivate;
    if (!read && !write && !activation) return;  // not understood: a module says nothing
    if (!m_session) {
        answer(proto::kPasswordError);
        return;
    }
    if (write) {
        m_expectFrame = true;
    } else if (activation) {
        activate();
    } else {
        const QByteArray digits = line.mid(4);
        if (digits.size() != 4 || !isHexDigits(digits)) return;
        readPage(digits.toInt(nullptr, 16));
    }
}

void KorvantaSim::readPage(int page) {
    if (page == m_noAnswerPage) return;
    QByteArray data;
    if (page >= 0 && page < kBlockCount)
        data = m_memory.mid(kBlockSize * page, kBlockSize);
    else if (page == kVersionPage)
        data = versionPage();
    else
        return;  // pages this firmware does not have
    const int number = page == m_wrongPageNumberPage ? page + 1 : page;
    frame::Frame f =
        frame::build(data, std::uint16_t(number), frame::ChecksumOrder::ModuleLittleEndian);
    if (page == m_damagedPage) f[0] ^= 0xFF;  // after the checksum, so it no longer matches
    answer(proto::kReadFrame + frame::toHex(f));
}

QByteArray KorvantaSim::versionPage() const {
    QByteArray data(frame::kDataSize, '\0');
    const QByteArray firmware = m_firmwareText.left(kFirmwareTextMax);
    put(data, 0, firmware);
    // A firmware text of full length covers the start of the data-version field.
    if (firmware.size() < kFirmwareTextMax)
        put(data, kDataVersionOffset, m_dataVersionText.left(kDataVersionMax));
    return data;
}

void KorvantaSim::handleFrame(const QByteArray& digits) {
    frame::Frame f{};
    if (frame::decodeHex(digits, f, frame::ChecksumOrder::PcBigEndian) == frame::DecodeResult::Ok) {
        const int page = frame::pageNumber(f);
        if (page == m_noAnswerPage) return;  // lost: neither kept nor answered
        if (page < kBlockCount) {
            m_pending[size_t(page)] = frame::data(f);
            answer(proto::kWriteOk);
            return;
        }
    }
    answer(proto::kWriteError);
}

void KorvantaSim::activate() {
    if (m_noCrcOk) return;
    for (int b = 0; b < kBlockCount; ++b) {
        QByteArray& block = m_pending[size_t(b)];
        if (!block.isEmpty()) put(m_memory, kBlockSize * b, block);
        block.clear();
    }
    ++m_activations;
    answer(proto::kCrcOk);
    QString error;
    if (!m_memoryFile.isEmpty() && !saveMemory(m_memoryFile, &error))
        qWarning("korvanta-sim: %s", qPrintable(error));
}

void KorvantaSim::answer(const QByteArray& line) {
    if (m_answerDelayMs <= 0) {
        sendLine(line);
        return;
    }
    QTimer::singleShot(m_answerDelayMs, Qt::PreciseTimer, this, [this, line] { sendLine(line); });
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
