#include "link/pageframe.h"

#include "link/hex.h"

namespace frame {

std::uint32_t checksum(const Frame& f) {
    std::uint32_t sum = 0;
    for (int i = 0; i < kChecksummedBytes; ++i)
        sum += i < kDataSize ? std::uint32_t(f[i] ^ (i & 0xFF)) : std::uint32_t(f[i]);
    return sum;
}

void storeChecksum(Frame& f, ChecksumOrder order) {
    const std::uint32_t sum = checksum(f);
    for (int k = 0; k < 4; ++k) {
        const int shift = order == ChecksumOrder::PcBigEndian ? 8 * (3 - k) : 8 * k;
        f[kChecksumOffset + k] = std::uint8_t(sum >> shift);
    }
}

std::uint32_t storedChecksum(const Frame& f, ChecksumOrder order) {
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) {
        const int shift = order == ChecksumOrder::PcBigEndian ? 8 * (3 - k) : 8 * k;
        value |= std::uint32_t(f[kChecksumOffset + k]) << shift;
    }
    return value;
}

std::uint16_t pageNumber(const Frame& f) {
    return std::uint16_t((f[kPageHighOffset] << 8) | f[kPageLowOffset]);
}

void setPageNumber(Frame& f, std::uint16_t page) {
    f[kPageHighOffset] = std::uint8_t(page >> 8);
    f[kPageLowOffset] = std::uint8_t(page & 0xFF);
}

Frame build(const QByteArray& data, std::uint16_t page, ChecksumOrder order,
            const QByteArray& further) {
    Frame f{};
    for (int i = 0; i < kDataSize && i < data.size(); ++i) f[i] = std::uint8_t(data[i]);
    for (int i = 0; i < kFurtherSize && i < further.size(); ++i)
        f[kFurtherOffset + i] = std::uint8_t(further[i]);
    setPageNumber(f, page);
    storeChecksum(f, order);
    return f;
}

QByteArray data(const Frame& f) {
    return QByteArray(reinterpret_cast<const char*>(f.data()), kDataSize);
}

QByteArray toHex(const Frame& f) { return hex::encode(f.data(), kSize); }

DecodeResult decodeHex(const QByteArray& digits, Frame& into, ChecksumOrder order) {
    if (digits.size() != kHexDigits) return DecodeResult::BadLength;
    for (int i = 0; i < kSize; ++i) {
        const int high = hex::digitValue(digits[2 * i]);
        const int low = hex::digitValue(digits[2 * i + 1]);
        if (high < 0 || low < 0) return DecodeResult::BadDigit;
        into[i] = std::uint8_t(high * 16 + low);
    }
    return checksum(into) == storedChecksum(into, order) ? DecodeResult::Ok
                                                         : DecodeResult::BadChecksum;
}

}  // namespace frame
