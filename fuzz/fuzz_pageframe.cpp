// The page-frame decoder: a frame that decodes encodes back to the same digits.
#include <cstdlib>

#include "fuzz/fuzzsupport.h"
#include "link/pageframe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray digits = bytesOf(data, size);
    for (frame::ChecksumOrder order :
         {frame::ChecksumOrder::ModuleLittleEndian, frame::ChecksumOrder::PcBigEndian}) {
        frame::Frame f{};
        if (frame::decodeHex(digits, f, order) == frame::DecodeResult::Ok &&
            frame::toHex(f) != digits)
            std::abort();
    }
    return 0;
}
