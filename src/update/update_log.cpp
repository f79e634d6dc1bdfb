#include "update/update_log.h"

#include "update/version_list.h"

namespace {

std::string Entry(std::time_t when, std::string_view who, std::string_view line)
{
    return FormatUtcTime(when) + " " + std::string(who) + ": " + std::string(line) + "\n";
}

} // namespace

std::string KeepLogTail(std::string text)
{
    if (text.size() > kLogLimitBytes) {
        const std::size_t cut = text.find('\n', text.size() - kLogLimitBytes / 2);
        text.erase(0, cut == std::string::npos ? text.size() : cut + 1);
    }
    return text;
}

std::string AppendLogLine(const std::string& old, std::time_t when, std::string_view who,
                          std::string_view line)
{
    return KeepLogTail(old + Entry(when, who, line));
}
