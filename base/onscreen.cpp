#include "base/onscreen.h"

#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "base/windowfit.h"

namespace {

void moveOnScreen(QWidget* w) {
    const QScreen* screen = w->screen();
    if (!screen) return;
    const QRect frame = w->frameGeometry();
    const QRect fitted = keptOnScreen(frame, screen->availableGeometry());
    if (fitted != frame) w->move(w->pos() + (fitted.topLeft() - frame.topLeft()));
}

class OnScreenGuard : public QObject {
public:
    explicit OnScreenGuard(QWidget* window) : QObject(window), m_window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Show) {
            moveOnScreen(m_window);
            // A window manager adds its frame only after the window is mapped; looked at once
            // more when it has.
            QPointer<QWidget> w = m_window;
            QTimer::singleShot(0, this, [w] {
                if (w && w->isVisible()) moveOnScreen(w);
            });
        }
        return false;
    }

private:
    QWidget* m_window;
};

}  // namespace

void keepOnScreen(QWidget* window) { window->installEventFilter(new OnScreenGuard(window)); }
