#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

// Files the program writes replace the old file only when the new one is complete.
namespace savefile {

enum class Result {
    Saved,
    CannotCreate,  // the folder is missing or not writable
    WriteFailed,   // the disk filled up or the device failed while writing
    CommitFailed,  // the new file could not take the old one's place
    Exists,        // createNew: the name is taken (by a file, a folder or any symbolic link)
};

// Writes all of `bytes` and pushes them out of the device's buffer. False when any of it did
// not reach the file: a buffered write can succeed into memory and fail only at the flush.
bool writeAll(QFileDevice& file, const QByteArray& bytes);

// Writes `bytes` into a temporary file beside `path` and renames it over `path`. On any
// failure the temporary file is removed and the file at `path` is left whole.
Result save(const QString& path, const QByteArray& bytes);

// Creates `path` as a new file holding `bytes`, all at once: the bytes go into a temporary file
// beside it, which then takes the name only if nothing has it. A name that exists is never
// followed nor replaced, a symbolic link included (dangling or not): that is Exists, and
// nothing is written anywhere. No temporary file is left behind on any outcome.
Result createNew(const QString& path, const QByteArray& bytes);

}  // namespace savefile
