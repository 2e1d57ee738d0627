#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "link/portnames.h"
#include "link/serialdevice.h"

// The one serial port of the program. Errors are thrown as EComPort.
class TComPort : public QObject {
    Q_OBJECT
public:
    explicit TComPort(std::unique_ptr<SerialDevice> device, QObject* parent = nullptr);

    QString port() const { return m_port; }
    // Normalises the name; if it changed while open, reopens on the new name (may throw).
    void setPort(const QString& name);

    void open();   // no-op when open; throws EComPort(1) on failure
    void close();  // no-op when closed
    bool connected() const { return m_device->isOpen(); }
    // The device the port was last opened on, as its name resolved then (resolvePortDevice).
    QString device() const { return m_openedDevice; }

    // Returns once the driver took all bytes; throws EComPort(2) on failure or timeout.
    int writeStr(const QByteArray& bytes);
    // Reads what is waiting, up to n bytes; 0 when nothing is. Throws EComPort(3).
    int read(char* data, int n);

    // Write timeout for n bytes: 100 ms per byte plus 1000 ms.
    static int writeTimeoutMs(int n) { return 1000 + 100 * n; }

signals:
    // Bytes are waiting; delivered on the thread that owns the port.
    void rxChar(int count);
    // The device vanished while open; the port is closed.
    void portLost();
    // The port was opened (by the user, or again after a loss).
    void opened();

private:
    std::unique_ptr<SerialDevice> m_device;
    QString m_port = QStringLiteral("COM1");
    QString m_openedDevice;
};

// Whether the device a port was opened on (`openedDevice`, from TComPort::device) is there
// again under its COM name. Another device now behind the name is not it: a link whose
// adapter is away leaves the name to the fixed tty of its number.
bool portDeviceBack(const QString& comName, const QString& openedDevice,
                    const QString& portsDir = portsFolder(),
                    const QString& devDir = QStringLiteral("/dev"));
