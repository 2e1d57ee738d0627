#pragma once

#include <QList>
#include <QString>

// Port names are always "COM" + 1..96, on every platform; the device behind a name is
// found by resolvePortDevice.
QString normalisePortName(const QString& name);
// 1..96 of a normalised name.
int portNumber(const QString& comName);

// Per-user folder whose symbolic links COMn name a device (the simulator links itself here).
QString portsFolder();

// The device to open for a COM name. On POSIX a link COMn in portsDir wins; otherwise
// COM1-32 are ttyS0-31, COM33-64 ttyUSB0-31, COM65-96 ttyACM0-31 under devDir.
// On Windows the COM name is the device.
QString resolvePortDevice(const QString& comName, const QString& portsDir = portsFolder(),
                          const QString& devDir = QStringLiteral("/dev"));

struct PortEntry {
    QString name;    // "COM5"
    QString device;  // what it opens, shown as a tooltip
};

// The COM names whose device or link exists, in number order.
QList<PortEntry> listPorts(const QString& portsDir = portsFolder(),
                           const QString& devDir = QStringLiteral("/dev"));
