#include "params/layout.h"

#include "params/fieldcodecs.h"
#include "params/flashaddr.h"

namespace layout {

namespace A = FlashAddr;

const QStringList& zoneWiringChoices() {
    static const QStringList c{QStringLiteral("Rövidzárra aktív"),
                               QStringLiteral("Szakadásra aktív"), QStringLiteral("DEOL"),
                               QStringLiteral("Rádiós érzékelő")};
    return c;
}
const QStringList& zonePartitionChoices() {
    static const QStringList c{QStringLiteral("Partíció 1 és 2"), QStringLiteral("Partíció 1"),
                               QStringLiteral("Partíció 2"), QStringLiteral("24 órás zóna")};
    return c;
}
const QStringList& nightSettingChoices() {
    static const QStringList c{QStringLiteral("Mindíg éles"), QStringLiteral("Éles, követő"),
                               QStringLiteral("Kikapcsolt"), QStringLiteral("Kiinduló zóna")};
    return c;
}
const QStringList& ackModeChoices() {
    static const QStringList c{QStringLiteral("0-   nincs nyugtázás"),
                               QStringLiteral("1-   * = nyugta"),
                               QStringLiteral("2-   * = nyugta,  # = leállítás")};
    return c;
}
const QStringList& outputModeChoices() {
    static const QStringList c{
        QStringLiteral("0 - Sziréna 12V  (alaphelyzet 0V, riasztáskor 12V )"),
        QStringLiteral("1 - Sziréna 0V    (alaphelyzet 12V, riasztáskor 0V )"),
        QStringLiteral("2 - fix 12V kimenet")};
    return c;
}
const QStringList& remoteButtonChoices() {
    static const QStringList c{QStringLiteral("--"),
                               QStringLiteral("Élesítés P1&P2"),
                               QStringLiteral("Élesítés P1"),
                               QStringLiteral("Élesítés P2"),
                               QStringLiteral("Éjszakai élesítés"),
                               QStringLiteral("Kikapcsolás"),
                               QStringLiteral("Relé1"),
                               QStringLiteral("Relé2"),
                               QStringLiteral("Relé3")};
    return c;
}
const QStringList& userRightsCaptions() {
    static const QStringList c{QStringLiteral("1. partíció"),    QStringLiteral("2. partíció"),
                               QStringLiteral("Élesítés"),       QStringLiteral("Hatástalanítás"),
                               QStringLiteral("    Kód csere"),  QStringLiteral("Felhaszn. szerk."),
                               QStringLiteral("Hibalista"),      QStringLiteral("Óra beállítás"),
                               QStringLiteral("Eseménylista"),   QStringLiteral("Zóna memória"),
                               QStringLiteral("Zóna bypass"),    QStringLiteral("Füstj. törlése"),
                               QStringLiteral("Tel. Élesítés"),  QStringLiteral("   Tel. Hatást."),
                               QStringLiteral("Tel. Relé vez."), QStringLiteral("Tel. Hangrögz.")};
    return c;
}
const QStringList& reportMaskCaptions() {
    static const QStringList c{QStringLiteral("T1"), QStringLiteral("T2"), QStringLiteral("T3"),
                               QStringLiteral("T4"), QStringLiteral("S1"), QStringLiteral("S2"),
                               QStringLiteral("S3"), QStringLiteral("S4"), QStringLiteral("Közp.")};
    return c;
}

namespace {

Field make(const char* name, Kind kind, Page page, int offset, int count = 1, int stride = 0,
           int size = 1) {
    return Field{name, kind, page, offset, count, stride, size, 0, 255, nullptr, 1, 1, false,
                 0,    nullptr};
}
// A spinner shows its lowest value until something is loaded, unless `initial` says otherwise.
Field spinner(const char* name, const char* box, Page page, int offset, int min, int max,
              int count = 1, int stride = 0, int initial = -1) {
    Field f = make(name, Kind::Spinner, page, offset, count, stride);
    f.min = min;
    f.max = max;
    f.initial = initial < 0 ? min : initial;
    f.boxName = box;
    return f;
}
Field choice(const char* name, Kind kind, Page page, int offset, const QStringList& choices,
             int count = 1, int stride = 0) {
    Field f = make(name, kind, page, offset, count, stride);
    f.choices = &choices;
    return f;
}
Field numbered(Field f, int first, int step) {
    f.nameFirst = first;
    f.nameStep = step;
    return f;
}
Field remote(const char* name, int offset, bool high) {
    Field f = choice(name, Kind::RemoteButton, Page::Radio, offset, remoteButtonChoices(),
                     A::UserCount, A::RemoteButtonsSize);
    f.highNibble = high;
    return f;
}

QList<Field> buildFields() {
    const int U = A::UserRecords, US = A::UserRecordSize, UN = A::UserCount;
    const int Z = A::ZoneRecords, ZS = A::ZoneRecordSize, ZN = A::ZoneCount;
    const int E = A::EventRecords, ES = A::EventRecordSize, EN = A::EventCount;
    const int R = A::Relays, RS = A::RelayRecordSize, RN = A::RelayCount;
    const int O = A::Outputs, OS = A::OutputRecordSize, ON = A::OutputCount;
    return {
        // Users.
        make("edUserName%d", Kind::Text, Page::Users, U + A::UserName, UN, US, A::UserNameLength),
        make("edUserCode%d", Kind::Code, Page::Users, U + A::UserCode, UN, US, 3),
        make("cblUserRights", Kind::RightsWord, Page::Users, U + A::UserRights, UN, US, 2),
        make("edMasterCode", Kind::Code, Page::Users, A::InstallerCode, 1, 0, 3),
        // Zones.
        make("edZonaNeve%d", Kind::Text, Page::Zones, Z + A::ZoneName, ZN, ZS, A::ZoneNameLength),
        choice("rgZonaBek%d", Kind::OptionGroup, Page::Zones, Z + A::ZoneWiring,
               zoneWiringChoices(), ZN, ZS),
        choice("rgZonaPart%d", Kind::OptionGroup, Page::Zones, Z + A::ZonePartition,
               zonePartitionChoices(), ZN, ZS),
        spinner("UdZonaErz%d", "edZonaErz%d", Page::Zones, Z + A::ZoneSensitivity, 0, 255, ZN, ZS,
                255),
        spinner("UdZonaBeKesl%d", "edZonaBeKesl%d", Page::Zones, Z + A::ZoneEntryDelay, 0, 255, ZN,
                ZS, 255),
        spinner("UdZonaKiKesl%d", "edZonaKiKesl%d", Page::Zones, Z + A::ZoneExitDelay, 0, 255, ZN,
                ZS, 255),
        make("cbZonaCsendes[%d]", Kind::FlagEqualOne, Page::Zones, Z + A::ZoneSilent, ZN, ZS),
        spinner("UdZonaIntel%d", "edZonaIntel%d", Page::Zones, Z + A::ZoneIntelligent, 0, 25, ZN,
                ZS, 25),
        make("cbKoveto[%d]", Kind::FlagEqualOne, Page::Zones, Z + A::ZoneFollower, ZN, ZS),
        spinner("UdZonaCover%d", "edZonaCover%d", Page::Zones, Z + A::ZoneCover, 0, 25, ZN, ZS, 25),
        choice("cbNightSet%d", Kind::DropDown, Page::Zones, Z + A::ZoneNight, nightSettingChoices(),
               ZN, ZS),
        make("cbBypass[%d]", Kind::FlagNotZero, Page::Zones, A::Bypass, ZN, 1),
        spinner("udNightDelay", "edNightDelay", Page::Zones, A::NightDelay, 1, 25),
        // Event reporting.
        make("acgEvent%d", Kind::HexDigits, Page::Events, E + A::EventContactId, EN, ES,
             A::EventContactIdDigits),
        make("clbEvents", Kind::ReportMask, Page::Events, E + A::EventReportMask, EN, ES, 2),
        make("edSMS%d", Kind::Text, Page::Events, E + A::EventSms, EN, ES, A::EventSmsLength),
        spinner("UdHanguz%d", "edHanguz%d", Page::Events, E + A::EventVoice, 0, 12, EN, ES),
        // Relays: the switch-on sets are the odd columns, the switch-off sets the even ones.
        numbered(make("cblR%d", Kind::TriggerSet, Page::Relays, R + A::RelayOnSet, RN, RS,
                      A::TriggerSetSize),
                 1, 2),
        numbered(make("cblR%d", Kind::TriggerSet, Page::Relays, R + A::RelayOffSet, RN, RS,
                      A::TriggerSetSize),
                 2, 2),
        spinner("UdREL%ddelay", "edREL%ddelay", Page::Relays, R + A::RelayDelay, 0, 255, RN, RS),
        spinner("UdREL%dtime", "edREL%dtime", Page::Relays, R + A::RelayTime, 0, 255, RN, RS),
        // Telephone numbers and other parameters.
        make("acgTel%d", Kind::Phone, Page::Phones, A::Phone1, A::PhoneCount, A::PhoneSize,
             A::PhoneSize),
        make("acgTelCentr%d", Kind::Phone, Page::Phones, A::CentrePhone1, A::CentrePhoneCount,
             A::PhoneSize, A::PhoneSize),
        make("acgSMSFW", Kind::Phone, Page::Phones, A::SmsForwardPhone, 1, 0, A::PhoneSize),
        choice("cbACK%d", Kind::DropDown, Page::Phones, A::AckModes, ackModeChoices(),
               A::PhoneCount, 1),
        make("acgUserAccount", Kind::HexDigits, Page::Phones, A::Account, 1, 0, A::AccountDigits),
        spinner("udOnOffMode", "edOnOffMode", Page::Phones, A::OnOffMode, 0, 3),
        choice("cbOUT%dmode", Kind::DropDown, Page::Phones, O + A::OutputMode, outputModeChoices(),
               ON, OS),
        spinner("UdOUT%ddelay", "edOUT%ddelay", Page::Phones, O + A::OutputDelay, 0, 255, ON, OS),
        spinner("UdOUT%dtime", "edOUT%dtime", Page::Phones, O + A::OutputTime, 1, 25, ON, OS),
        spinner("UdAlarmMax", "edAlarmMax", Page::Phones, A::AlarmMax, 5, 25),
        make("meTesztIdopont", Kind::TestTime, Page::Phones, A::TestTime, 1, 0, 2),
        spinner("udTesztGyak", "edTesztGyak", Page::Phones, A::TestPeriod, 0, 255),
        spinner("UdZoneAlarmMax", "edZoneAlarmMax", Page::Phones, A::ZoneAlarmMax, 0, 25),
        spinner("UdAutoArm", "edAutoArm", Page::Phones, A::AutoArm, 0, 255),
        // Radio remote buttons.
        remote("cbRFButtA%02d", A::RemoteButtons, true),
        remote("cbRFButtB%02d", A::RemoteButtons, false),
        remote("cbRFButtC%02d", A::RemoteButtons + 1, true),
        remote("cbRFButtD%02d", A::RemoteButtons + 1, false),
    };
}

}  // namespace

const QList<Field>& fields() {
    static const QList<Field> all = buildFields();
    return all;
}

QString Instance::name() const { return QString::asprintf(field->name, number()); }

void forEachInstance(const std::function<void(const Instance&)>& visit) {
    for (const Field& f : fields())
        for (int i = 0; i < f.count; ++i) visit(Instance{&f, i, f.offset + i * f.stride});
}

bool isFlag(Kind kind) { return kind == Kind::FlagEqualOne || kind == Kind::FlagNotZero; }

CheckPlace checkPlace(const Instance& in, int bit) {
    const QString pattern = QString::fromLatin1(in.field->name);
    if (isFlag(in.field->kind)) return {pattern.left(pattern.indexOf(QLatin1Char('['))), in.index};
    if (in.field->kind == Kind::TriggerSet) return {in.name(), bit};
    return {pattern + QString::number(bit + 1), in.index};
}

int checkCount(const Instance& in) {
    return isFlag(in.field->kind) ? 1 : bitCount(in.field->kind);
}

int maxLength(const Field& f) { return f.kind == Kind::Code ? 2 * f.size : f.size; }

QString boxName(const Instance& in) {
    return in.field->boxName ? QString::asprintf(in.field->boxName, in.number()) : QString();
}

int bitCount(Kind kind) {
    switch (kind) {
        case Kind::RightsWord:
            return 16;
        case Kind::ReportMask:
            return 9;
        case Kind::TriggerSet:
            return FlashAddr::TriggerCount;
        default:
            return 0;
    }
}

Span span(const Instance& in) {
    const Field& f = *in.field;
    switch (f.kind) {
        case Kind::Text:
        case Kind::HexDigits:
        case Kind::Phone:
        case Kind::TriggerSet:
        case Kind::RightsWord:
        case Kind::ReportMask:
        case Kind::TestTime:
        case Kind::Code:
            return {2 * in.offset, 2 * f.size};
        case Kind::RemoteButton:
            return {2 * in.offset + (f.highNibble ? 0 : 1), 1};
        default:
            return {2 * in.offset, 2};
    }
}

Value read(const Instance& in, const QByteArray& image) {
    const Field& f = *in.field;
    const int at = in.offset;
    Value v;
    switch (f.kind) {
        case Kind::Text:
            v.text = codec::readText(image, at, f.size);
            break;
        case Kind::Code:
            v.text = codec::readCode(image, at);
            break;
        case Kind::Phone:
            v.text = codec::readPhone(image, at);
            break;
        case Kind::HexDigits:
            v.text = codec::readHexDigits(image, at, f.size);
            break;
        case Kind::RightsWord:
            v.bits = std::uint64_t(codec::readWord(image, at));
            break;
        case Kind::ReportMask:
            v.bits = std::uint64_t(codec::readWord(image, at)) & ((1u << 9) - 1);
            break;
        case Kind::TriggerSet:
            v.bits = codec::readTriggerSet(image, at);
            break;
        case Kind::FlagEqualOne:
            v.number = codec::readFlagEqualOne(image, at) ? 1 : 0;
            break;
        case Kind::FlagNotZero:
            v.number = codec::readFlagNotZero(image, at) ? 1 : 0;
            break;
        case Kind::OptionGroup:
            v.number = qMin(codec::readByte(image, at), int(f.choices->size()) - 1);
            break;
        case Kind::DropDown: {
            const int n = codec::readByte(image, at);
            v.number = n < f.choices->size() ? n : -1;
            break;
        }
        case Kind::Spinner:
            v.number = qBound(f.min, codec::readByte(image, at), f.max);
            break;
        case Kind::TestTime:
            v.text = codec::readTestTime(image, at);
            break;
        case Kind::RemoteButton: {
            const int n = codec::readNibble(image, at, f.highNibble);
            v.number = n < f.choices->size() ? n : -1;
            break;
        }
    }
    return v;
}

void write(const Instance& in, QByteArray& image, const Value& v) {
    const Field& f = *in.field;
    const int at = in.offset;
    constexpr int kNoEntry = 255;
    constexpr int kNoButton = 15;
    switch (f.kind) {
        case Kind::Text:
            codec::writeText(image, at, f.size, v.text);
            break;
        case Kind::Code:
            codec::writeCode(image, at, v.text);
            break;
        case Kind::Phone:
            codec::writePhone(image, at, v.text);
            break;
        case Kind::HexDigits:
            codec::writeHexDigits(image, at, f.size, v.text);
            break;
        case Kind::RightsWord:
            codec::writeWord(image, at, int(v.bits & 0xFFFF));
            break;
        case Kind::ReportMask:
            codec::writeWord(image, at, int(v.bits & ((1u << 9) - 1)));
            break;
        case Kind::TriggerSet:
            codec::writeTriggerSet(image, at, v.bits);
            break;
        case Kind::FlagEqualOne:
        case Kind::FlagNotZero:
            codec::writeFlag(image, at, v.number != 0);
            break;
        case Kind::OptionGroup:
            codec::writeByte(image, at, qBound(0, v.number, int(f.choices->size()) - 1));
            break;
        case Kind::DropDown:
            codec::writeByte(image, at,
                             v.number >= 0 && v.number < f.choices->size() ? v.number : kNoEntry);
            break;
        case Kind::Spinner:
            codec::writeByte(image, at, qBound(f.min, v.number, f.max));
            break;
        case Kind::TestTime:
            codec::writeTestTime(image, at, v.text);
            break;
        case Kind::RemoteButton:
            codec::writeNibble(
                image, at, f.highNibble,
                v.number >= 0 && v.number < f.choices->size() ? v.number : kNoButton);
            break;
    }
}

bool isUninterpreted(int offset) {
    return (offset >= FlashAddr::Uninterpreted1 &&
            offset < FlashAddr::Uninterpreted1 + FlashAddr::Uninterpreted1Size) ||
           (offset >= FlashAddr::Uninterpreted2 &&
            offset < FlashAddr::Uninterpreted2 + FlashAddr::Uninterpreted2Size);
}

std::optional<Instance> findInstance(const QString& pattern, int number) {
    for (const Field& f : fields()) {
        if (pattern != QLatin1String(f.name)) continue;
        // Patterns repeat only across fields whose numbers interleave (the relay columns).
        const int step = number - f.nameFirst;
        if (step < 0 || f.nameStep == 0 || step % f.nameStep != 0) continue;
        const int index = step / f.nameStep;
        if (index < f.count) return Instance{&f, index, f.offset + index * f.stride};
    }
    return std::nullopt;
}

}  // namespace layout
