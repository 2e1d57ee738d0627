#pragma once

#include <QString>

#include "link/ecomport.h"

// Everything that asks or tells the user through a modal box goes through here, so tests
// can answer instead of a person. The program makes one and hands it to every window.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    virtual void message(const QString& text) = 0;
    // Yes: true, No: false.
    virtual bool confirm(const QString& text) = 0;
    // Empty when cancelled.
    virtual QString openFileName(const QString& filter, const QString& initialName) = 0;
    virtual QString saveFileName(const QString& filter, const QString& initialName) = 0;
};

// Runs a user action; a serial error that escapes it is shown with the layer's text, and the
// window stays usable. No exception may pass into the event loop.
template <class Action>
void reportComErrors(UserDialogs& dialogs, Action&& action) {
    try {
        action();
    } catch (const EComPort& e) {
        dialogs.message(e.message());
    }
}
