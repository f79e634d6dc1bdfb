#pragma once

// The process side of the two helpers: turning the helper into the program it starts.
// Whether the program still runs is the host's question (IsExecutableRunning).

#include <string>
#include <vector>

// Replaces this process with `exePath` and `arguments` (without the program name), run in
// the executable's folder. Returns only when that failed, with errno's text.
std::string ReplaceProcessWith(const std::string& exePath,
                               const std::vector<std::string>& arguments);

// Sleeps for the given milliseconds.
void PauseMs(int ms);
