#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Every parameter of an image as "key = value" text, the key named after the editor control
// that shows it ("[n]" is the row: zone, user or event number, or the trigger number).
namespace paramtext {

struct Line {
    QString key;
    QString value;
};

QList<Line> describe(const QByteArray& image);

struct Difference {
    QString key;
    QString before;
    QString after;
};

// Parameters whose shown value differs, in layout order.
QList<Difference> compare(const QByteArray& a, const QByteArray& b);

// One difference on one line, as everything that lists them shows it: "key: before -> after".
QString diffLine(const Difference& d);

}  // namespace paramtext
