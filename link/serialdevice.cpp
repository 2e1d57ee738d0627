#include "link/serialdevice.h"

#include <QSerialPort>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

#include "link/portnames.h"

namespace {

constexpr int kBaudRate = 19200;
constexpr qint64 kInputBufferBytes = 0;  // unlimited: the receiver drains it on every event

class QtSerialDevice : public SerialDevice {
public:
    QtSerialDevice() {
        connect(&m_port, &QSerialPort::readyRead, this, &SerialDevice::readyRead);
        connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            if (!m_port.isOpen()) return;
            if (e == QSerialPort::ResourceError || (e == QSerialPort::ReadError && hungUp()))
                emit lost();
        });
    }

    bool open(const QString& comName, int* systemError) override {
        m_port.setPortName(resolvePortDevice(comName));
        m_port.setBaudRate(kBaudRate);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        m_port.setReadBufferSize(kInputBufferBytes);
        errno = 0;
        if (!m_port.open(QIODevice::ReadWrite)) {
            const int err = errno;
            *systemError = err != 0 ? err : int(m_port.error());
            return false;
        }
        // A pseudo-terminal or a three-wire adapter has no modem lines; the module needs none.
        m_port.setDataTerminalReady(true);
        m_port.setRequestToSend(true);
        m_port.clearError();
        return true;
    }

    void close() override {
        if (m_port.isOpen()) m_port.close();
    }
    bool isOpen() const override { return m_port.isOpen(); }

    bool write(const QByteArray& bytes, int timeoutMs) override {
        if (m_port.write(bytes) != bytes.size()) return false;
        while (m_port.bytesToWrite() > 0)
            if (!m_port.waitForBytesWritten(timeoutMs)) return false;
        return true;
    }

    qint64 bytesAvailable() const override { return m_port.bytesAvailable(); }
    qint64 read(char* data, qint64 maxSize) override { return m_port.read(data, maxSize); }

private:
    // A tty whose device went away (adapter pulled, pseudo-terminal's other side closed)
    // reads as end of file, which QSerialPort reports as a ReadError or a ResourceError
    // depending on whatever errno was left from before; the hang-up itself is certain.
    bool hungUp() const {
#ifdef Q_OS_UNIX
        pollfd p{int(m_port.handle()), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
        return false;
#endif
    }

    QSerialPort m_port;
};

}  // namespace

std::unique_ptr<SerialDevice> makeQtSerialDevice() { return std::make_unique<QtSerialDevice>(); }
