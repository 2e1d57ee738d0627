#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>

// The 270-byte unit in which every memory page travels: 256 data bytes, 8 further bytes,
// the page number (high byte first) at 264-265 and a 32-bit checksum at 266-269.
namespace frame {

constexpr int kSize = 270;
constexpr int kDataSize = 256;
constexpr int kFurtherOffset = 256;
constexpr int kFurtherSize = 8;
constexpr int kPageHighOffset = 264;
constexpr int kPageLowOffset = 265;
constexpr int kChecksumOffset = 266;
constexpr int kChecksummedBytes = 266;
constexpr int kHexDigits = 2 * kSize;  // 540 on the line

using Frame = std::array<std::uint8_t, kSize>;

// The PC stores the checksum most significant byte first, the module least significant first.
enum class ChecksumOrder { PcBigEndian, ModuleLittleEndian };

// Wrapping sum over bytes 0..265, each of 0..255 first XORed with the low 8 bits of its position.
std::uint32_t checksum(const Frame& f);
void storeChecksum(Frame& f, ChecksumOrder order);
std::uint32_t storedChecksum(const Frame& f, ChecksumOrder order);

std::uint16_t pageNumber(const Frame& f);
void setPageNumber(Frame& f, std::uint16_t page);

// A complete frame: data (up to 256 bytes, rest zero), further bytes (up to 8, rest zero),
// page number, checksum in the given order.
Frame build(const QByteArray& data, std::uint16_t page, ChecksumOrder order,
            const QByteArray& further = {});
QByteArray data(const Frame& f);  // bytes 0..255

// The 540 upper-case digits of a frame.
QByteArray toHex(const Frame& f);

enum class DecodeResult { Ok, BadLength, BadDigit, BadChecksum };

// Decodes the digits that follow the token into `into`. A wrong length leaves `into`
// untouched; a bad digit pair leaves the bytes before it already replaced, the rest as they
// were (the receiver's frame buffer behaves this way and readers rely on nothing more).
DecodeResult decodeHex(const QByteArray& digits, Frame& into, ChecksumOrder order);

}  // namespace frame
