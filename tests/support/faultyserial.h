#pragma once

#include <QByteArray>
#include <functional>
#include <memory>

#include "link/serialdevice.h"

// A real serial device with one fault added: writes fail when `failWrite` says so, as a USB
// adapter does when it is pulled mid-write or its driver stalls.
class FaultySerialDevice : public SerialDevice {
public:
    explicit FaultySerialDevice(std::unique_ptr<SerialDevice> inner) : m_inner(std::move(inner)) {
        connect(m_inner.get(), &SerialDevice::readyRead, this, &SerialDevice::readyRead);
        connect(m_inner.get(), &SerialDevice::lost, this, &SerialDevice::lost);
    }

    bool open(const QString& comName, int* systemError) override {
        return m_inner->open(comName, systemError);
    }
    void close() override { m_inner->close(); }
    bool isOpen() const override { return m_inner->isOpen(); }
    bool write(const QByteArray& bytes, int timeoutMs) override {
        if (failWrite && failWrite(bytes)) return false;
        if (wrote) wrote(bytes);
        return m_inner->write(bytes, timeoutMs);
    }
    qint64 bytesAvailable() const override { return m_inner->bytesAvailable(); }
    qint64 read(char* data, qint64 maxSize) override { return m_inner->read(data, maxSize); }

    std::function<bool(const QByteArray&)> failWrite;
    // Sees every write that goes out, at the moment the program makes it.
    std::function<void(const QByteArray&)> wrote;

private:
    std::unique_ptr<SerialDevice> m_inner;
};
