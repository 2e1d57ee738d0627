#include "config/datafile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/savefile.h"
#include "config/configimage.h"

namespace datafile {

namespace {
const char* const kFileNotFound = "File not found";
const char* const kPathNotFound = "Path not found";
const char* const kAccessDenied = "Access denied";
const char* const kReadBeyondEnd = "Read beyond end of file";
const char* const kDiskFull = "Disk full";
const char* const kFileExists = "File exists";

QString openFailureText(const QString& path) {
    const QFileInfo info(path);
    if (!info.dir().exists()) return QString::fromLatin1(kPathNotFound);
    if (!info.exists()) return QString::fromLatin1(kFileNotFound);
    return QString::fromLatin1(kAccessDenied);
}
}  // namespace

std::optional<QString> open(const QString& path, ParamImage& image) {
    QFile file(path);
    // Only a regular file: opening a FIFO or a device would wait for a writer and freeze the
    // program, and a device could hand out endless bytes.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) return QString::fromLatin1(kAccessDenied);
    if (!file.open(QIODevice::ReadOnly)) return openFailureText(path);
    const QByteArray bytes = file.read(image::kSize);
    if (bytes.size() < image::kSize) return QString::fromLatin1(kReadBeyondEnd);
    image = *ParamImage::fromBytes(bytes);
    return std::nullopt;
}

namespace {
std::optional<QString> saveFailureText(savefile::Result result, const QString& path) {
    switch (result) {
        case savefile::Result::Saved:
            return std::nullopt;
        case savefile::Result::CannotCreate:
            return QString::fromLatin1(QFileInfo(path).dir().exists() ? kAccessDenied
                                                                      : kPathNotFound);
        case savefile::Result::WriteFailed:
            return QString::fromLatin1(kDiskFull);
        case savefile::Result::Exists:
            return QString::fromLatin1(kFileExists);
        case savefile::Result::CommitFailed:
            break;
    }
    return QString::fromLatin1(kAccessDenied);
}
}  // namespace

std::optional<QString> save(const QString& path, const ParamImage& image) {
    return saveFailureText(savefile::save(path, image.bytes()), path);
}

std::optional<QString> saveNew(const QString& path, const ParamImage& image, bool* taken) {
    const savefile::Result result = savefile::createNew(path, image.bytes());
    if (taken) *taken = result == savefile::Result::Exists;
    return saveFailureText(result, path);
}

QString withDefaultExtension(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QLatin1String(kExtension);
}

}  // namespace datafile
