#pragma once

// Tokens and counts of the line protocol with the module, in one place.
namespace proto {

constexpr char kLineEnd = '\r';   // ends every line in both directions
constexpr char kLineFeed = '\n';  // dropped by the receiver

// Answer tokens: a line matches when it begins with one.
constexpr const char* kConnect = "CONNECT";
constexpr const char* kStatusFrame = "AT_[";
constexpr const char* kEventLine = "AT_{";
constexpr const char* kMessageLine = "AT_/";
constexpr const char* kRadioFrame = "AT_<";
constexpr const char* kPasswordError = "PWDERR";
constexpr const char* kPasswordOk = "PWDOK";
constexpr const char* kOk = "OK";
constexpr const char* kWriteOk = "WROK";
constexpr const char* kWriteError = "WRFLERR";
constexpr const char* kRadioRefused = "RFTERR";
constexpr const char* kCrcOk = "CRCOK";
constexpr const char* kFirmwareOk = "FIRMWAREOK";
constexpr const char* kReadFrame = "RDFL";

// Commands without a code string.
constexpr const char* kWriteFrame = "WRFL";
constexpr const char* kActivate = "WRACT";
constexpr const char* kModemAt = "AT";

// Prefix of commands echoed into the traffic log.
constexpr const char* kEchoPrefix = "------> ";

// Authorised command numbers (SendAuthorised).
enum Authorised : int {
    kAuthLogin = 0,
    kAuthPollStatus = 1,
    kAuthPollEvents = 2,
    kAuthStopAlarm = 3,
    kAuthPartition1Off = 4,
    kAuthPartition2Off = 5,
    kAuthPartition1On = 6,
    kAuthPartition2On = 7,
    kAuthPollRadio = 8,
    kAuthDeleteRadio = 9,
    kAuthTeachFirst = 128,  // + slot 0..35
    kAuthTeachLast = 163,
};

// Pages of the module's memory that travel in page frames.
constexpr int kConfigFirstPage = 0;  // the parameter memory, one page a 256-byte block
constexpr int kConfigPageCount = 8;
constexpr int kVersionPage = 0xFFFF;  // firmware text and data version
// The event memory: four pages F000..F003; the readers check the low byte of each number.
constexpr int kEventFirstPage = 0xF000;
constexpr int kEventPageCount = 4;
// The zone and user names lie in the first three pages of the parameter memory.
constexpr int kNameFirstPage = kConfigFirstPage;
constexpr int kNamePageCount = 3;

// The version page: the firmware text from byte 0 (up to a zero byte) and the data version's
// digits from byte 32. The text may run 33 characters, so its last one is the first digit.
constexpr int kVersionTextOffset = 0;
constexpr int kVersionFieldLength = 33;
constexpr int kVersionDigitsOffset = 32;

// Tick counts of the transaction waits (one tick is Timings::tickMs).
constexpr int kLoginTicks = 30;
constexpr int kPageReadTicks = 50;
constexpr int kAlarmStopTicks = 60;
constexpr int kPageWriteTicks = 80;
constexpr int kActivateTicks = 100;

// Longest valid answer line is a page frame: "RDFL" + 540 digits = 544 characters. Anything
// far longer without a CR is line noise, and keeping it would let memory grow without bound.
constexpr int kMaxLineLength = 4096;

}  // namespace proto
