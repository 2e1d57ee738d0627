#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class ParamImage;

// Every image read from a module or written to one, kept as a data file of its own, so a
// site's configuration before a write that made things worse is never lost. Entries are
// named by their time and event, saved atomically, and never overwritten.
namespace history {

enum class Event {
    Read,           // read from the module
    Written,        // written to the module and activated
    ComparedEqual,  // compared with the module: the same
    ComparedDiffer, // compared with the module: a block differs
};

struct Entry {
    QString path;
    QDateTime when;
    Event event;
    int sequence = 1;  // 2, 3 ... for further entries of the same millisecond
};

// Where the entries go: "GSM-Korvanta Telvora/history" in the user's data folder, the same
// for the windows and the command line.
QString defaultFolder();

// What the event is called in the history window.
QString eventText(Event event);

// Saves `image` as a new entry in `folder` (made if missing). Returns the entry's path, or
// nothing with the reason in *error.
std::optional<QString> record(const QString& folder, const ParamImage& image, Event event,
                              const QDateTime& when, QString* error = nullptr);

// The folder's entries, newest first; files that are no entry of ours are left out.
QList<Entry> list(const QString& folder);

}  // namespace history
