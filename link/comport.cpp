#include "link/comport.h"

#include <QFileInfo>

#include "link/ecomport.h"
#include "link/portnames.h"

TComPort::TComPort(std::unique_ptr<SerialDevice> device, QObject* parent)
    : QObject(parent), m_device(std::move(device)) {
    connect(m_device.get(), &SerialDevice::readyRead, this, [this] {
        const qint64 waiting = m_device->bytesAvailable();
        if (waiting > 0) emit rxChar(int(waiting));
    });
    connect(m_device.get(), &SerialDevice::lost, this, [this] {
        m_device->close();
        emit portLost();
    });
}

void TComPort::setPort(const QString& name) {
    const QString normalised = normalisePortName(name);
    if (normalised == m_port) return;
    m_port = normalised;
    if (connected()) {
        close();
        open();
    }
}

void TComPort::open() {
    if (connected()) return;
    int systemError = EComPort::kNoSystemError;
    const QString device = resolvePortDevice(m_port);
    if (!m_device->open(m_port, &systemError)) throw EComPort(EComPort::kOpen, systemError);
    m_openedDevice = device;
    emit opened();
}

void TComPort::close() {
    if (connected()) m_device->close();
}

int TComPort::writeStr(const QByteArray& bytes) {
    if (!m_device->write(bytes, writeTimeoutMs(int(bytes.size()))))
        throw EComPort(EComPort::kWrite);
    return int(bytes.size());
}

int TComPort::read(char* data, int n) {
    if (!connected()) return 0;
    const qint64 got = m_device->read(data, n);
    if (got < 0) throw EComPort(EComPort::kRead);
    return int(got);
}

bool portDeviceBack(const QString& comName, const QString& openedDevice, const QString& portsDir,
                    const QString& devDir) {
#ifdef Q_OS_WIN
    Q_UNUSED(openedDevice);
    for (const PortEntry& p : listPorts(portsDir, devDir))
        if (p.name == normalisePortName(comName)) return true;
    return false;
#else
    const QString now = resolvePortDevice(comName, portsDir, devDir);
    return !openedDevice.isEmpty() && now == openedDevice && QFileInfo::exists(now);
#endif
}
