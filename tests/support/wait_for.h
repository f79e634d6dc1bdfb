#pragma once

// Turns the event loop until a condition holds; false once the time is up. Loading the web
// engine and starting its first page can take many seconds on a busy machine, hence the
// generous default: a condition that holds ends the wait at once.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>

#include <functional>

inline bool WaitFor(const std::function<bool()>& condition, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // Outside an event loop, deleteLater() needs this.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
