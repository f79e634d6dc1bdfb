#pragma once

// One line per refused update, failed file, install or wait, in Release/update.log, so that
// whoever wonders why no update came can read why. The worker, the updater and the restarter
// all write through here; the log keeps only its newest few kilobytes.

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

// The log below the program folder.
inline constexpr std::string_view kUpdateLogTail = "/Release/update.log";
inline constexpr std::size_t kLogLimitBytes = 32 * 1024;

// `text` as the log keeps it: once past kLogLimitBytes, cut at a line start to its last half.
std::string KeepLogTail(std::string text);

// The text of the log after adding one line: `old` with "<UTC time> <who>: <line>\n"
// appended, cut at a line start to its last half once it passes kLogLimitBytes.
std::string AppendLogLine(const std::string& old, std::time_t when, std::string_view who,
                          std::string_view line);

// Appends "<UTC time> <who>: <line>" to the program folder's update log (created private
// to the user; a link in its place is not followed) and says the same in the trace. A log
// that cannot be written leaves the trace line only; it never stops an update.
void LogUpdateLine(const std::string& programDir, std::string_view who, std::string_view line);
