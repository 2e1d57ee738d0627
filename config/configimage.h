#pragma once

#include <QByteArray>
#include <QColor>

#include "link/pageframe.h"
#include "link/protocol.h"
#include "params/flashaddr.h"

// The PC's copy of the module's parameter memory: 8 blocks of 256 bytes.
namespace image {

constexpr int kSize = FlashAddr::ImageSize;
constexpr int kBlockCount = proto::kConfigPageCount;
constexpr int kBlockSize = frame::kDataSize;
static_assert(kBlockCount * kBlockSize == kSize, "the blocks make up the whole memory");

// Offsets of block 0 that a compare never looks at: the module does not give its user and
// installer codes back as they were written (offsets 0-12, then 3 of every 15 up to 177,
// and 180-182).
bool isExceptedOffset(int block, int offset);

// First offset where the module's block differs from the image's, skipping excepted offsets;
// -1 when they agree.
int firstDifference(int block, const QByteArray& moduleBlock, const QByteArray& imageBlock);

}  // namespace image

// Colours of the block panels of the transfer window.
enum class PanelColour { Silver, White, Yellow, Green, Red };
QColor panelRgb(PanelColour colour);
