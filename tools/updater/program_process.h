#pragma once

// The process side of the two helpers: whether this user's program of a given folder
// still runs, and turning the helper into the program it starts.

#include <string>
#include <vector>

// Whether a process of this user runs the executable at `exePath`.
bool IsExecutableRunning(const std::string& exePath);

// Replaces this process with `exePath` and `arguments` (without the program name), run in
// the executable's folder. Returns only when that failed, with errno's text.
std::string ReplaceProcessWith(const std::string& exePath,
                               const std::vector<std::string>& arguments);

// Sleeps for the given milliseconds.
void PauseMs(int ms);
