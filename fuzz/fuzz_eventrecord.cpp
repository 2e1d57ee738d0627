// The 8-byte event record, in both grid variants and with any names.
#include "events/eventrecord.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    EventRecord record;
    for (int i = 0; i < 8; ++i) record.bytes[size_t(i)] = data[i];
    // The rest of the input becomes a name table of any length.
    NameTable names;
    for (size_t i = 8; i < size; ++i) names << QString(QChar(data[i]));
    decodeEventRecord(record, ZoneUserVariant::StatusWindow);
    decodeEventRecord(record, ZoneUserVariant::EventList, names);
    return 0;
}
