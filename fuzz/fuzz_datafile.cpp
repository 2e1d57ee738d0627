// The data file load: the first 2048 bytes or a refusal that leaves the image as it was.
#include <QDir>
#include <QFile>
#include <cstdlib>

#include "config/datafile.h"
#include "fuzz/fuzzsupport.h"
#include "params/paramimage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path =
        QDir::temp().filePath(QStringLiteral("telvora-fuzz-%1.KD2").arg(QCoreApplication::applicationPid()));
    ensureApplication();
    const QByteArray bytes = bytesOf(data, size);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return 0;
    }
    ParamImage image;
    image.setAt(0, 0x5A);
    const ParamImage before = image;
    const bool failed = datafile::open(path, image).has_value();
    if (failed != (bytes.size() < 2048)) std::abort();
    if (failed ? image != before : image.bytes() != bytes.left(2048)) std::abort();
    return 0;
}
