#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

#include "link/serialdevice.h"

// Fuzz targets share one application object (timers and signals need it) and an in-memory
// serial device that hands the fuzzer's bytes to the receiver.
inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance()
                                       ? QCoreApplication::instance()
                                       : new QCoreApplication(argc, argv);
    (void)app;
}

inline QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}

class FuzzSerialDevice : public SerialDevice {
public:
    bool open(const QString&, int*) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray&, int) override { return true; }
    qint64 bytesAvailable() const override { return m_rx.size(); }
    qint64 read(char* data, qint64 maxSize) override {
        const qint64 n = qMin<qint64>(maxSize, m_rx.size());
        memcpy(data, m_rx.constData(), size_t(n));
        m_rx.remove(0, int(n));
        return n;
    }
    void feed(const QByteArray& bytes) {
        m_rx += bytes;
        emit readyRead();
    }

private:
    bool m_open = false;
    QByteArray m_rx;
};
