#pragma once

// Where every parameter lies in the 2048-byte parameter memory. Records run on across the
// 256-byte transfer blocks; offsets count from the first byte of the image.
namespace FlashAddr {

// Users: 12 records of 15 bytes, user 1 first.
constexpr int UserRecords = 0;
constexpr int UserRecordSize = 15;
constexpr int UserCount = 12;
constexpr int UserName = 0;  // in the record: 10-byte text
constexpr int UserNameLength = 10;
constexpr int UserCode = 10;    // code field
constexpr int UserRights = 13;  // word, one bit per right

constexpr int InstallerCode = 180;  // code field

// Zones: 12 records of 20 bytes, zone 1 first.
constexpr int ZoneRecords = 183;
constexpr int ZoneRecordSize = 20;
constexpr int ZoneCount = 12;
constexpr int ZoneName = 0;
constexpr int ZoneNameLength = 10;
constexpr int ZoneWiring = 10;
constexpr int ZonePartition = 11;
constexpr int ZoneSensitivity = 12;
constexpr int ZoneEntryDelay = 13;
constexpr int ZoneExitDelay = 14;
constexpr int ZoneSilent = 15;
constexpr int ZoneIntelligent = 16;
constexpr int ZoneFollower = 17;
constexpr int ZoneCover = 18;
constexpr int ZoneNight = 19;

// Event reporting: 47 records of 26 bytes, event 1 first.
constexpr int EventRecords = 423;
constexpr int EventRecordSize = 26;
constexpr int EventCount = 47;
constexpr int EventContactId = 0;  // three hex-digit bytes
constexpr int EventContactIdDigits = 3;
constexpr int EventReportMask = 3;  // word
constexpr int EventSms = 5;
constexpr int EventSmsLength = 20;
constexpr int EventVoice = 25;

constexpr int Uninterpreted1 = 1645;
constexpr int Uninterpreted1Size = 26;

// Telephone numbers: seven 16-byte phone fields.
constexpr int PhoneSize = 16;
constexpr int Phone1 = 1671;  // numbers 1..4
constexpr int PhoneCount = 4;
constexpr int CentrePhone1 = 1735;  // monitoring centre 1..2
constexpr int CentrePhoneCount = 2;
constexpr int SmsForwardPhone = 1767;

constexpr int AckModes = 1783;  // one choice byte per telephone number 1..4
constexpr int Account = 1787;   // four hex-digit bytes
constexpr int AccountDigits = 4;
constexpr int OnOffMode = 1791;

// Siren outputs OUT1 and OUT2: mode, start delay, maximum time, three bytes each.
constexpr int Outputs = 1792;
constexpr int OutputRecordSize = 3;
constexpr int OutputCount = 2;
constexpr int OutputMode = 0;
constexpr int OutputDelay = 1;
constexpr int OutputTime = 2;

// Relays: 3 records of 18 bytes.
constexpr int Relays = 1798;
constexpr int RelayRecordSize = 18;
constexpr int RelayCount = 3;
constexpr int RelayOnSet = 0;  // TriggerSet
constexpr int RelayOffSet = 8;
constexpr int TriggerSetSize = 8;
constexpr int TriggerCount = 60;
constexpr int RelayDelay = 16;
constexpr int RelayTime = 17;

constexpr int AlarmMax = 1852;
constexpr int TestTime = 1853;  // hour, then minute, binary
constexpr int TestPeriod = 1855;
constexpr int Bypass = 1856;  // 12 flags, zone 1 first
constexpr int ZoneAlarmMax = 1868;
constexpr int AutoArm = 1869;
constexpr int NightDelay = 1870;

// Radio remote buttons: 2 bytes per user, four 4-bit functions.
constexpr int RemoteButtons = 1871;
constexpr int RemoteButtonsSize = 2;

constexpr int Uninterpreted2 = 1895;
constexpr int Uninterpreted2Size = 153;

constexpr int ImageSize = 2048;

}  // namespace FlashAddr
