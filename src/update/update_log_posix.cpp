#include "update/update_log.h"

#include "update/version_list.h"

#include "host/diagnostics.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>

void LogUpdateLine(const std::string& programDir, std::string_view who, std::string_view line)
{
    const std::string text = std::string(who) + ": " + std::string(line);
    HostWarning("update " + text);
    const std::string path = programDir + std::string(kUpdateLogTail);
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::string entry = FormatUtcTime(std::time(nullptr)) + " " + text + "\n";
    // One write per line with O_APPEND, so lines of the worker and the updater never mix.
    const ssize_t written = ::write(fd, entry.data(), entry.size());
    (void)written;
    ::close(fd);
}
