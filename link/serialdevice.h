#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// What the port layer needs of a serial device. The real one is QSerialPort; tests use an
// in-memory one to feed received bytes and read what was written.
class SerialDevice : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialDevice() override = default;

    // Opens the device behind a COM name with the module's line settings. On failure returns
    // false and sets *systemError to the system's error number (or -1 when none is known).
    virtual bool open(const QString& comName, int* systemError) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Returns once the driver has taken all bytes, false on failure or after timeoutMs.
    virtual bool write(const QByteArray& bytes, int timeoutMs) = 0;
    virtual qint64 bytesAvailable() const = 0;
    // Reads what is waiting (never waits); -1 on failure.
    virtual qint64 read(char* data, qint64 maxSize) = 0;

signals:
    void readyRead();
    // The device went away while open (cable pulled, adapter unplugged).
    void lost();
};


// QSerialPort at 19200 8N1, no flow control, DTR and RTS on.
std::unique_ptr<SerialDevice> makeQtSerialDevice();
