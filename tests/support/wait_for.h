#pragma once

// Turns the event loop until a condition holds. Loading the engine and starting its first
// page can take many seconds on a busy machine, hence the generous default.

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>

inline bool WaitFor(const std::function<bool()>& condition, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
