#include "events/eventring.h"

#include <algorithm>

using namespace eventring;

int newestSlot(const EventRingBytes& ring) {
    return std::min(int(ring[kNewestSlotOffset]), kSlots - 1);
}

QList<int> shownSlots(const EventRingBytes& ring) {
    QList<int> order;
    int s = newestSlot(ring);
    for (int row = 0; row < kShownRows; ++row) {
        order.append(s);
        s = s == 0 ? kSlots - 1 : s - 1;
    }
    return order;
}

EventRecord slotRecord(const EventRingBytes& ring, int slot) {
    EventRecord r;
    if (slot < 0 || slot >= kSlots) return r;
    std::copy_n(ring.begin() + slot * kRecordSize, kRecordSize, r.bytes.begin());
    return r;
}
