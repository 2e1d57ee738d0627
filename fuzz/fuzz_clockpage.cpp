// The clock page: any 270 bytes give a text.
#include "clock/clockpage.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    frame::Frame page{};
    for (size_t i = 0; i < size && i < page.size(); ++i) page[i] = data[i];
    clockpage::clockText(page);
    return 0;
}
