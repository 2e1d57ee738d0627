#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <array>

// The module's radio receiver: 36 slots of taught devices, and a teach that waits for the
// device to send (here: a timer stands for someone pressing the sensor's or remote's button).
class RadioSlots : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlots = 36;
    static constexpr int kTaught = 0x01;
    static constexpr int kNoTeach = -1;

    explicit RadioSlots(QObject* parent = nullptr);

    // "AT_<", the 36 status bytes, the teach marker, the last signal strength, two bytes
    // unused, ">".
    QByteArray frameLine() const;

    // Starts teaching a slot (a teach already running is given up); false for no slot.
    bool teach(int slot);
    void deleteAll();
    // The device being taught sends now: the teach completes at once.
    void triggerDevice();
    // How long after a teach starts its device sends (default 3 s); 0: only triggerDevice().
    void setTeachMs(int ms) { m_teachMs = ms; }
    int teachMs() const { return m_teachMs; }

    int teachingSlot() const { return m_teaching; }
    quint8 status(int slot) const { return m_status[size_t(slot)]; }
    void setStatus(int slot, quint8 status) { m_status[size_t(slot)] = status; }
    int strength() const { return m_strength; }

signals:
    void taught(int slot);

private:
    std::array<quint8, kSlots> m_status{};
    int m_teaching = kNoTeach;
    int m_strength = 0;
    int m_teachMs = 3000;
    QTimer m_teachTimer;
};
