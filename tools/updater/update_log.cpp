#include "updater/update_log.h"

#include "host/file_io.h"

std::string AppendLogLine(const std::string& old, std::time_t when, const std::string& who,
                          const std::string& line)
{
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string text = old + stamp + " " + who + ": " + line + "\n";
    if (text.size() > kLogLimitBytes) {
        const std::size_t cut = text.find('\n', text.size() - kLogLimitBytes / 2);
        text.erase(0, cut == std::string::npos ? text.size() : cut + 1);
    }
    return text;
}

void WriteLogLine(const std::string& path, const std::string& who, const std::string& line)
{
    const std::string old = ReadWholeFile(path, 4 * kLogLimitBytes).value_or(std::string());
    WriteFileAtomically(path, AppendLogLine(old, std::time(nullptr), who, line));
}
