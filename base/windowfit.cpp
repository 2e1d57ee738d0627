#include "base/windowfit.h"

QRect fittedFrame(const QSize& wanted, const QRect& available, const QSize& frame) {
    QRect out(QPoint(0, 0), (wanted + frame).boundedTo(available.size()));
    out.moveCenter(available.center());
    return out;
}
