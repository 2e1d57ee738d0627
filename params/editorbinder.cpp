#include "params/editorbinder.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include "params/digitgrid.h"
#include "params/editorwidgets.h"
#include "params/layout.h"

namespace editor {

namespace {

using layout::Kind;
using layout::Value;

template <class T>
T* need(const ControlLookup& lookup, const QString& name) {
    auto* control = qobject_cast<T*>(lookup(name));
    if (!control) throw MissingControl(name);
    return control;
}

FieldBinding bindOne(const layout::Instance& in, const ControlLookup& lookup) {
    // One field, one control: show what the image holds, take what the control holds.
    auto bind = [in](auto show, auto take) {
        return FieldBinding{[in, show](const QByteArray& img) { show(layout::read(in, img)); },
                            [in, take](QByteArray& img) { layout::write(in, img, take()); }};
    };
    const QString name = in.name();
    switch (in.field->kind) {
        case Kind::Text:
        case Kind::Code: {
            auto* box = need<QLineEdit>(lookup, name);
            return bind([box](const Value& v) { box->setText(v.text); },
                        [box] { return Value::ofText(box->text()); });
        }
        case Kind::TestTime: {
            auto* box = need<QLineEdit>(lookup, name);
            return bind([box](const Value& v) { box->setText(v.text); },
                        [box] {
                            // Unfilled places of the mask count as blanks, by position.
                            return Value::ofText(
                                box->displayText().replace(QLatin1Char('_'), QLatin1Char(' ')));
                        });
        }
        case Kind::Phone:
        case Kind::HexDigits: {
            auto* g = need<DigitGrid>(lookup, name);
            return bind([g](const Value& v) { g->setCells(v.text); },
                        [g] { return Value::ofText(g->cells()); });
        }
        case Kind::Spinner: {
            auto* spin = need<QSpinBox>(lookup, name);
            return bind([spin](const Value& v) { spin->setValue(v.number); },
                        [spin] { return Value::ofNumber(spin->value()); });
        }
        case Kind::OptionGroup: {
            auto* group = need<QButtonGroup>(lookup, name);
            if (group->buttons().size() != in.field->choices->size()) throw MissingControl(name);
            return bind([group](const Value& v) { group->button(v.number)->setChecked(true); },
                        [group] { return Value::ofNumber(group->checkedId()); });
        }
        case Kind::DropDown: {
            auto* list = need<QComboBox>(lookup, name);
            return bind([list](const Value& v) { list->setCurrentIndex(v.number); },
                        [list] { return Value::ofNumber(list->currentIndex()); });
        }
        case Kind::RemoteButton: {
            // These boxes can be typed into: a text that is none of the functions counts as no
            // selection.
            auto* list = need<QComboBox>(lookup, name);
            return bind([list](const Value& v) { list->setCurrentIndex(v.number); },
                        [list, in] {
                            return Value::ofNumber(
                                int(in.field->choices->indexOf(list->currentText())));
                        });
        }
        case Kind::FlagEqualOne:
        case Kind::FlagNotZero:
        case Kind::RightsWord:
        case Kind::ReportMask:
        case Kind::TriggerSet:
            break;
    }
    QList<QCheckBox*> boxes;
    for (int bit = 0; bit < layout::checkCount(in); ++bit) {
        const layout::CheckPlace place = layout::checkPlace(in, bit);
        auto* column = need<CheckColumn>(lookup, place.column);
        if (place.item >= column->count())
            throw MissingControl(QStringLiteral("%1[%2]").arg(place.column).arg(place.item));
        boxes.append(column->item(place.item));
    }
    const bool flag = layout::isFlag(in.field->kind);
    return bind(
        [boxes, flag](const Value& v) {
            const std::uint64_t bits = flag ? std::uint64_t(v.number) : v.bits;
            for (int b = 0; b < boxes.size(); ++b) boxes[b]->setChecked((bits >> b) & 1);
        },
        [boxes, flag] {
            std::uint64_t bits = 0;
            for (int b = 0; b < boxes.size(); ++b)
                if (boxes[b]->isChecked()) bits |= std::uint64_t(1) << b;
            return flag ? Value::ofNumber(int(bits)) : Value::ofBits(bits);
        });
}

}  // namespace

QList<FieldBinding> bindFields(const ControlLookup& lookup) {
    QList<FieldBinding> out;
    layout::forEachInstance([&](const layout::Instance& in) { out.append(bindOne(in, lookup)); });
    return out;
}

}  // namespace editor
