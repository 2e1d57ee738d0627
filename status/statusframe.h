#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

#include "events/eventrecord.h"

// A text colour as the status window paints its labels; plain numbers, so the decoders need
// no GUI library.
struct TextColour {
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const TextColour& a, const TextColour& b) {
        return a.red == b.red && a.green == b.green && a.blue == b.blue;
    }
    friend bool operator!=(const TextColour& a, const TextColour& b) { return !(a == b); }
};

namespace colours {
constexpr TextColour kRed{255, 0, 0};
constexpr TextColour kGreen{0, 128, 0};
constexpr TextColour kBlack{0, 0, 0};
constexpr TextColour kGrey{128, 128, 128};
}  // namespace colours

// Where the fields lie in a status frame line ("AT_[" ... "]"), counted from its first
// character. The module's frame grew at its end: each version adds fields before the "]".
namespace statusframe {

constexpr int kZones = 12;
constexpr int kLengthV1 = 84;
constexpr int kLengthV2 = 86;
constexpr int kLengthV3 = 89;
constexpr int kLengthV4 = 92;
constexpr int kCommas[] = {36, 51, 65, 68, 78, 81};
constexpr char kComma = ',';
constexpr char kClose = ']';

constexpr int kLoopStates = 37;  // zones 1..12
constexpr int kInputA = 49;
constexpr int kInputB = 50;
constexpr int kWiringModes = 52;      // zones 1..12
constexpr int kTerminalVoltage = 66;  // two 6-bit characters, high first
constexpr int kOut1On = 69;
constexpr int kOut2On = 70;
constexpr int kRelay1On = 71;  // relays 1..3
constexpr int kKeypadOvercurrent = 74;
constexpr int kFixedOvercurrent = 75;
constexpr int kOut1Overcurrent = 76;
constexpr int kOut2Overcurrent = 77;
constexpr int kPartition1Armed = 79;
constexpr int kPartition2Armed = 80;
constexpr int kGsmLevel = 82;
constexpr int kMainsPresent = 84;    // from version 2
constexpr int kBatteryVoltage = 86;  // from version 3, two 6-bit characters
constexpr int kTemperature = 89;     // version 4, two 4-bit characters

constexpr int kGsmMax = 31;
constexpr char kDigitZero = '0';  // every field character counts from here

// 1..4 by the length of the line; 0 for any other length.
int versionOfLength(int length);
// The frame length of a version 1..4.
int lengthOfVersion(int version);

// Tenths of a volt that a raw reading of 0..4095 shows (the module's divider and offset).
int voltageTenths(int raw);
// Degrees, from the two 4-bit characters' value t (sign and magnitude: 128 and up are below 0).
int temperatureDegrees(int t);

}  // namespace statusframe

// One label: its text, and its colour where the frame decides it (none: the colour stays).
struct LabelView {
    QString text;
    std::optional<TextColour> colour;
};

// Everything an accepted status frame shows, in the window's terms. Fields a version does not
// carry hold what that version shows for them (mains "?", temperature empty).
struct StatusView {
    int version = 0;
    std::array<LabelView, statusframe::kZones> loop;   // lbINE1..12
    std::array<LabelView, statusframe::kZones> alarm;  // lbINS1..12
    std::array<LabelView, 2> input;                    // lbINEA, lbINEB
    LabelView battery;                                 // lbAkku
    std::array<LabelView, 2> partition;                // lbPart1, lbPart2
    std::array<LabelView, 2> output;                   // lbOUT1, lbOUT2
    LabelView keypad;                                  // lbKezelo
    LabelView fixed;                                   // lbFix
    std::array<LabelView, 3> relay;                    // lbREL1..3
    int gsm = 0;                                       // as sent; the bar shows it within 0..31
    LabelView mains;                                   // lbAC
    QString temperature;                               // lbTempVal
};

// An "AT_[" line of one of the four lengths with its six commas and closing "]"; nothing for
// anything else. Voltages use the locale's decimal separator.
std::optional<StatusView> decodeStatusFrame(const QByteArray& line,
                                            const QLocale& locale = QLocale());

// The eight records of an "AT_{" line, newest first as the module sends them. A pair that is
// not two upper-case hexadecimal digits, or lies beyond the end of the line, is the byte 0.
constexpr int kEventLineRecords = 8;
std::array<EventRecord, kEventLineRecords> decodeEventLine(const QByteArray& line);

// The free text of an "AT_/" line.
QString moduleMessageText(const QByteArray& line);
