#pragma once

#include <QString>

// Every test program runs in a home of its own, made empty before main() and removed at its
// end: HOME, XDG_DATA_HOME and XDG_CONFIG_HOME lead into it, for the program and for whatever it
// starts. The ports folder, the history and every setting are then this run's alone, so test
// programs can run at the same time and use the same COM names, and a run finds nothing that
// an earlier one left behind.
QString testHome();
