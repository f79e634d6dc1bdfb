#include "restarter/restarter.h"

DesktopWait WaitForDesktop(IDesktopProbe& probe, int boundMs, int pollMs)
{
    DesktopWait wait;
    for (;;) {
        // Once seen, each stays counted: a network that blinks is not waited for again.
        wait.tray = wait.tray || probe.TrayAvailable();
        wait.network = wait.network || probe.NetworkUp();
        if (wait.Ready() || wait.waitedMs >= boundMs)
            return wait;
        probe.Pause(pollMs);
        wait.waitedMs += pollMs;
    }
}

std::string DescribeMissing(const DesktopWait& wait)
{
    if (wait.Ready())
        return {};
    std::string missing;
    if (!wait.tray)
        missing = "no notification area";
    if (!wait.network)
        missing += std::string(missing.empty() ? "" : " and ") + "no network";
    return missing + " after " + std::to_string(wait.waitedMs / 1000) +
           " s; starting the program all the same";
}
