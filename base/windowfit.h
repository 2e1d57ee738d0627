#pragma once

#include <QRect>
#include <QSize>

// Where a window goes on a screen: the frame of a window whose client area asks for `wanted`,
// made no larger than the screen's available area and centred on it. A window whose content is
// then larger scrolls; it is never placed partly off the screen. `frame` is what the window
// frame adds to the client area.
QRect fittedFrame(const QSize& wanted, const QRect& available, const QSize& frame = QSize());

// `frame` moved the least distance that puts it inside `available`; one larger than the area
// keeps its size and its top-left corner goes to the area's, so its title bar stays reachable.
QRect keptOnScreen(const QRect& frame, const QRect& available);

// A window of frame size `size` beside the window whose frame is `anchor`, `gap` apart, level
// with its top: to its right where the screen has room, else to its left, else as near the
// right as the screen allows. Always on the screen.
QRect besideFrame(const QRect& anchor, const QSize& size, const QRect& available, int gap = 8);
