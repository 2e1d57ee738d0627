#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <array>
#include <deque>
#include <memory>

// Plays the GSM-Korvanta module on a pseudo-terminal. The PC side opens the pty's slave,
// which is linked as a COM name in the ports folder. Runs on the thread that creates it,
// driven by that thread's event loop, so tests can use it in-process.
class KorvantaSim : public QObject {
    Q_OBJECT
public:
    explicit KorvantaSim(QObject* parent = nullptr);
    ~KorvantaSim() override;

    // Opens the pty and links it as `comName` ("COM95"), or as the highest free COM name when
    // empty. Returns false with a reason in *error.
    bool start(const QString& comName = {}, QString* error = nullptr);
    void stop();
    QString comName() const { return m_comName; }
    QString slavePath() const { return m_slavePath; }

    // Installer code the module accepts (digits, as typed on a keypad).
    void setInstallerCode(const QString& digits) { m_code = digits; }
    QString installerCode() const { return m_code; }

    // Fault: answer nothing at all.
    void setSilent(bool silent) { m_silent = silent; }

    // Every complete line received from the PC, in order, without its CR.
    const QList<QByteArray>& receivedLines() const { return m_received; }
    void clearReceived() { m_received.clear(); }

    // Sends a line (CR LF added), as the module does unprompted.
    void sendLine(const QByteArray& line);

    // The parameter memory: eight 256-byte blocks, pages 0 to 7 on the line.
    static constexpr int kMemorySize = 2048;
    static constexpr int kBlockSize = 256;
    static constexpr int kBlockCount = kMemorySize / kBlockSize;
    // What a new module holds: names, the installer code, sensible zone and report settings,
    // empty telephone numbers, and the areas the firmware does not use left erased (0xFF).
    static QByteArray factoryMemory(const QString& installerCode = QStringLiteral("1234"));
    QByteArray memory() const { return m_memory; }  // the committed 2048 bytes
    void setMemory(const QByteArray& bytes);        // must be kMemorySize bytes
    // A block written with "WRFL" but not yet activated; empty when none is pending.
    QByteArray pendingBlock(int block) const;
    // The file must hold exactly kMemorySize bytes; otherwise false and the memory unchanged.
    bool loadMemory(const QString& path, QString* error);
    bool saveMemory(const QString& path, QString* error) const;
    // Saved after every activation ("WRACT"); empty for none.
    void setMemoryFile(const QString& path) { m_memoryFile = path; }
    QString memoryFile() const { return m_memoryFile; }

    // The version page (FFFF): firmware text at byte 0, data-version digits at byte 32.
    void setFirmwareText(const QByteArray& text) { m_firmwareText = text; }
    void setDataVersionText(const QByteArray& digits) { m_dataVersionText = digits; }
    int activationCount() const { return m_activations; }
    bool sessionOpen() const { return m_session; }

    // Faults, each off by default (-1 for the page numbers).
    // No answer to "RDFL" of that page, nor to a written frame of that page (it is dropped).
    void setNoAnswerPage(int page) { m_noAnswerPage = page; }
    // "RDFL" of that page is answered with a frame whose checksum does not match.
    void setDamagedPage(int page) { m_damagedPage = page; }
    // "RDFL" of that page is answered with a valid frame carrying page number page + 1.
    void setWrongPageNumberPage(int page) { m_wrongPageNumberPage = page; }
    // Every command is answered "PWDERR" (frame lines are data, not commands).
    void setPasswordErrorToAll(bool on) { m_passwordErrorToAll = on; }
    // "WRACT" commits nothing and gets no answer.
    void setNoCrcOk(bool on) { m_noCrcOk = on; }
    // Every answer goes out this much later, by timer.
    void setAnswerDelayMs(int ms) { m_answerDelayMs = ms; }
    // Bytes move at 19200 baud, 8N1, in both directions, without blocking the thread.
    void setPace(bool on);
    bool pace() const { return m_pace; }

    // Bytes that crossed the line in each direction since start (or the last reset).
    qint64 bytesReceived() const { return m_bytesIn; }
    qint64 bytesSent() const { return m_bytesOut; }
    void resetByteCounts() { m_bytesIn = m_bytesOut = 0; }

signals:
    void lineReceived(const QByteArray& line);

private:
    qint64 m_bytesIn = 0;
    qint64 m_bytesOut = 0;
    struct InboundLine {
        double dueNs;  // when the line's last byte has crossed the paced line
        QByteArray line;
    };

    void onReadable();
    void acceptLine(const QByteArray& line);
    void deliverDueLines();
    void scheduleInbound();
    void handleLine(const QByteArray& line);
    void handleFrame(const QByteArray& digits);
    void readPage(int page);
    void activate();
    QByteArray versionPage() const;
    void answer(const QByteArray& line);
    void writeOut(const QByteArray& bytes);
    void releasePaced();
    void flushOut();
    bool linkAs(const QString& comName, QString* error);
    QString highestFreeComName() const;

    int m_master = -1;
    int m_slave = -1;  // held open so the line keeps its raw settings between PC sessions
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QByteArray m_out;
    QByteArray m_line;
    QString m_comName;
    QString m_linkPath;
    QString m_slavePath;
    QString m_code = QStringLiteral("1234");
    bool m_silent = false;
    QList<QByteArray> m_received;

    QByteArray m_memory;
    std::array<QByteArray, kBlockCount> m_pending;
    QString m_memoryFile;
    QByteArray m_firmwareText = QByteArrayLiteral("GSM-Korvanta 4.07");
    QByteArray m_dataVersionText = QByteArrayLiteral("2");
    int m_activations = 0;
    bool m_session = false;
    bool m_expectFrame = false;  // the line after "WRFL" is its frame

    int m_noAnswerPage = -1;
    int m_damagedPage = -1;
    int m_wrongPageNumberPage = -1;
    bool m_passwordErrorToAll = false;
    bool m_noCrcOk = false;
    int m_answerDelayMs = 0;

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
