// Name pages: any bytes, and name fields anywhere, give 24 names without reading outside.
#include <cstdlib>

#include "events/names.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    NamePagesBytes pages{};
    for (size_t i = 5; i < size && i - 5 < pages.size(); ++i) pages[i - 5] = data[i];
    // The field positions come from the input too: a wrong layout must not read outside.
    const NameFields fields{data[0] * 4, data[1], data[2] * 4, data[3], data[4] % 40};
    const NameTable table = namesFromPages(pages, fields);
    if (table.size() != 24) std::abort();
    for (int zone = 1; zone <= 12; ++zone) zoneCaption(table, zone);
    return 0;
}
