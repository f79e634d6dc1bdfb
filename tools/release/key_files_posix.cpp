#include "key_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

void CreateKeyFile(const std::string& path, std::string_view text, bool secret)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          secret ? 0600 : 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            throw std::runtime_error(path + " exists; a key file is never written over");
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    }
    bool written = true;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else
            written = n < 0 && errno == EINTR;
    }
    written = ::fsync(fd) == 0 && written;
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        throw std::runtime_error("cannot write " + path);
    }
}
