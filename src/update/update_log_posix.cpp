#include "update/update_log.h"

#include "host/diagnostics.h"
#include "host/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void LogUpdateLine(const std::string& programDir, std::string_view who, std::string_view line)
{
    HostWarning("update " + std::string(who) + ": " + std::string(line));
    const std::string path = programDir + std::string(kUpdateLogTail);
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    // One write per line with O_APPEND, so lines of two writers never mix.
    const std::string entry = AppendLogLine({}, std::time(nullptr), who, line);
    const bool written =
        ::write(fd, entry.data(), entry.size()) == static_cast<ssize_t>(entry.size());
    struct stat status
    {};
    const bool grown =
        ::fstat(fd, &status) == 0 && status.st_size > static_cast<off_t>(kLogLimitBytes);
    ::close(fd);
    // Past its limit the log keeps its newest half; the replaced file keeps its mode.
    if (written && grown) {
        if (const auto text = ReadWholeFile(path, 4 * kLogLimitBytes))
            WriteFileAtomically(path, KeepLogTail(*text));
    }
}
