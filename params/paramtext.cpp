#include "params/paramtext.h"

#include "link/textcodec.h"
#include "params/layout.h"

namespace paramtext {

namespace {
const char* const kChecked = "checked";
const char* const kClear = "clear";
const char* const kNothing = "(none)";

QString quoted(const QString& text) {
    QString out;
    // Most names need no escape at all: one allocation, the text and its two quotes.
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    // One parameter a line, whatever a name holds.
    appendEscapedText(out, text);
    out += QLatin1Char('"');
    return out;
}

// Phone cells: a gap shows as "_", empty cells at the end are dropped.
QString phoneText(QString cells) {
    while (cells.endsWith(QLatin1Char(' '))) cells.chop(1);
    cells.replace(QLatin1Char(' '), QLatin1Char('_'));
    return quoted(cells);
}

// The key names the check box as the editor does: its column, then the row it stands in
// (1-based, as the rows are captioned) or, for a trigger column, the trigger number.
QString bitKey(const layout::Instance& in, int bit) {
    const layout::CheckPlace place = layout::checkPlace(in, bit);
    const int row = in.field->kind == layout::Kind::TriggerSet ? place.item : in.number();
    return QStringLiteral("%1[%2]").arg(place.column).arg(row);
}

bool isCheckKind(layout::Kind kind) {
    switch (kind) {
        case layout::Kind::RightsWord:
        case layout::Kind::ReportMask:
        case layout::Kind::TriggerSet:
        case layout::Kind::FlagEqualOne:
        case layout::Kind::FlagNotZero:
            return true;
        default:
            return false;
    }
}

// One field instance with everything about its lines that the memory does not decide: the
// keys, and the text of every choice and spinner value. Worked out once: formatting
// the thousand-odd keys anew for every image would be nearly all that describe costs.
struct Entry {
    layout::Instance instance;
    QStringList keys;    // one a check box, or the instance's name
    QStringList values;  // choices "n (text)", spinner numbers: indexed by the value read
};

QStringList valueTexts(const layout::Field& f) {
    QStringList out;
    switch (f.kind) {
        case layout::Kind::OptionGroup:
        case layout::Kind::DropDown:
        case layout::Kind::RemoteButton:
            for (int n = 0; n < f.choices->size(); ++n)
                out << QStringLiteral("%1 (%2)").arg(n).arg(f.choices->at(n));
            break;
        case layout::Kind::Spinner:
            for (int n = 0; n <= f.max; ++n) out << QString::number(n);
            break;
        default:
            break;
    }
    return out;
}

struct Table {
    QList<Entry> entries;
    qsizetype lines = 0;
};

const Table& table() {
    static const Table t = [] {
        Table out;
        layout::forEachInstance([&](const layout::Instance& in) {
            Entry e{in, {}, valueTexts(*in.field)};
            if (layout::isFlag(in.field->kind))
                e.keys << bitKey(in, 0);
            else if (isCheckKind(in.field->kind))
                for (int b = 0; b < layout::bitCount(in.field->kind); ++b) e.keys << bitKey(in, b);
            else
                e.keys << in.name();
            out.lines += e.keys.size();
            out.entries.append(e);
        });
        return out;
    }();
    return t;
}

// A value the table holds ready, or the same text made now.
QString valueText(const Entry& e, int number) {
    if (number >= 0 && number < e.values.size()) return e.values.at(number);
    if (e.instance.field->kind == layout::Kind::Spinner) return QString::number(number);
    return QString::fromLatin1(kNothing);
}
}  // namespace

QList<Line> describe(const QByteArray& image) {
    static const QString checked = QString::fromLatin1(kChecked);
    static const QString clear = QString::fromLatin1(kClear);
    const Table& t = table();
    QList<Line> out;
    out.reserve(t.lines);
    for (const Entry& e : t.entries) {
        const layout::Value v = layout::read(e.instance, image);
        switch (e.instance.field->kind) {
            case layout::Kind::RightsWord:
            case layout::Kind::ReportMask:
            case layout::Kind::TriggerSet:
                for (int b = 0; b < e.keys.size(); ++b)
                    out.append({e.keys.at(b), (v.bits >> b) & 1 ? checked : clear});
                break;
            case layout::Kind::FlagEqualOne:
            case layout::Kind::FlagNotZero:
                out.append({e.keys.first(), v.number ? checked : clear});
                break;
            case layout::Kind::Text:
                out.append({e.keys.first(), quoted(v.text)});
                break;
            case layout::Kind::Phone:
                out.append({e.keys.first(), phoneText(v.text)});
                break;
            case layout::Kind::Code:
            case layout::Kind::HexDigits:
            case layout::Kind::TestTime:
                out.append({e.keys.first(), v.text});
                break;
            case layout::Kind::Spinner:
            case layout::Kind::OptionGroup:
            case layout::Kind::DropDown:
            case layout::Kind::RemoteButton:
                out.append({e.keys.first(), valueText(e, v.number)});
                break;
        }
    }
    return out;
}

QList<Difference> compare(const QByteArray& a, const QByteArray& b) {
    const QList<Line> left = describe(a);
    const QList<Line> right = describe(b);
    QList<Difference> out;
    for (int i = 0; i < left.size(); ++i)
        if (left[i].value != right[i].value)
            out.append({left[i].key, left[i].value, right[i].value});
    return out;
}

QString diffLine(const Difference& d) {
    return d.key + QStringLiteral(": ") + d.before + QStringLiteral(" -> ") + d.after;
}

}  // namespace paramtext
