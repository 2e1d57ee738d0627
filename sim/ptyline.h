#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

#include "link/lineassembler.h"
#include "link/protocol.h"

// The module's end of the serial line: a pseudo-terminal whose slave is linked as a COM name
// in the ports folder. Assembles what the PC sends into lines and, when paced, moves bytes at
// 19200 baud in both directions without blocking the thread. Knows nothing of the protocol.
class PtyLine : public QObject {
    Q_OBJECT
public:
    explicit PtyLine(QObject* parent = nullptr);
    ~PtyLine() override;

    // Opens the pty and links it as `comName` ("COM95"), or as the highest free COM name when
    // empty. Returns false with a reason in *error.
    bool start(const QString& comName = {}, QString* error = nullptr);
    void stop();
    bool isRunning() const { return m_master >= 0; }
    QString comName() const { return m_comName; }
    QString slavePath() const { return m_slavePath; }

    // Every byte as it arrives, before it is part of a line (a modem listens for "+++" here).
    void setByteWatcher(std::function<void(char)> watcher) { m_byteWatcher = std::move(watcher); }
    // Every complete line, without its CR, once its last byte has crossed the line.
    void setLineHandler(std::function<void(const QByteArray&)> handler) {
        m_lineHandler = std::move(handler);
    }
    // Forgets a line begun but not ended.
    void dropPartialLine() { m_assembler = LineAssembler(proto::kMaxLineLength); }

    void send(const QByteArray& bytes);

    // The cable comes out `afterMs` from now: nothing more is heard at once, then the pty
    // closes, the COM link goes and unplugged() follows. start() plugs it in again.
    void unplug(int afterMs);

    void setPace(bool on);
    bool pace() const { return m_pace; }

    qint64 bytesReceived() const { return m_bytesIn; }
    qint64 bytesSent() const { return m_bytesOut; }
    void resetByteCounts() { m_bytesIn = m_bytesOut = 0; }

signals:
    void unplugged();

private:
    struct InboundLine {
        double dueNs;  // when the line's last byte has crossed the paced line
        QByteArray line;
    };

    void onReadable();
    void acceptLine(const QByteArray& line);
    void deliverDueLines();
    void scheduleInbound();
    void releasePaced();
    void flushOut();
    bool linkAs(const QString& comName, QString* error);
    QString highestFreeComName() const;

    std::function<void(char)> m_byteWatcher;
    std::function<void(const QByteArray&)> m_lineHandler;
    qint64 m_bytesIn = 0;
    qint64 m_bytesOut = 0;
    int m_master = -1;
    int m_slave = -1;  // held open so the line keeps its raw settings between PC sessions
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QByteArray m_out;
    LineAssembler m_assembler{proto::kMaxLineLength};
    QString m_comName;
    QString m_linkPath;
    QString m_slavePath;
    bool m_unplugging = false;

    // Pacing: all times are nanoseconds on m_clock.
    bool m_pace = false;
    QElapsedTimer m_clock;
    double m_lastArrivalNs = 0;  // when the last received byte has fully arrived
    std::deque<InboundLine> m_inbound;
    QTimer m_inboundTimer;
    QByteArray m_paced;         // bytes waiting for the line
    qint64 m_pacedStartNs = 0;  // when the current burst began to go out
    qint64 m_pacedSent = 0;     // bytes of that burst already put on the line
    QTimer m_paceTimer;
};
