#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

// The module's report of its 36 radio slots ("AT_<", 80 hex digits, ">"), and what the radio
// window shows of it. Plain texts and colours, so no GUI library is needed here.
namespace radio {

constexpr int kZones = 12;
constexpr int kSlots = 36;  // A codes of the zones, B codes, then the user remotes
constexpr int kFirstA = 0;
constexpr int kFirstB = 12;
constexpr int kFirstUser = 24;

constexpr int kFrameBytes = 40;
constexpr int kFrameLength = 85;  // token, 80 digits, '>'
constexpr int kCloseAt = 84;      // index of the '>'
constexpr char kClose = '>';
constexpr int kTeachMarker = 36;  // bit 7: a teaching runs for the slot in bits 0..6
constexpr int kStrength = 37;
constexpr int kStrengthMax = 63;

// Status byte of a slot.
constexpr int kTaught = 0x01;
constexpr int kTeaching = 0x02;  // never the module's: set from the teach marker
constexpr int kLowVoltage = 0x04;
constexpr int kNumberShift = 3;  // bits 3..6: a number shown as one hex digit
constexpr int kNumberMask = 0x0F;
constexpr int kRedBit = 0x80;

// Texts of a slot and of the window.
constexpr const char* kEmpty = "-";
constexpr const char* kInitial = ".";
constexpr const char* kTaughtText = "OK.";
constexpr const char* kTeachingText = "Tanulás";
constexpr const char* kLowVoltageText = "<7V";
constexpr const char* kTeachButton = "Tanítás";
constexpr const char* kConfirmTeach = "Biztosan el szeretné indítani a tanítást?";
constexpr const char* kConfirmDelete1 =
    "A rádiós eszközök törlése után egyesével újra kell tanítania mindegyiket. Törli az "
    "eszközöket?";
constexpr const char* kConfirmDelete2 = "Biztosan törölni szeretné az összes rádiós eszközt?";
constexpr const char* kRefused =
    "A rádiós eszközök tanítása és törlése telefonos kapcsolaton keresztül nem engedélyezett, "
    "csak közvetlen soros kapcsolat esetén";

// Poll pauses (ticks of the poll timer) around a teach and a delete-all command.
constexpr int kTeachPause = 2;
constexpr int kDeletePause = 3;

// Button face is whatever the desktop's buttons are; the others are fixed.
enum class SlotColour { ButtonFace, Teal, Blue, Yellow, Red };
struct Rgb {
    int red, green, blue;
};
// Nothing for ButtonFace: the window takes it from its style.
std::optional<Rgb> rgb(SlotColour colour);

struct SlotView {
    QString text;
    SlotColour colour = SlotColour::ButtonFace;
    friend bool operator==(const SlotView& a, const SlotView& b) {
        return a.text == b.text && a.colour == b.colour;
    }
};

struct FrameView {
    std::array<SlotView, kSlots> slotViews;
    int strength = 0;     // byte 37 as it came, for the number
    int strengthBar = 0;  // the same, kept inside the bar's 0..63
};

// How one status byte shows; bit 1 (teaching) is taken as given here.
SlotView slotView(int status);

// The whole display from a line, or nothing when the line is no radio frame (shorter than 85
// characters, or no '>' as the 85th). A digit pair that is not two hex digits reads as 0.
std::optional<FrameView> decode(const QByteArray& line);

// Captions of a slot's column: "IN1".."IN12" for the sensors, "1.Felh.".."12.Felh." for the
// remotes.
QString zoneCaption(int zone);
QString userCaption(int user);

}  // namespace radio
