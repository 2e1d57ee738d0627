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

// A name typed without any extension gets ".KD2".
QString withDefaultExtension(const QString& path);

}  // namespace datafile
