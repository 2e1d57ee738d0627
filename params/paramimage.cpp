#include "params/paramimage.h"

std::optional<ParamImage> ParamImage::fromBytes(const QByteArray& bytes) {
    if (bytes.size() != image::kSize) return std::nullopt;
    ParamImage out;
    out.m_bytes = bytes;
    return out;
}

void ParamImage::setBlock(int b, const QByteArray& data) {
    if (b < 0 || b >= image::kBlockCount || data.size() != image::kBlockSize) return;
    m_bytes.replace(b * image::kBlockSize, image::kBlockSize, data);
}

