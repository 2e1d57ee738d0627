#include "link/hex.h"

namespace hex {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

QByteArray byteToHex(std::uint8_t value) {
    QByteArray out(2, '0');
    out[0] = kDigits[value >> 4];
    out[1] = kDigits[value & 0x0F];
    return out;
}

QByteArray encode(const std::uint8_t* data, int size) {
    QByteArray out(size * 2, '0');
    for (int i = 0; i < size; ++i) {
        out[2 * i] = kDigits[data[i] >> 4];
        out[2 * i + 1] = kDigits[data[i] & 0x0F];
    }
    return out;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

QByteArray wordToHex(std::uint16_t value) {
    return byteToHex(static_cast<std::uint8_t>(value >> 8)) +
           byteToHex(static_cast<std::uint8_t>(value & 0xFF));
}

}  // namespace hex
