// Firmware files: any text splits into lines, decodes into records and builds its pages;
// a binary made into a file reads back as the same records.
#include <cstdlib>

#include "firmware/gkffile.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text = bytesOf(data, size);
    std::vector<gkf::Record> records;
    int index = 0;
    for (const QByteArray& line : gkf::splitLines(text)) records.push_back(gkf::decodeLine(line, index++));
    gkf::build(records);
    if (const std::optional<QByteArray> file = gkf::fromBinary(text)) {
        std::vector<gkf::Record> back;
        index = 0;
        for (const QByteArray& line : gkf::splitLines(*file)) back.push_back(gkf::decodeLine(line, index++));
        if (gkf::recordBytes(gkf::build(back)).left(text.size()) != text) std::abort();
    }
    return 0;
}
