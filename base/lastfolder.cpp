#include "base/lastfolder.h"

#include <QDir>
#include <QFileInfo>

QString dialogStartPath(const QString& lastFolder, const QString& suggestedName) {
    if (lastFolder.isEmpty() || QFileInfo(suggestedName).isAbsolute() ||
        suggestedName.contains(QLatin1Char('/')) || suggestedName.contains(QLatin1Char('\\')))
        return suggestedName;
    return QDir(lastFolder).filePath(suggestedName);
}

QString folderOf(const QString& chosenPath) {
    if (chosenPath.isEmpty()) return {};
    return QFileInfo(chosenPath).absolutePath();
}
