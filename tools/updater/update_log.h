#pragma once

// The short log the updater and the restarter keep in the program folder: one dated line
// per event, the oldest lines dropped once the file grows past a few kilobytes.

#include <ctime>
#include <string>

inline constexpr std::size_t kLogLimitBytes = 32 * 1024;

// The text of the log after adding one line: `old` with "<when> <who>: <line>\n" appended,
// cut at a line start to its last half once it passes kLogLimitBytes.
std::string AppendLogLine(const std::string& old, std::time_t when, const std::string& who,
                          const std::string& line);

// Appends to the log file at `path`, replacing it atomically; failures are ignored, a log
// must never stop an install.
void WriteLogLine(const std::string& path, const std::string& who, const std::string& line);
