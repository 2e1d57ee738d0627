#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
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

signals:
    void lineReceived(const QByteArray& line);

private:
    void onReadable();
    void handleLine(const QByteArray& line);
    void writeOut(const QByteArray& bytes);
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
};
