#include "sim/korvantasim.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "link/codestring.h"
#include "link/portnames.h"
#include "link/protocol.h"

namespace {
constexpr int kHighestPort = 96;
const QByteArray kModuleLineEnd("\r\n");
}  // namespace

KorvantaSim::KorvantaSim(QObject* parent) : QObject(parent) {}

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
        if (error) *error = QStringLiteral("%1 is in use by %2").arg(comName, existing.symLinkTarget());
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

void KorvantaSim::onReadable() {
    char buf[4096];
    while (true) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (c == proto::kLineEnd) {
                if (!m_line.isEmpty()) {
                    QByteArray line;
                    line.swap(m_line);
                    m_received.append(line);
                    emit lineReceived(line);
                    handleLine(line);
                }
            } else if (c != proto::kLineFeed) {
                m_line.append(c);
            }
        }
    }
}

void KorvantaSim::handleLine(const QByteArray& line) {
    if (m_silent) return;
    const QByteArray login = authorisedCommand(proto::kAuthLogin, QString());
    if (line.startsWith(login.left(4)) && line.size() == login.size()) {
        sendLine(line.mid(4) == codeString(m_code) ? proto::kPasswordOk : proto::kPasswordError);
    }
    // Anything else is not understood, and a module says nothing to it.
}

void KorvantaSim::sendLine(const QByteArray& line) { writeOut(line + kModuleLineEnd); }

void KorvantaSim::writeOut(const QByteArray& bytes) {
    m_out.append(bytes);
    flushOut();
}

void KorvantaSim::flushOut() {
    while (!m_out.isEmpty() && m_master >= 0) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n <= 0) break;
        m_out.remove(0, int(n));
    }
    if (m_writeNotifier) m_writeNotifier->setEnabled(!m_out.isEmpty());
}
