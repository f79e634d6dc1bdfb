#include "update/staging.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

bool WriteStagedFile(const std::string& path, std::string_view content)
{
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    if (error)
        return false;
    const std::string part = path + ".part";
    // A fresh file: whatever lay under the temporary name (a FIFO, a link) is neither opened
    // nor followed.
    ::unlink(part.c_str());
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = true;
    for (std::size_t done = 0; written && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else
            written = n < 0 && errno == EINTR;
    }
    written = ::close(fd) == 0 && written;
    if (written && ::rename(part.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(part.c_str());
    return false;
}
