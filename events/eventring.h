#pragma once

#include <QList>
#include <QtGlobal>
#include <array>

#include "events/eventrecord.h"

// The module's event memory as read from its four pages: 96 records of 8 bytes in a ring,
// then the number of the newest slot.
namespace eventring {

constexpr int kSlots = 96;
constexpr int kRecordSize = 8;
constexpr int kNewestSlotOffset = kSlots * kRecordSize;  // 768
constexpr int kSize = 1024;                              // four pages
constexpr int kShownRows = 90;                           // the six oldest slots are never shown

}  // namespace eventring

using EventRingBytes = std::array<quint8, eventring::kSize>;

// The newest slot, kept inside the ring: a byte above 95 names no slot and reads as the last.
int newestSlot(const EventRingBytes& ring);

// Slots in the order the list shows them: the newest first, then backwards around the ring.
QList<int> shownSlots(const EventRingBytes& ring);

EventRecord slotRecord(const EventRingBytes& ring, int slot);
