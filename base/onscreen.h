#pragma once

class QWidget;

// Each time `window` is shown it is moved, if need be, so that its frame lies inside the
// available area of its screen: wherever the platform or a saved position put it, no window
// opens partly off a small screen.
void keepOnScreen(QWidget* window);
