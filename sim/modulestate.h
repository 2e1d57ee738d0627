#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QRandomGenerator>
#include <QString>
#include <array>
#include <optional>

#include "events/eventring.h"

// What the simulated module is doing: its zones, partitions, alarm, supplies and GSM field,
// and its event memory, which grows as things happen. Knows nothing of the line; the
// simulator asks it for frames and tells it the commands it received.
class ModuleState {
public:
    static constexpr int kZones = 12;
    static constexpr int kEventMemorySize = eventring::kSize;
    // The user number the module logs for commands authorised by the installer code.
    static constexpr int kInstallerUser = 13;

    // A module that has been in use for some weeks: its event memory holds more history than
    // the ring keeps (so it has wrapped), ending shortly before `now`; the partitions are
    // armed or not as its last arming or disarming left them.
    explicit ModuleState(const QDateTime& now = QDateTime::currentDateTime(), quint32 seed = 1);

    QByteArray eventMemory() const { return m_events; }
    // Must be kEventMemorySize bytes.
    void setEventMemory(const QByteArray& bytes);
    // Writes a record into the slot after the newest and makes it the newest.
    void logEvent(int type, int number, quint8 marks = 0, quint8 flags = 0,
                  const QDateTime& when = QDateTime::currentDateTime());

    // Zone wiring modes (0..3) come from the parameter memory, which the simulator owns.
    using WiringModes = std::array<int, kZones>;
    // The status frame of a version 1..4.
    QByteArray statusFrame(int version, const WiringModes& wiring) const;
    // "AT_{" and the eight newest records, newest first.
    QByteArray eventLine() const;

    bool partitionArmed(int partition) const { return m_armed[size_t(partition - 1)]; }
    // Arms or disarms partition 1 or 2 and logs it as the installer's doing.
    void setPartition(int partition, bool armed);
    bool alarmActive() const { return m_alarm; }
    // Ends the alarm: sirens and relay off; notifications still pending are marked stopped.
    void stopAlarms();
    // A zone's loop leaves or returns to its rest state; while a partition is armed an open
    // zone raises an alarm. Zones are 1..12.
    void setZoneOpen(int zone, bool open, const QDateTime& when = QDateTime::currentDateTime());
    bool zoneOpen(int zone) const { return m_zoneOpen[size_t(zone - 1)]; }

    // One step of life: a zone opens or closes now and then, the battery drifts, the field
    // strength wanders, and pending notifications go out. Returns a message the module
    // announces unprompted, when it has one.
    std::optional<QByteArray> step(const QDateTime& now = QDateTime::currentDateTime());

    int terminalTenths() const { return m_terminalTenths; }
    int batteryTenths() const { return m_batteryTenths; }
    int gsmLevel() const { return m_gsm; }
    int temperature() const { return m_temperature; }

private:
    int newest() const;

    QByteArray m_events;
    std::array<bool, 2> m_armed{};
    std::array<bool, kZones> m_zoneOpen{};
    bool m_alarm = false;
    int m_terminalTenths = 138;
    int m_batteryTenths = 133;
    int m_gsm = 21;
    int m_temperature = 24;
    int m_steps = 0;
    QRandomGenerator m_random;
};
