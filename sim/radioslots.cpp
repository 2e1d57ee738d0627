#include "sim/radioslots.h"

#include "link/hex.h"
#include "link/protocol.h"

namespace {
constexpr int kTeachingBit = 0x80;  // of the marker byte: a teach runs for its slot
constexpr int kStrongest = 63;
}  // namespace

RadioSlots::RadioSlots(QObject* parent) : QObject(parent) {
    m_teachTimer.setSingleShot(true);
    connect(&m_teachTimer, &QTimer::timeout, this, &RadioSlots::triggerDevice);
}

QByteArray RadioSlots::frameLine() const {
    QByteArray bytes(reinterpret_cast<const char*>(m_status.data()), kSlots);
    bytes += char(m_teaching == kNoTeach ? 0 : kTeachingBit | m_teaching);
    bytes += char(m_strength);
    bytes += QByteArray(2, '\0');
    return proto::kRadioFrame +
           hex::encode(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size()) +
           '>';
}

bool RadioSlots::teach(int slot) {
    if (slot < 0 || slot >= kSlots) return false;
    m_teaching = slot;
    if (m_teachMs > 0)
        m_teachTimer.start(m_teachMs);
    else
        m_teachTimer.stop();
    return true;
}

void RadioSlots::deleteAll() {
    m_teachTimer.stop();
    m_teaching = kNoTeach;
    m_status.fill(0);
}

void RadioSlots::triggerDevice() {
    if (m_teaching == kNoTeach) return;
    m_teachTimer.stop();
    const int slot = m_teaching;
    m_teaching = kNoTeach;
    m_status[size_t(slot)] = kTaught;
    // Each device a little further away than the one before.
    m_strength = kStrongest - (slot * 7) % 40;
    emit taught(slot);
}
