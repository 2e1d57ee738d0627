#include "config/configimage.h"

namespace image {

namespace {
constexpr int kCodeRecordStride = 15;  // a user record
constexpr int kCodeOffsetInRecord = 10;
constexpr int kCodeBytes = 3;
constexpr int kLastRuleOffset = 184;
constexpr int kInstallerCodeFirst = 180;
constexpr int kInstallerCodeLast = 182;
}  // namespace

bool isExceptedOffset(int block, int offset) {
    if (block != 0) return false;
    if (offset >= kInstallerCodeFirst && offset <= kInstallerCodeLast) return true;
    // C++ truncates the remainder towards zero, so offsets 0-9 give a negative remainder and
    // fall under the rule too: those are the first user's name, which the module also hides.
    return offset <= kLastRuleOffset &&
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

QColor panelRgb(PanelColour colour) {
    switch (colour) {
        case PanelColour::Silver:
            return QColor(192, 192, 192);
        case PanelColour::White:
            return QColor(255, 255, 255);
        case PanelColour::Yellow:
            return QColor(255, 255, 0);
        case PanelColour::Green:
            return QColor(0, 128, 0);
        case PanelColour::Red:
            return QColor(255, 0, 0);
    }
    return {};
}
