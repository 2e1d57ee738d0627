// Status frames, event lines and module messages: any line, and a status frame of any of the
// four lengths, decode without reading past what they hold.
#include "fuzz/fuzzsupport.h"
#include "status/statusframe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body = bytesOf(data, size);
    decodeStatusFrame(body);
    decodeStatusFrame("AT_[" + body);
    decodeEventLine("AT_{" + body);
    moduleMessageText("AT_/" + body);
    return 0;
}
