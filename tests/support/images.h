#pragma once

#include <QByteArray>

#include "params/paramimage.h"

// Tests build images from raw bytes; a wrong size is a fault of the test itself.
inline ParamImage img(const QByteArray& bytes) {
    const std::optional<ParamImage> image = ParamImage::fromBytes(bytes);
    Q_ASSERT_X(image, "img", "an image is 2048 bytes");
    return image.value_or(ParamImage());
}
