// telvora-cli show on any 2048 bytes: one parameter a line, every time.
#include <cstdlib>

#include "fuzz/fuzzsupport.h"
#include "params/paramtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray image = bytesOf(data, size).left(2048);
    image.append(QByteArray(2048 - image.size(), '\0'));
    const QList<paramtext::Line> lines = paramtext::describe(image);
    if (lines.size() != 1364) std::abort();
    for (const paramtext::Line& l : lines)
        for (QChar c : l.value)
            if (c.unicode() < 0x20) std::abort();
    return 0;
}
