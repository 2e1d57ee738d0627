#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "link/serialdevice.h"

// A serial device in memory: tests feed what the module "sends" and read what was written.
class MemorySerialDevice : public SerialDevice {
    Q_OBJECT
public:
    bool open(const QString& comName, int* systemError) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray& bytes, int timeoutMs) override;
    qint64 bytesAvailable() const override { return m_rx.size(); }
    qint64 read(char* data, qint64 maxSize) override;

    // Received bytes arrive (readyRead is emitted at once, as the port would).
    void feed(const QByteArray& bytes);

    QByteArray written;        // everything written since the last take
    QByteArray takeWritten();  // returns and clears `written`
    QString openedName;        // COM name of the last open
    int opens = 0;

    // Called with every write; a test plays the module here. Answers fed from inside arrive
    // on the next pass of the event loop, as a real line delivers them.
    std::function<void(const QByteArray&)> onWrite;
    // Queues bytes to arrive on the next pass of the event loop.
    void feedLater(const QByteArray& bytes);

    // Injected faults.
    QList<QString> failingNames;  // open fails for these COM names
    int openSystemError = 2;
    bool failWrites = false;
    bool failReads = false;

private:
    bool m_open = false;
    QByteArray m_rx;
};
