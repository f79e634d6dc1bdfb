#pragma once

// The restarter's wait at login: the desktop's notification area and the network may come
// up some seconds after the session starts, and the program started before them would
// lose its tray icon and its update check. It waits for both, for a bounded time.

#include <string>

class IDesktopProbe
{
public:
    virtual ~IDesktopProbe() = default;
    virtual bool TrayAvailable() = 0;
    virtual bool NetworkUp() = 0;
    virtual void Pause(int ms) = 0;
};

struct DesktopWait
{
    bool tray = false;
    bool network = false;
    int waitedMs = 0;
    bool Ready() const { return tray && network; }
};

// Asks every pollMs until both are there or boundMs have passed.
DesktopWait WaitForDesktop(IDesktopProbe& probe, int boundMs, int pollMs);

// What the log says about a wait that ran out; empty when everything was there.
std::string DescribeMissing(const DesktopWait& wait);
