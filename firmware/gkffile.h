#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/pageframe.h"

// Firmware files (.GKF): text lines of hex digits, each a scrambled record of 66 bytes, two
// header bytes and 64 data bytes. Four records fill a firmware page; the pages go to the
// module from page 33, and a control page (545) lets it check what it got.
namespace gkf {

constexpr const char* kFilter = "GSM Korvanta Firmware file (*.GKF)";
constexpr const char* kInitialName = "*.GKF";

constexpr int kMaxLines = 2048;  // further lines are dropped
constexpr int kRecordSize = 66;
constexpr int kHeaderBytes = 2;
constexpr int kDataBytes = 64;
constexpr int kRecordsPerPage = 4;
constexpr int kMaxPages = kMaxLines / kRecordsPerPage;     // 512
constexpr int kPageBytes = kRecordsPerPage * kRecordSize;  // 264: data and further bytes
constexpr std::uint8_t kMissing = 0xFF;                    // bytes of records not in the file
constexpr std::uint16_t kFirstPage = 33;
constexpr std::uint16_t kControlPage = 545;
constexpr const char kControlMark[] = "FIRMW.";  // the further bytes after the count

// Where a line keeps its fields (0-based character positions); the first is not used.
constexpr int kSeedAt = 1;
constexpr int kHeaderAt = 3;
constexpr int kDataAt = 7;
constexpr int kLineUsed = kDataAt + 2 * kDataBytes;  // 135 characters; the rest is ignored
constexpr char kLineStart = ':';                     // what this program writes first

// The module maker's descrambling table. The firmware files must have been scrambled with the
// same one; this program's own files (telvora-cli gkf) are.
constexpr std::array<std::uint8_t, 8> kDescramblingKey = {0x4B, 0xA7, 0x19, 0xE2,
                                                          0x5D, 0x80, 0x36, 0xCF};

using Record = std::array<std::uint8_t, kRecordSize>;

// The record a line holds, for line `index` (0-based) of its file. A character that is no hex
// digit ("0"-"9", "A"-"F"), lower case included, counts as 0; so do missing ones.
Record decodeLine(const QByteArray& line, int index);
// The line of a record at `index`, scrambled under `seed`.
QByteArray encodeLine(const Record& record, int index, std::uint8_t seed);

// Pages and control page, as they go to the module.
struct Image {
    int lineCount = 0;
    std::vector<frame::Frame> pages;  // pages 33 .. 32 + pageCount()
    frame::Frame control{};
    int pageCount() const { return int(pages.size()); }
};
Image build(const std::vector<Record>& records);

// The lines of a text: ends are LF, CR LF or CR; text after the last end is a line of its
// own. Keeps the first `maxLines`.
QList<QByteArray> splitLines(const QByteArray& text, int maxLines = kMaxLines);

// Reads a firmware file. On failure returns the error text ("File not found",
// "Access denied", ...) and leaves `image` as it was.
std::optional<QString> load(const QString& path, Image& image);

// A firmware file of `binary`: its records back to back (a last short record is filled up
// with erased bytes). Nothing, with the reason in *error, when it holds more records than a
// file may.
std::optional<QByteArray> fromBinary(const QByteArray& binary, QString* error = nullptr);
// The records of an image back to back, as the pages hold them.
QByteArray recordBytes(const Image& image);

}  // namespace gkf
