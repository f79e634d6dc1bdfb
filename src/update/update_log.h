#pragma once

// One line per refused update or failed file, in the trace and in Release/update.log, so
// that whoever wonders why no update came can read why. The worker and the updater both
// write through here.

#include <string>
#include <string_view>

// The log below the program folder.
inline constexpr std::string_view kUpdateLogTail = "/Release/update.log";

// Appends "<UTC time> <who>: <line>" to the program folder's update log (created private
// to the user; a link in its place is not followed) and says the same in the trace. A log
// that cannot be written leaves the trace line only.
void LogUpdateLine(const std::string& programDir, std::string_view who, std::string_view line);
