#include "params/paramtext.h"

#include "params/layout.h"

namespace paramtext {

namespace {
const char* const kChecked = "checked";
const char* const kClear = "clear";
const char* const kNothing = "(none)";

// One parameter a line, whatever a name holds: control characters and the backslash are
// written as escapes.
QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
            case '\\':
                out += QLatin1String("\\\\");
                break;
            case '\r':
                out += QLatin1String("\\r");
                break;
            case '\n':
                out += QLatin1String("\\n");
                break;
            case '\t':
                out += QLatin1String("\\t");
                break;
            default:
                if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                    out += QLatin1String("\\x") +
                           QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0')).toUpper();
                else
                    out += c;
        }
    }
    return out;
}

QString quoted(const QString& text) { return QLatin1Char('"') + escaped(text) + QLatin1Char('"'); }

QString choiceText(const layout::Field& f, int number) {
    if (number < 0) return QString::fromLatin1(kNothing);
    return QStringLiteral("%1 (%2)").arg(number).arg(f.choices->at(number));
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
}  // namespace

QList<Line> describe(const QByteArray& image) {
    QList<Line> out;
    layout::forEachInstance([&](const layout::Instance& in) {
        const layout::Value v = layout::read(in, image);
        const layout::Field& f = *in.field;
        switch (f.kind) {
            case layout::Kind::RightsWord:
            case layout::Kind::ReportMask:
            case layout::Kind::TriggerSet:
                for (int b = 0; b < layout::bitCount(f.kind); ++b)
                    out.append({bitKey(in, b),
                                QString::fromLatin1((v.bits >> b) & 1 ? kChecked : kClear)});
                return;
            case layout::Kind::FlagEqualOne:
            case layout::Kind::FlagNotZero:
                out.append({bitKey(in, 0), QString::fromLatin1(v.number ? kChecked : kClear)});
                return;
            case layout::Kind::Text:
                out.append({in.name(), quoted(v.text)});
                return;
            case layout::Kind::Phone:
                out.append({in.name(), phoneText(v.text)});
                return;
            case layout::Kind::Code:
            case layout::Kind::HexDigits:
            case layout::Kind::TestTime:
                out.append({in.name(), v.text});
                return;
            case layout::Kind::Spinner:
                out.append({in.name(), QString::number(v.number)});
                return;
            case layout::Kind::OptionGroup:
            case layout::Kind::DropDown:
            case layout::Kind::RemoteButton:
                out.append({in.name(), choiceText(f, v.number)});
                return;
        }
    });
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

}  // namespace paramtext
