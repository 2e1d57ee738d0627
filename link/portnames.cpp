#include "link/portnames.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QSerialPortInfo>
#endif

namespace {
constexpr int kFirstPort = 1;
constexpr int kLastPort = 96;
constexpr int kPortsPerFamily = 32;
const char* const kDeviceFamilies[] = {"ttyS", "ttyUSB", "ttyACM"};
}  // namespace

QString normalisePortName(const QString& name) {
    QString rest = name;
    if (rest.left(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0) rest = rest.mid(3);
    bool ok = false;
    int n = rest.toInt(&ok, 10);
    if (!ok || n < kFirstPort || n > kLastPort) n = kFirstPort;
    return QStringLiteral("COM%1").arg(n);
}

int portNumber(const QString& comName) { return normalisePortName(comName).mid(3).toInt(); }

QString portsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/telvora/ports");
}

static QString fixedDevice(int n, const QString& devDir) {
    const int family = (n - 1) / kPortsPerFamily;
    const int index = (n - 1) % kPortsPerFamily;
    return devDir + QLatin1Char('/') + QLatin1String(kDeviceFamilies[family]) +
           QString::number(index);
}

QString resolvePortDevice(const QString& comName, const QString& portsDir, const QString& devDir) {
    const QString name = normalisePortName(comName);
#ifdef Q_OS_WIN
    Q_UNUSED(portsDir);
    Q_UNUSED(devDir);
    return name;
#else
    // A dangling link (its simulator gone) names nothing; the list skips it too.
    const QFileInfo link(portsDir + QLatin1Char('/') + name);
    if (link.exists()) return link.filePath();
    return fixedDevice(portNumber(name), devDir);
#endif
}

QList<PortEntry> listPorts(const QString& portsDir, const QString& devDir) {
    QList<PortEntry> out;
#ifdef Q_OS_WIN
    Q_UNUSED(portsDir);
    Q_UNUSED(devDir);
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        if (info.portName().startsWith(QLatin1String("COM")))
            out.append({info.portName(), info.description()});
    std::sort(out.begin(), out.end(), [](const PortEntry& a, const PortEntry& b) {
        return portNumber(a.name) < portNumber(b.name);
    });
#else
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        const QFileInfo link(portsDir + QLatin1Char('/') + name);
        // A dangling link (its simulator gone) is no port.
        if (link.exists()) {
            out.append({name, link.isSymLink() ? link.symLinkTarget() : link.filePath()});
            continue;
        }
        const QString dev = fixedDevice(n, devDir);
        if (QFileInfo::exists(dev)) out.append({name, dev});
    }
#endif
    return out;
}
