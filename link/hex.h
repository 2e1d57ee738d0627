#pragma once

#include <QByteArray>
#include <cstdint>

// The line protocol carries bytes as upper-case hexadecimal digit pairs, high digit first.
namespace hex {

// "0A" for 10; always two upper-case digits.
QByteArray byteToHex(std::uint8_t value);
// Upper-case digits of every byte, in order.
QByteArray encode(const std::uint8_t* data, int size);
// Value of '0'..'9' or 'A'..'F'; -1 for anything else (lower case is not a digit on this line).
int digitValue(char c);
// Four upper-case digits of a 16-bit number ("FFFF").
QByteArray wordToHex(std::uint16_t value);

}  // namespace hex
