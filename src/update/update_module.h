#pragma once

// The update check as a module of its own, loaded by the worker's thread once the program
// runs. The HTTP library and the many libraries it brings then cost nothing before the
// widget is shown; the module carries its own copy of what it needs.

#include "host/diagnostics.h"

#include <atomic>

// The module's file name without prefix or suffix, beside the executable.
inline constexpr const char* kUpdateModuleBaseName = "tavro_update";
// Its one entry point, looked up by this name.
inline constexpr const char* kUpdateCheckEntry = "TavroRunUpdateCheck";

// Runs one check with the program's own settings, stopping early once `cancel` is set;
// answers true when an update is ready. The module's warnings go to `warnings` (null:
// standard error).
using UpdateCheckEntry = bool (*)(const std::atomic<bool>* cancel, HostWarningSink warnings);
