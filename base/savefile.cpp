#include "base/savefile.h"

#include <QSaveFile>

namespace savefile {

bool writeAll(QFileDevice& file, const QByteArray& bytes) {
    if (file.write(bytes) != bytes.size()) return false;
    // Some Qt versions let QSaveFile::commit() succeed after its own flush failed, which
    // would rename a short file over a good one; the error must be seen here, before commit.
    return file.flush() && file.error() == QFileDevice::NoError;
}

Result save(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return Result::CannotCreate;
    if (!writeAll(file, bytes)) {
        file.cancelWriting();
        return Result::WriteFailed;
    }
    return file.commit() ? Result::Saved : Result::CommitFailed;
}

}  // namespace savefile
