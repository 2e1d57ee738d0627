#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

// The parameter memory described once, as data: every field with its position, kind, count
// and stride. The editor, the command-line tool and the tests walk this one table.
namespace layout {

enum class Kind {
    Text,          // size = bytes
    Code,          // 3 bytes
    Phone,         // 16 bytes
    HexDigits,     // size = digits, one byte each
    RightsWord,    // 16 bits, one check column per bit
    ReportMask,    // 9 bits of a word, one check column per bit
    TriggerSet,    // 60 triggers in 8 bytes
    FlagEqualOne,  // set only for the value 1
    FlagNotZero,   // set for every value but 0
    OptionGroup,   // choice; a number past the last option selects the last
    DropDown,      // choice; a number past the last entry shows nothing, stored as 255
    Spinner,       // byte within [min, max]
    TestTime,      // hour and minute bytes
    RemoteButton,  // 4-bit choice; 9..15 show nothing, nothing is stored as 15
};

// Editor page that shows a field.
enum class Page { Zones, Users, Events, Relays, Phones, Radio };

struct Field {
    const char* name;  // control name, a printf pattern taking the field's number
    Kind kind;
    Page page;
    int offset;                  // of the first instance
    int count;                   // instances
    int stride;                  // bytes between instances
    int size;                    // bytes of a text, digits of a hex field
    int min, max;                // spinner range
    const QStringList* choices;  // option, list or button texts
    int nameFirst;               // number in the name of the first instance
    int nameStep;                // and the step between instances
    bool highNibble;             // remote buttons
    int initial = 0;             // what a spinner shows before anything is loaded
    const char* boxName = nullptr;  // a spinner's typing box, a printf pattern like `name`
};

// Every field of the memory.
const QList<Field>& fields();

// One instance of a field: where it lies and what its control is called.
struct Instance {
    const Field* field;
    int index;   // 0-based instance
    int offset;  // of this instance
    int number() const { return field->nameFirst + field->nameStep * index; }
    QString name() const;
};
void forEachInstance(const std::function<void(const Instance&)>& visit);

// Bytes (as half-bytes) a field instance covers: the nibbles from firstNibble, count nibbles.
struct Span {
    int firstNibble;
    int nibbles;
};
Span span(const Instance& instance);

// A field's value as the editor shows it.
struct Value {
    QString text;            // text, code ("******" when empty), phone and hex cells, "hh:mm"
    int number = 0;          // spinner, option, list entry (-1 for nothing), flag 0 or 1
    std::uint64_t bits = 0;  // rights word, report mask, trigger set

    static Value ofText(const QString& t) { return {t, 0, 0}; }
    static Value ofNumber(int n) { return {QString(), n, 0}; }
    static Value ofBits(std::uint64_t b) { return {QString(), 0, b}; }
};

// Flags read and write as a one-bit set too, so check boxes of any kind are handled alike.
bool isFlag(Kind kind);

// Where the check box of a bit of a field instance sits: a flag is item `row` of its page's
// column ("cbBypass[%d]" is column cbBypass); a rights word or report mask has a column per bit
// (cblUserRights1..16) whose items are the rows; a trigger set is a column of its own whose
// items are the triggers.
struct CheckPlace {
    QString column;
    int item;  // from 0
};
CheckPlace checkPlace(const Instance& instance, int bit);
// Check boxes an instance has: one for a flag, bitCount() for the others.
int checkCount(const Instance& instance);

// The largest number of characters a text or code box takes: a code's digits are two a byte.
int maxLength(const Field& field);
// The spinner's typing box of an instance ("edZonaErz3").
QString boxName(const Instance& instance);

Value read(const Instance& instance, const QByteArray& image);
void write(const Instance& instance, QByteArray& image, const Value& value);

// Bits of a rights word, report mask or trigger set (16, 9, 60).
int bitCount(Kind kind);

// Choice texts.
const QStringList& zoneWiringChoices();
const QStringList& zonePartitionChoices();
const QStringList& nightSettingChoices();
const QStringList& ackModeChoices();
const QStringList& outputModeChoices();
const QStringList& remoteButtonChoices();
const QStringList& userRightsCaptions();  // 16 vertical headings, bit 0 first
const QStringList& reportMaskCaptions();  // 9 headings "T1".."Közp."

// The two areas no field covers; they travel unchanged.
bool isUninterpreted(int offset);

// The instance of a field by its control-name pattern and the number in its name:
// ("edZonaNeve%d", 3) is the name of zone 3, ("cblUserRights", 2) the rights of user 2,
// ("cblR%d", 4) the switch-off set of relay 2. Nothing when the table has no such instance.
std::optional<Instance> findInstance(const QString& pattern, int number = 1);

}  // namespace layout
