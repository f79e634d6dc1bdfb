#pragma once

// The system-facing defaults behind services.cpp.

#include <string>

// Starts the program by full path, detached (it outlives us and is never waited for).
// False when it could not be started.
bool SpawnDetached(const std::string& path);
// Flushes stdio and ends the process at once; no destructors or exit handlers run.
[[noreturn]] void ExitProcessNow(int code);
// Whether any interface other than the loopback is up and running.
bool AnyNetworkInterfaceUp();
