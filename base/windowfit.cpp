#include "base/windowfit.h"

#include <algorithm>

QRect fittedFrame(const QSize& wanted, const QRect& available, const QSize& frame) {
    QRect out(QPoint(0, 0), (wanted + frame).boundedTo(available.size()));
    out.moveCenter(available.center());
    return out;
}

QRect keptOnScreen(const QRect& frame, const QRect& available) {
    QRect out = frame;
    // Right and bottom first, so a window larger than the area ends at its top-left corner.
    if (out.right() > available.right()) out.moveRight(available.right());
    if (out.bottom() > available.bottom()) out.moveBottom(available.bottom());
    if (out.left() < available.left()) out.moveLeft(available.left());
    if (out.top() < available.top()) out.moveTop(available.top());
    return out;
}

QRect besideFrame(const QRect& anchor, const QSize& size, const QRect& available, int gap) {
    QRect right(QPoint(anchor.right() + 1 + gap, anchor.top()), size);
    QRect left(QPoint(anchor.left() - gap - size.width(), anchor.top()), size);
    if (right.right() <= available.right()) return keptOnScreen(right, available);
    if (left.left() >= available.left()) return keptOnScreen(left, available);
    return keptOnScreen(right, available);
}
