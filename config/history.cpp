#include "config/history.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <iterator>

#include "config/datafile.h"
#include "params/paramimage.h"

namespace history {

namespace {
// The file name carries the entry: "20261209-143055-123-read.KD2", and "-2", "-3" ... before
// the extension when two entries fall in the same millisecond.
constexpr const char* kTimeFormat = "yyyyMMdd-HHmmss-zzz";
constexpr const char* kEventWords[] = {"read", "written", "compared-equal", "compared-differ"};
static_assert(std::size(kEventWords) == size_t(Event::ComparedDiffer) + 1, "a word each");
// Far more than one program can save in a millisecond; only names planted on purpose fill it.
constexpr int kMostPerMillisecond = 1000;

std::optional<Entry> parse(const QFileInfo& file) {
    const QString base = file.completeBaseName();
    const int timeLength = int(qstrlen(kTimeFormat));
    if (file.suffix().compare(QLatin1String("KD2"), Qt::CaseInsensitive) != 0 ||
        base.size() < timeLength + 2 || base.at(timeLength) != QLatin1Char('-'))
        return std::nullopt;
    const QDateTime when =
        QDateTime::fromString(base.left(timeLength), QString::fromLatin1(kTimeFormat));
    if (!when.isValid()) return std::nullopt;
    QString word = base.mid(timeLength + 1);
    // A same-millisecond entry's number is no part of the event.
    const int dash = word.lastIndexOf(QLatin1Char('-'));
    bool numbered = false;
    int sequence = 1;
    if (dash > 0) sequence = word.mid(dash + 1).toInt(&numbered);
    if (numbered)
        word.truncate(dash);
    else
        sequence = 1;
    for (size_t e = 0; e < std::size(kEventWords); ++e)
        if (word == QLatin1String(kEventWords[e]))
            return Entry{file.filePath(), when, Event(e), sequence};
    return std::nullopt;
}
}  // namespace

QString defaultFolder() {
    // One folder for the windows and the command line, whatever each program is called.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/GSM-Korvanta Telvora/history");
}

QString eventText(Event event) {
    switch (event) {
        case Event::Read:
            return QStringLiteral("Beolvasva a modulból");
        case Event::Written:
            return QStringLiteral("Áttöltve a modulba");
        case Event::ComparedEqual:
            return QStringLiteral("Összehasonlítva: azonos");
        case Event::ComparedDiffer:
            return QStringLiteral("Összehasonlítva: eltér");
    }
    return QString();
}

std::optional<QString> record(const QString& folder, const ParamImage& image, Event event,
                              const QDateTime& when, QString* error) {
    if (!QDir().mkpath(folder)) {
        if (error) *error = QStringLiteral("Cannot Create %1").arg(folder);
        return std::nullopt;
    }
    const QString stem = folder + QLatin1Char('/') +
                         when.toString(QString::fromLatin1(kTimeFormat)) + QLatin1Char('-') +
                         QLatin1String(kEventWords[int(event)]);
    // Each name is taken only if nobody has it: an entry, a stray file or a planted link is
    // left as it is, never followed, and the entry takes the next number instead.
    for (int n = 1; n <= kMostPerMillisecond; ++n) {
        const QString path = stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) +
                             QLatin1String(datafile::kExtension);
        bool taken = false;
        const std::optional<QString> why = datafile::saveNew(path, image, &taken);
        if (!why) return path;
        if (taken) continue;
        if (error) *error = *why;
        return std::nullopt;
    }
    if (error) *error = QStringLiteral("every name of %1 is taken").arg(stem);
    return std::nullopt;
}

QList<Entry> list(const QString& folder) {
    QList<Entry> out;
    // A link named like an entry is none of ours: loading it would read wherever it points.
    const QFileInfoList files =
        QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& f : files)
        if (std::optional<Entry> e = parse(f)) out.append(*e);
    std::stable_sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
        return a.when != b.when ? a.when > b.when : a.sequence > b.sequence;
    });
    return out;
}

}  // namespace history
