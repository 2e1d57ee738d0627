#include "radio/radioframe.h"

#include "link/hex.h"
#include "link/protocol.h"

namespace radio {

std::optional<Rgb> rgb(SlotColour colour) {
    switch (colour) {
        case SlotColour::Teal:
            return Rgb{0, 128, 128};
        case SlotColour::Blue:
            return Rgb{0, 0, 255};
        case SlotColour::Yellow:
            return Rgb{255, 255, 0};
        case SlotColour::Red:
            return Rgb{255, 0, 0};
        case SlotColour::ButtonFace:
            break;
    }
    return std::nullopt;
}

SlotView slotView(int status) {
    SlotView v{QString::fromLatin1(kEmpty), SlotColour::ButtonFace};
    if (status & kTaught) {
        v.text = QString::fromLatin1(kTaughtText);
        v.colour = SlotColour::Teal;
    }
    if (status & kTeaching) {
        v.text = QString::fromUtf8(kTeachingText);
        v.colour = SlotColour::Blue;
    } else if (status & kLowVoltage) {
        v.text = QString::fromLatin1(kLowVoltageText);
        v.colour = SlotColour::Yellow;
    } else {
        if (status & kRedBit) v.colour = SlotColour::Red;
        const int number = (status >> kNumberShift) & kNumberMask;
        if (number != 0) v.text = QString(QLatin1Char("0123456789ABCDEF"[number]));
    }
    return v;
}

std::optional<FrameView> decode(const QByteArray& line) {
    if (line.size() < kFrameLength || line[kCloseAt] != kClose) return std::nullopt;
    const int first = int(qstrlen(proto::kRadioFrame));
    std::array<int, kFrameBytes> bytes{};
    for (int i = 0; i < kFrameBytes; ++i) {
        const int high = hex::digitValue(line[first + 2 * i]);
        const int low = hex::digitValue(line[first + 2 * i + 1]);
        bytes[size_t(i)] = high < 0 || low < 0 ? 0 : high * 16 + low;
    }
    const int marker = bytes[kTeachMarker];
    const int teaching = (marker & 0x80) ? (marker & 0x7F) : -1;
    FrameView view;
    for (int s = 0; s < kSlots; ++s) {
        int status = bytes[size_t(s)] & ~kTeaching;
        if (s == teaching) status |= kTeaching;
        view.slotViews[size_t(s)] = slotView(status);
    }
    view.strength = bytes[kStrength];
    view.strengthBar = qMin(view.strength, kStrengthMax);
    return view;
}

QString zoneCaption(int zone) { return QStringLiteral("IN%1").arg(zone + 1); }
QString userCaption(int user) { return QStringLiteral("%1.Felh.").arg(user + 1); }

}  // namespace radio
