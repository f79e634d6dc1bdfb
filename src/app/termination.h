#pragma once

#include <functional>

// Runs `onTerminate` on the user-interface thread when the process is asked to end
// (SIGTERM at logout, SIGINT from a terminal), so that the normal shutdown writes the
// profile. A signal handler may do almost nothing itself, so it only wakes the event loop.
void InstallTerminationHandler(std::function<void()> onTerminate);
