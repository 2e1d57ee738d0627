#include "app/dialogs.h"

#include <QtGlobal>

namespace {
UserDialogs* g_dialogs = nullptr;
}

UserDialogs& dialogs() {
    Q_ASSERT_X(g_dialogs, "dialogs", "no dialogs installed");
    return *g_dialogs;
}

void setDialogs(UserDialogs* d) { g_dialogs = d; }
