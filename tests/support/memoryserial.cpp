#include "support/memoryserial.h"

#include <QTimer>

bool MemorySerialDevice::open(const QString& comName, int* systemError) {
    if (failingNames.contains(comName)) {
        *systemError = openSystemError;
        return false;
    }
    openedName = comName;
    ++opens;
    m_open = true;
    return true;
}

bool MemorySerialDevice::write(const QByteArray& bytes, int) {
    if (failWrites) return false;
    written += bytes;
    if (onWrite) onWrite(bytes);
    return true;
}

void MemorySerialDevice::feedLater(const QByteArray& bytes) {
    QTimer::singleShot(0, this, [this, bytes] { feed(bytes); });
}

qint64 MemorySerialDevice::read(char* data, qint64 maxSize) {
    if (failReads) return -1;
    const qint64 n = qMin<qint64>(maxSize, m_rx.size());
    memcpy(data, m_rx.constData(), size_t(n));
    m_rx.remove(0, int(n));
    return n;
}

void MemorySerialDevice::feed(const QByteArray& bytes) {
    m_rx += bytes;
    emit readyRead();
}

QByteArray MemorySerialDevice::takeWritten() {
    QByteArray out;
    out.swap(written);
    return out;
}
