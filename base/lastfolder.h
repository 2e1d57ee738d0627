#pragma once

#include <QString>

// Where a file dialog starts: in the folder the user last chose a file in, with the name the
// operation suggests. A suggested name that carries its own folder keeps it; with no folder
// chosen yet the name stands as it is (the working directory, as before).
QString dialogStartPath(const QString& lastFolder, const QString& suggestedName);

// The folder of a path the user chose, for the next dialog; empty for an empty path.
QString folderOf(const QString& chosenPath);
