#pragma once

#include <QChar>
#include <QString>

// The module's 59 event texts, numbered from 1. Each entry: 17 characters of text padded with
// blanks, character 18 ("1" or blank), character 19 the source kind ('Z' zone, 'F' user, '.'
// neither, blank for 48..59); the last two entries carry one more trailing blank.
constexpr int kEventTextCount = 59;
constexpr int kShownEventTypes = 47;  // only types 1..47 appear as events
// Length of the text part of an entry; the grids and captions show exactly this many characters.
constexpr int kEventTextWidth = 17;

QString EventTexts(int type);      // the whole entry, 1..59; empty outside
QString eventShownText(int type);  // its first 17 characters, trailing blanks kept; empty outside
// Character 19 of the entry. Outside 1..59 a blank, the same answer as for the entries that have
// no source, so a caller that only compares against 'Z' and 'F' needs no range check of its own.
QChar eventSourceKind(int type);
// Numbered caption of entry i: i formatted "%.2d. " then the first 17 characters
// ("01. IN1 Riasztás     "). Empty outside 1..59: there is no entry to caption.
QString eventCaption(int i);
