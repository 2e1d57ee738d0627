#pragma once

#include <QString>

// A tooltip that shows `text` exactly as it stands. Tooltips take any text that looks like
// markup for markup, so text from a file, a device or the module is escaped and wrapped as
// one preformatted paragraph: "<b>x</b>" shows as those eight characters.
QString plainToolTip(const QString& text);
