#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class ParamImage;

// A data file is the 2048 bytes of the configuration image and nothing else.
namespace datafile {

constexpr const char* kFilter = "GSM Korvanta Data File ver.2 (*.KD2)";
constexpr const char* kInitialName = "*.KD2";
constexpr const char* kExtension = ".KD2";

// Reads the first 2048 bytes of the file into `image`. On failure returns the error text
// ("File not found", "Read beyond end of file", ...) and leaves `image` as it was.
std::optional<QString> open(const QString& path, ParamImage& image);

// Writes the image through a temporary file renamed over the target, so a failed save never
// destroys the file that was there. Returns the error text on failure.
std::optional<QString> save(const QString& path, const ParamImage& image);

// Saves the image as a new file, all at once, never over anything: when the name is taken (a
// symbolic link included, which is not followed) *taken is set, nothing is written, and the
// error text is returned.
std::optional<QString> saveNew(const QString& path, const ParamImage& image, bool* taken);

// A name typed without any extension gets ".KD2".
QString withDefaultExtension(const QString& path);

}  // namespace datafile
