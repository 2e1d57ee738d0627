#pragma once

#include <QByteArray>
#include <optional>

#include "link/pageframe.h"
#include "link/protocol.h"
#include "params/flashaddr.h"

// The PC's copy of the module's parameter memory: 8 blocks of 256 bytes.
namespace image {

constexpr int kSize = FlashAddr::ImageSize;
constexpr int kBlockCount = proto::kConfigPageCount;
constexpr int kBlockSize = frame::kDataSize;
static_assert(kBlockCount * kBlockSize == kSize, "the blocks make up the whole memory");

}  // namespace image

// The parameter memory image: always exactly image::kSize bytes, whatever it is built from.
class ParamImage {
public:
    ParamImage() : m_bytes(image::kSize, '\0') {}
    // Empty unless `bytes` holds exactly image::kSize bytes.
    static std::optional<ParamImage> fromBytes(const QByteArray& bytes);

    const QByteArray& bytes() const { return m_bytes; }
    QByteArray block(int b) const { return m_bytes.mid(b * image::kBlockSize, image::kBlockSize); }
    // `data` must be one block long; anything else leaves the image as it was.
    void setBlock(int b, const QByteArray& data);
    quint8 at(int offset) const { return quint8(m_bytes.at(offset)); }
    void setAt(int offset, quint8 value) { m_bytes[offset] = char(value); }

    bool operator==(const ParamImage& other) const { return m_bytes == other.m_bytes; }
    bool operator!=(const ParamImage& other) const { return m_bytes != other.m_bytes; }

private:
    QByteArray m_bytes;
};

