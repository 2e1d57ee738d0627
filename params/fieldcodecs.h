#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The encodings of the parameter memory. Reading never changes the image; writing changes
// exactly the bytes of the field.
namespace codec {

// Text: bytes 0x00 and 0xFF are no characters; trailing blanks are trimmed. Written padded
// with blanks (a longer text is cut). Windows-1250.
QString readText(const QByteArray& image, int offset, int length);
void writeText(QByteArray& image, int offset, int length, const QString& text);

// Code: six nibbles, digit d stored as 15 - d, nibble 0 for no digit. "******" when empty.
// Nibbles 1..5 read as "E".."A" and are written back as they were.
constexpr const char* kNoCode = "******";
QString readCode(const QByteArray& image, int offset);
void writeCode(QByteArray& image, int offset, const QString& text);

// Phone: 16 positions, a digit character or empty (0x00). Returned as 16 cells, a blank
// standing for an empty cell; positions keep their places.
constexpr int kPhoneCells = 16;
QString readPhone(const QByteArray& image, int offset);
void writePhone(QByteArray& image, int offset, const QString& cells);

// Hex digits, one per byte: "0".."9", "A".."F". Contact-ID digits use the low four bits only.
QString readHexDigits(const QByteArray& image, int offset, int count);
void writeHexDigits(QByteArray& image, int offset, int count, const QString& cells);

// 16-bit word, high byte at the lower offset.
int readWord(const QByteArray& image, int offset);
void writeWord(QByteArray& image, int offset, int value);

// 60 triggers in 8 bytes: trigger k is bit k % 8 of byte k / 8.
std::uint64_t readTriggerSet(const QByteArray& image, int offset);
void writeTriggerSet(QByteArray& image, int offset, std::uint64_t triggers);

bool readFlagEqualOne(const QByteArray& image, int offset);
bool readFlagNotZero(const QByteArray& image, int offset);
void writeFlag(QByteArray& image, int offset, bool set);

// Test report time "hh:mm" from the binary hour and minute bytes.
QString readTestTime(const QByteArray& image, int offset);
void writeTestTime(QByteArray& image, int offset, const QString& text);

// 4-bit value in the high or low half of a byte.
int readNibble(const QByteArray& image, int offset, bool high);
void writeNibble(QByteArray& image, int offset, bool high, int value);

int readByte(const QByteArray& image, int offset);
void writeByte(QByteArray& image, int offset, int value);

}  // namespace codec
