#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <algorithm>
#include <optional>

#include "sim/faultmodel.h"
#include "sim/moduleprotocol.h"
#include "sim/ptyline.h"
#include "sim/simmodem.h"
#include "sim/simmodule.h"

// Plays the GSM-Korvanta module on a pseudo-terminal. The PC side opens the pty's slave,
// which is linked as a COM name in the ports folder. Runs on the thread that creates it,
// driven by that thread's event loop, so tests can use it in-process.
//
// It is put together from its parts: the line (PtyLine), the module's memory and life
// (SimModule), a modem that can stand in front of it (SimModem), the faults it is told to
// make (FaultModel) and the protocol that answers (ModuleProtocol).
class KorvantaSim : public QObject {
    Q_OBJECT
public:
    using CommandKind = FaultModel::CommandKind;
    using FaultMode = FaultModel::FaultMode;
    using Fault = FaultModel::Fault;
    using ModemState = SimModem::State;
    static constexpr int kCommandKindCount = FaultModel::kCommandKindCount;
    static constexpr int kAnyPage = FaultModel::kAnyPage;
    static constexpr int kAlways = FaultModel::kAlways;

    static bool applies(FaultMode mode, CommandKind kind) {
        return FaultModel::applies(mode, kind);
    }
    static std::optional<Fault> parseFault(const QString& text, QString* error = nullptr) {
        return FaultModel::parseFault(text, error);
    }

    explicit KorvantaSim(QObject* parent = nullptr);
    ~KorvantaSim() override;

    // Opens the pty and links it as `comName` ("COM95"), or as the highest free COM name when
    // empty. Returns false with a reason in *error.
    bool start(const QString& comName = {}, QString* error = nullptr) {
        return m_line.start(comName, error);
    }
    void stop() { m_line.stop(); }
    bool isRunning() const { return m_line.isRunning(); }
    QString comName() const { return m_line.comName(); }
    QString slavePath() const { return m_line.slavePath(); }

    // Installer code the module accepts (digits, as typed on a keypad).
    void setInstallerCode(const QString& digits) { m_module.setInstallerCode(digits); }
    QString installerCode() const { return m_module.installerCode(); }

    // Faults. Several may be armed; for each command the first armed fault (in the order they
    // were added) that matches it and has attempts left takes it. A Late fault also delays
    // what another fault sends. Returns an id for faultFired() and removeFault().
    int addFault(const Fault& fault) { return m_faults.add(fault); }
    void removeFault(int id) { m_faults.remove(id); }
    void clearFaults() { m_faults.clear(); }
    // How many commands the fault has taken (0 for an unknown id).
    int faultFired(int id) const { return m_faults.fired(id); }
    FaultModel& faults() { return m_faults; }

    // The older switches, each a spelling of one fault (FaultModel::switchSpelling), tried
    // before the faults added otherwise. Switching one again replaces it; off or -1 removes it.
    // Answer nothing at all: no-answer:any.
    void setSilent(bool silent) { m_faults.setSwitch(FaultModel::Switch::Silent, silent); }
    // No answer to "RDFL" of that page, nor to a written frame of that page: no-answer:any:N.
    void setNoAnswerPage(int page) { setPageSwitch(FaultModel::Switch::NoAnswerPage, page); }
    // "RDFL" of that page answered with a checksum that does not match: damage:read:N.
    void setDamagedPage(int page) { setPageSwitch(FaultModel::Switch::DamagedPage, page); }
    // "RDFL" of that page answered with a valid frame numbered page + 1: wrong-page:read:N.
    void setWrongPageNumberPage(int page) { setPageSwitch(FaultModel::Switch::WrongPage, page); }
    // Every command answered "PWDERR" (stray frame digits are data, not commands): pwderr:any.
    void setPasswordErrorToAll(bool on) {
        m_faults.setSwitch(FaultModel::Switch::PasswordError, on);
    }
    // "WRACT" commits nothing and gets no answer: no-answer:activate.
    void setNoCrcOk(bool on) { m_faults.setSwitch(FaultModel::Switch::NoCrcOk, on); }
    // Every answer goes out this much later, by timer: late=MS:any.
    void setAnswerDelayMs(int ms) { m_faults.setSwitch(FaultModel::Switch::Delay, ms > 0, ms); }

    // A modem in front of the module, as on a phone link (off by default); see SimModem. The
    // module's session ends with the call, and over this link the module refuses to teach or
    // delete radio devices ("RFTERR": the switch rfterr:any).
    void setModem(bool on);
    bool modem() const { return m_modem.isOn(); }
    ModemState modemState() const { return m_modem.state(); }
    void setModemConnectMs(int ms) { m_modem.setConnectMs(ms); }
    void setModemGuardMs(int ms) { m_modem.setGuardMs(ms); }
    // The clock the modem's dial and guard times run on; after moving a clock of its own the
    // caller calls modemCatchUp().
    void setModemClock(SimModem::Clock now) { m_modem.setClock(std::move(now)); }
    void modemCatchUp() { m_modem.catchUp(); }

    // Every complete line received from the PC, in order, without its CR: the newest
    // `keepReceived` of them (100000 unless set).
    void keepReceived(int lines) { m_receivedKept = std::max(1, lines); }
    const QList<QByteArray>& receivedLines() const { return m_received; }
    void clearReceived() { m_received.clear(); }
    // Commands received of a kind (Any: of every kind), answered or not; stray frame digits
    // are no command.
    int commandCount(CommandKind kind) const { return m_protocol.commandCount(kind); }
    void resetCommandCounts() { m_protocol.resetCommandCounts(); }

    // Sends a line (CR LF added), as the module does unprompted.
    void sendLine(const QByteArray& line) { m_protocol.sendLine(line); }

    // The parameter memory: eight 256-byte blocks, pages 0 to 7 on the line.
    static constexpr int kMemorySize = SimModule::kMemorySize;
    static constexpr int kBlockSize = SimModule::kBlockSize;
    static constexpr int kBlockCount = SimModule::kBlockCount;
    static QByteArray factoryMemory(const QString& installerCode = QStringLiteral("1234")) {
        return SimModule::factoryMemory(installerCode);
    }
    QByteArray memory() const { return m_module.memory(); }
    void setMemory(const QByteArray& bytes) { m_module.setMemory(bytes); }
    QByteArray pendingBlock(int block) const { return m_module.pendingBlock(block); }
    bool loadMemory(const QString& path, QString* error) {
        return m_module.loadMemory(path, error);
    }
    bool saveMemory(const QString& path, QString* error) const {
        return m_module.saveMemory(path, error);
    }
    // Saved after every activation ("WRACT"); empty for none.
    void setMemoryFile(const QString& path) { m_module.setMemoryFile(path); }
    QString memoryFile() const { return m_module.memoryFile(); }

    // The version page (FFFF): firmware text at byte 0, data-version digits at byte 32.
    void setFirmwareText(const QByteArray& text) { m_module.setFirmwareText(text); }
    void setDataVersionText(const QByteArray& digits) { m_module.setDataVersionText(digits); }
    int activationCount() const { return m_module.activationCount(); }
    bool sessionOpen() const { return m_protocol.sessionOpen(); }

    // The module's memory and life as a whole, for what the calls here do not cover.
    SimModule& module() { return m_module; }
    const SimModule& module() const { return m_module; }

    // What the module is doing, and its event memory (pages F000..F003).
    ModuleState& state() { return m_module.state(); }
    const ModuleState& state() const { return m_module.state(); }
    // The status frame version "RPWS" is answered with, 1..4 (default 4).
    void setStatusVersion(int version) { m_module.setStatusVersion(version); }
    int statusVersion() const { return m_module.statusVersion(); }
    // The status frame the module would send now.
    QByteArray statusFrame() const { return m_module.statusFrame(); }
    // How often the module's state takes a step of life (a zone opening and closing, the
    // battery drifting, a message now and then); 0 keeps it still, as it is when created.
    void setLiveIntervalMs(int ms) { m_module.setLiveIntervalMs(ms); }
    // One step of life at once.
    void liveStep() { m_module.liveStep(); }

    // The module's clock. It runs on from whatever it was last set to, by the PC or here.
    QDateTime clockNow() const { return m_module.clockNow(); }
    void setClock(const QDateTime& time) { m_module.setClock(time); }

    // The radio slots and their teaching.
    RadioSlots& radio() { return m_module.radio(); }
    const RadioSlots& radio() const { return m_module.radio(); }

    // The firmware pages received, and the firmware the last good check installed.
    const FirmwareStore& firmware() const { return m_module.firmware(); }
    // After "FIRMWAREOK" the module restarts on its new firmware and hears nothing for this
    // long (default 4 s); then it is back, logged out.
    void setRestartMs(int ms) { m_module.setRestartMs(ms); }
    bool restarting() const { return m_module.restarting(); }
    int restarts() const { return m_module.restarts(); }

    // Bytes move at 19200 baud, 8N1, in both directions, without blocking the thread.
    void setPace(bool on) { m_line.setPace(on); }
    bool pace() const { return m_line.pace(); }

    // Bytes that crossed the line in each direction since start (or the last reset).
    qint64 bytesReceived() const { return m_line.bytesReceived(); }
    qint64 bytesSent() const { return m_line.bytesSent(); }
    void resetByteCounts() { m_line.resetByteCounts(); }

signals:
    void lineReceived(const QByteArray& line);
    // A PortLost fault has closed the line; start() plugs it in again.
    void unplugged();
    // The restart after a firmware check is over.
    void restarted();

private:
    void setPageSwitch(FaultModel::Switch which, int page) {
        m_faults.setSwitch(which, page >= 0, page);
    }
    void acceptLine(const QByteArray& line);

    PtyLine m_line;
    SimModule m_module;
    SimModem m_modem;
    FaultModel m_faults;
    ModuleProtocol m_protocol{m_module, m_modem, m_faults, m_line};
    QList<QByteArray> m_received;
    int m_receivedKept = 100000;
};
