#include "config/configimage.h"

namespace image {

namespace {
constexpr int kCodeRecordStride = FlashAddr::UserRecordSize;
constexpr int kCodeOffsetInRecord = FlashAddr::UserCode;
constexpr int kCodeBytes = 3;
constexpr int kInstallerCodeFirst = FlashAddr::InstallerCode;
constexpr int kInstallerCodeLast = FlashAddr::InstallerCode + kCodeBytes - 1;
// The rule of every 15th byte runs on a little past the installer code; 183 and 184 (the
// first zone's name) stay outside it only because the remainder there is 8 and 9.
constexpr int kLastRuleOffset = kInstallerCodeLast + 2;
}  // namespace

bool isExceptedOffset(int block, int offset) {
    if (block != 0) return false;
    if (offset >= kInstallerCodeFirst && offset <= kInstallerCodeLast) return true;
    // Only the codes: offsets 0-9, the first user's name, come back as written and are
    // compared (below the first code a remainder would be negative and slip under the rule).
    return offset >= kCodeOffsetInRecord && offset <= kLastRuleOffset &&
           (offset - kCodeOffsetInRecord) % kCodeRecordStride < kCodeBytes;
}

int firstDifference(int block, const QByteArray& moduleBlock, const QByteArray& imageBlock) {
    for (int i = 0; i < kBlockSize; ++i) {
        if (isExceptedOffset(block, i)) continue;
        if (moduleBlock.at(i) != imageBlock.at(i)) return i;
    }
    return -1;
}

}  // namespace image

Rgb panelRgb(PanelColour colour) {
    switch (colour) {
        case PanelColour::Silver:
            return {192, 192, 192};
        case PanelColour::White:
            return {255, 255, 255};
        case PanelColour::Yellow:
            return {255, 255, 0};
        case PanelColour::Green:
            return {0, 128, 0};
        case PanelColour::Red:
            return {255, 0, 0};
    }
    return {0, 0, 0};
}
