#include "sim/ptyline.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "link/portnames.h"

namespace {
constexpr int kHighestPort = 96;

// 19200 baud with a start and a stop bit: 1920 bytes a second.
constexpr qint64 kBytesPerSecond = 1920;
constexpr double kByteNs = 1e9 / double(kBytesPerSecond);
constexpr int kPaceTickMs = 2;
}  // namespace

PtyLine::PtyLine(QObject* parent) : QObject(parent) {
    m_clock.start();
    m_inboundTimer.setSingleShot(true);
    m_inboundTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_inboundTimer, &QTimer::timeout, this, &PtyLine::deliverDueLines);
    m_paceTimer.setInterval(kPaceTickMs);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, &PtyLine::releasePaced);
}

PtyLine::~PtyLine() { stop(); }

bool PtyLine::start(const QString& comName, QString* error) {
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
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &PtyLine::onReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &PtyLine::flushOut);
    return true;
}

void PtyLine::stop() {
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_inboundTimer.stop();
    m_paceTimer.stop();
    m_inbound.clear();
    m_paced.clear();
    m_out.clear();
    dropPartialLine();  // a line cut off by the stop is gone
    m_unplugging = false;
    if (!m_linkPath.isEmpty()) QFile::remove(m_linkPath);
    m_linkPath.clear();
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
    m_slave = m_master = -1;
}

QString PtyLine::highestFreeComName() const {
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

bool PtyLine::linkAs(const QString& comName, QString* error) {
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

void PtyLine::unplug(int afterMs) {
    // Deleting the notifiers must wait until the one that delivered this line has returned.
    m_unplugging = true;
    if (m_readNotifier) m_readNotifier->setEnabled(false);
    QTimer::singleShot(afterMs, Qt::PreciseTimer, this, [this] {
        stop();
        emit unplugged();
    });
}

void PtyLine::setPace(bool on) {
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

void PtyLine::onReadable() {
    char buf[4096];
    while (true) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0) break;
        m_bytesIn += n;
        const double nowNs = double(m_clock.nsecsElapsed());
        for (ssize_t i = 0; i < n; ++i) {
            if (m_byteWatcher) m_byteWatcher(buf[i]);
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

void PtyLine::acceptLine(const QByteArray& line) {
    if (m_unplugging) return;  // the cable is already out
    if (m_lineHandler) m_lineHandler(line);
}

void PtyLine::deliverDueLines() {
    while (!m_inbound.empty() && m_inbound.front().dueNs <= double(m_clock.nsecsElapsed())) {
        const QByteArray line = m_inbound.front().line;
        m_inbound.pop_front();
        acceptLine(line);
    }
    scheduleInbound();
}

void PtyLine::scheduleInbound() {
    if (m_inbound.empty() || m_inboundTimer.isActive()) return;
    const double waitNs = m_inbound.front().dueNs - double(m_clock.nsecsElapsed());
    m_inboundTimer.start(waitNs > 0 ? int(std::ceil(waitNs / 1e6)) : 0);
}

void PtyLine::send(const QByteArray& bytes) {
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

void PtyLine::releasePaced() {
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

void PtyLine::flushOut() {
    while (!m_out.isEmpty() && m_master >= 0) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n <= 0) break;
        m_bytesOut += n;
        m_out.remove(0, int(n));
    }
    if (m_writeNotifier) m_writeNotifier->setEnabled(!m_out.isEmpty());
}
