#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>

#include "link/pageframe.h"
#include "link/protocol.h"
#include "params/flashaddr.h"
#include "sim/firmwarestore.h"
#include "sim/modulestate.h"
#include "sim/radioslots.h"

// The simulated module's memory and life, apart from the line: its parameter memory and the
// blocks written but not yet activated, the pages it answers reads with, its installer code,
// its clock, its radio slots, its firmware and restart, and what it does over time.
class SimModule : public QObject {
    Q_OBJECT
public:
    // The parameter memory: eight 256-byte blocks, pages 0 to 7 on the line.
    static constexpr int kMemorySize = FlashAddr::ImageSize;
    static constexpr int kBlockSize = frame::kDataSize;
    static constexpr int kBlockCount = proto::kConfigPageCount;
    static_assert(kBlockSize * kBlockCount == kMemorySize, "the pages cover the memory");

    // What a new module holds: names, the installer code, sensible zone and report settings,
    // empty telephone numbers, and the areas the firmware does not use left erased (0xFF).
    static QByteArray factoryMemory(const QString& installerCode = QStringLiteral("1234"));

    explicit SimModule(QObject* parent = nullptr);

    // Installer code the module accepts (digits, as typed on a keypad).
    void setInstallerCode(const QString& digits) { m_code = digits; }
    QString installerCode() const { return m_code; }
    // Whether the six characters after a command's word are this module's code string.
    bool codeMatches(const QByteArray& codeString) const;

    QByteArray memory() const { return m_memory; }  // the committed 2048 bytes
    void setMemory(const QByteArray& bytes);        // must be kMemorySize bytes
    // A block written with "WRFL" but not yet activated; empty when none is pending.
    QByteArray pendingBlock(int block) const;
    void keepPending(int block, const QByteArray& data);
    // Commits the pending blocks, and saves the memory file when there is one.
    void activate();
    int activationCount() const { return m_activations; }
    // The file must hold exactly kMemorySize bytes; otherwise false and the memory unchanged.
    bool loadMemory(const QString& path, QString* error);
    bool saveMemory(const QString& path, QString* error) const;
    // Saved after every activation; empty for none.
    void setMemoryFile(const QString& path) { m_memoryFile = path; }
    QString memoryFile() const { return m_memoryFile; }

    // Pages the module answers reads of: the parameter memory, the version page, the event
    // memory and the clock.
    static bool hasPage(int page);
    // The 256 data bytes of a page; zeros for a page it does not have.
    QByteArray pageData(int page) const;

    // The version page (FFFF): firmware text at byte 0, data-version digits at byte 32.
    void setFirmwareText(const QByteArray& text) { m_firmwareText = text; }
    void setDataVersionText(const QByteArray& digits) { m_dataVersionText = digits; }
    QByteArray versionPage() const;

    // What the module is doing, and its event memory (pages F000..F003).
    ModuleState& state() { return m_state; }
    const ModuleState& state() const { return m_state; }
    // The status frame version "RPWS" is answered with, 1..4.
    void setStatusVersion(int version) { m_statusVersion = version; }
    int statusVersion() const { return m_statusVersion; }
    // The status frame the module would send now; its zones are wired as the memory says.
    QByteArray statusFrame() const;
    // How often the module's state takes a step of life; 0 keeps it still.
    void setLiveIntervalMs(int ms);
    void liveStep();

    // The module's clock runs on from whatever it was last set to.
    QDateTime clockNow() const;
    void setClock(const QDateTime& time);
    // The clock page (FFFE): year, month, day, hour, minute and second.
    QByteArray clockPage() const;
    // Sets the clock from a written clock frame; false for a date or time the clock chip
    // does not take (then it keeps its time).
    bool setClockFrom(const frame::Frame& f);

    RadioSlots& radio() { return m_radio; }
    const RadioSlots& radio() const { return m_radio; }

    const FirmwareStore& firmware() const { return m_firmware; }
    void storeFirmwarePage(const frame::Frame& f) { m_firmware.store(f); }
    // Checks the stored pages against the control page; on a match the module restarts on
    // the new firmware, hearing nothing for restart-ms.
    bool checkFirmware(const frame::Frame& control);
    void setRestartMs(int ms) { m_restartMs = ms; }
    bool restarting() const { return m_restarting; }
    int restarts() const { return m_restarts; }

signals:
    // A line the module sends unprompted, without its line end.
    void announces(const QByteArray& line);
    // The restart after a firmware check is over.
    void restarted();

private:
    QString m_code = QStringLiteral("1234");
    QByteArray m_memory;
    std::array<QByteArray, kBlockCount> m_pending;
    QString m_memoryFile;
    int m_activations = 0;
    QByteArray m_firmwareText = QByteArrayLiteral("GSM-Korvanta 4.07");
    QByteArray m_dataVersionText = QByteArrayLiteral("2");
    ModuleState m_state;
    int m_statusVersion = 4;
    QTimer m_liveTimer;
    qint64 m_clockOffsetMs = 0;  // the module's clock against the PC's
    RadioSlots m_radio;
    FirmwareStore m_firmware;
    int m_restartMs = 4000;
    bool m_restarting = false;
    int m_restarts = 0;
};
