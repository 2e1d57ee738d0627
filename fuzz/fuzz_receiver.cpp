// The receiver fed a raw byte stream in bursts: lines, flags and page frames.
#include <cstdlib>

#include "fuzz/fuzzsupport.h"
#include "link/modulelink.h"
#include "link/pageframe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ensureApplication();
    auto device = std::make_unique<FuzzSerialDevice>();
    FuzzSerialDevice* d = device.get();
    ModuleLink link(std::move(device));
    link.ComPort1().open();
    // The first byte sets the burst length, so the fuzzer explores lines split anywhere.
    const QByteArray all = bytesOf(data, size);
    const int burst = size > 0 ? 1 + data[0] : 1;
    for (int at = 1; at < all.size(); at += burst) d->feed(all.mid(at, burst));
    // Whatever arrived, a frame the receiver reports as received has a checksum that holds.
    if (link.flag(Flag::FrameReceived) &&
        frame::checksum(link.frameBuffer()) !=
            frame::storedChecksum(link.frameBuffer(), frame::ChecksumOrder::ModuleLittleEndian))
        std::abort();
    return 0;
}
