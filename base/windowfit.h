#pragma once

#include <QRect>
#include <QSize>

// Where a window goes on a screen: the frame of a window whose client area asks for `wanted`,
// made no larger than the screen's available area and centred on it. A window whose content is
// then larger scrolls; it is never placed partly off the screen. `frame` is what the window
// frame adds to the client area.
QRect fittedFrame(const QSize& wanted, const QRect& available, const QSize& frame = QSize());
