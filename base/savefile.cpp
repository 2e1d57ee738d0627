#include "base/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>

#include <cerrno>
#endif

namespace savefile {

namespace {

// A file under a fresh name of its own in `folder`. Created exclusively, so a name somebody
// planted (a link included) is never opened; hidden, so no listing of the folder shows it.
std::unique_ptr<QFile> createTemporary(const QString& folder) {
    constexpr int kTries = 16;
    for (int i = 0; i < kTries; ++i) {
        auto file = std::make_unique<QFile>(QDir(folder).filePath(
            QStringLiteral(".telvora-%1.tmp")
                .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'))));
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) return file;
        const QFileInfo taken(file->fileName());
        if (!taken.exists() && !taken.isSymLink()) return nullptr;  // the folder is the matter
    }
    return nullptr;
}

bool nameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

}  // namespace

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

Result createNew(const QString& path, const QByteArray& bytes) {
    if (nameTaken(path)) return Result::Exists;
    const std::unique_ptr<QFile> temporary = createTemporary(QFileInfo(path).absolutePath());
    if (!temporary) return Result::CannotCreate;
    const QString temporaryPath = temporary->fileName();
    struct RemoveTemporary {
        const QString& path;
        ~RemoveTemporary() { QFile::remove(path); }
    } removeTemporary{temporaryPath};

    if (!writeAll(*temporary, bytes)) return Result::WriteFailed;
#ifdef Q_OS_UNIX
    // The bytes are on the disk before the name shows them.
    if (::fsync(temporary->handle()) != 0) return Result::WriteFailed;
#endif
    temporary->close();
    if (temporary->error() != QFileDevice::NoError) return Result::WriteFailed;

#ifdef Q_OS_UNIX
    // link() gives the file its second name only where no name is: it fails on any existing
    // entry, a dangling symbolic link included, and never follows one. The temporary name goes
    // when this returns, the entry's name stays.
    const QByteArray from = QFile::encodeName(temporaryPath);
    const QByteArray to = QFile::encodeName(path);
    if (::link(from.constData(), to.constData()) == 0) return Result::Saved;
    return errno == EEXIST ? Result::Exists : Result::CommitFailed;
#else
    // QFile::rename never replaces an existing file; the check before it keeps it from a link.
    if (nameTaken(path)) return Result::Exists;
    if (QFile::rename(temporaryPath, path)) return Result::Saved;
    return nameTaken(path) ? Result::Exists : Result::CommitFailed;
#endif
}

}  // namespace savefile
