#pragma once

class QPushButton;
class QWidget;

// A push button with its object name: the windows' handlers, the tests and the layout code
// find their buttons by these names. `caption` is UTF-8, `name` Latin-1.
QPushButton* namedButton(QWidget* parent, const char* name, const char* caption);
