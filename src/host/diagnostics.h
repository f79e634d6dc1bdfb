#pragma once

// The host module's warnings. The module has no Qt, so it cannot write to a logging
// category itself: its lines go to stderr until the program hands them to its logging
// (the tavro.host category) with SetHostWarningSink.

#include <string>

using HostWarningSink = void (*)(const std::string& line);

// Null sends the lines back to stderr.
void SetHostWarningSink(HostWarningSink sink);
// The sink in force, for a module with its own copy of these warnings to use as well.
HostWarningSink CurrentHostWarningSink();

// One warning line (UTF-8, without the line end).
void HostWarning(const std::string& line);
