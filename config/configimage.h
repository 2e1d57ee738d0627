#pragma once

#include <QByteArray>

#include "params/paramimage.h"

// How a compare looks at the parameter memory.
namespace image {

// Offsets of block 0 that a compare never looks at: the module does not give its user and
// installer codes back as they were written (10-12, then 3 of every 15 up to 177, and
// 180-182).
bool isExceptedOffset(int block, int offset);

// First offset where the module's block differs from the image's, skipping excepted offsets;
// -1 when they agree.
int firstDifference(int block, const QByteArray& moduleBlock, const QByteArray& imageBlock);

}  // namespace image

// Colours of the block panels of the transfer window.
enum class PanelColour { Silver, White, Yellow, Green, Red };
struct Rgb {
    int red, green, blue;
};
Rgb panelRgb(PanelColour colour);
