#include "update/staging.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

bool FlushFileSystemOf(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool flushed = ::syncfs(fd) == 0;
    ::close(fd);
    return flushed;
}
