#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <functional>

// Processes events until `done` holds; false if it does not within a few seconds. Sleeps
// while idle: the simulator, the port and a slow wake-up timer end each sleep.
inline bool waitUntil(const std::function<bool()>& done) {
    QTimer wakeUp;
    wakeUp.start(50);
    const QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
