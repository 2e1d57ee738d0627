// Radio frames: any line after the token decodes or is refused, never read past its end.
#include "fuzz/fuzzsupport.h"
#include "radio/radioframe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body = bytesOf(data, size);
    radio::decode(body);
    radio::decode("AT_<" + body);
    if (size > 0) radio::slotView(data[0]);
    return 0;
}
