#pragma once

#include <initializer_list>

class QPushButton;
class QWidget;

// A push button with its object name: the windows' handlers, the tests and the layout code
// find their buttons by these names. `caption` is UTF-8, `name` Latin-1.
QPushButton* namedButton(QWidget* parent, const char* name, const char* caption);

// A short tooltip for each named control of `window` (name, UTF-8 text), so that a new user
// can find out what a button does without pressing it.
struct ToolTip {
    const char* name;
    const char* text;
};
void setToolTips(QWidget* window, std::initializer_list<ToolTip> tips);
