#include "update/staging.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

// Makes the missing folders between `folder` and the file `relative` names, and checks that
// each one on the way is a folder, not a link to one.
bool MakeFoldersOnTheWay(const std::string& folder, const std::string& relative)
{
    std::string path = folder;
    for (std::size_t start = 0, slash = relative.find('/'); slash != std::string::npos;
         start = slash + 1, slash = relative.find('/', start)) {
        path += "/" + relative.substr(start, slash - start);
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0) {
            const bool made = errno == ENOENT &&
                              (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) &&
                              ::lstat(path.c_str(), &info) == 0;
            if (!made)
                return false;
        }
        if (!S_ISDIR(info.st_mode))
            return false;
    }
    return true;
}

// A fresh temporary file for `folder`/`relative`, its folders made on the way: whatever lay under
// the temporary name (a FIFO, a link) is neither opened nor followed.
int OpenFreshPart(const std::string& folder, const std::string& relative)
{
    if (!MakeFoldersOnTheWay(folder, relative))
        return -1;
    const std::string part = folder + "/" + relative + ".part";
    ::unlink(part.c_str());
    return ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            return false;
    }
    return true;
}

// Closes `fd` and renames the temporary file to `path` when `written`; otherwise, or when
// that fails, removes it.
bool FinishPart(int fd, const std::string& path, bool written)
{
    const std::string part = path + ".part";
    written = ::close(fd) == 0 && written;
    if (written && ::rename(part.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(part.c_str());
    return false;
}

} // namespace

bool WriteStagedFile(const std::string& folder, const std::string& relative,
                     std::string_view content)
{
    const int fd = OpenFreshPart(folder, relative);
    if (fd < 0)
        return false;
    return FinishPart(fd, folder + "/" + relative, WriteAll(fd, content.data(), content.size()));
}

StagedFileStream::StagedFileStream(const std::string& folder, std::string relative)
    : m_path(folder + "/" + relative), m_folder(folder), m_relative(std::move(relative))
{}

StagedFileStream::~StagedFileStream() { Discard(); }

void StagedFileStream::Discard()
{
    if (m_fd >= 0)
        FinishPart(m_fd, m_path, false);
    m_fd = -1;
}

void StagedFileStream::Restart()
{
    Discard();
    m_size = 0;
    m_hash.Reset();
    m_fd = OpenFreshPart(m_folder, m_relative);
    m_failed = m_fd < 0;
}

bool StagedFileStream::Write(const char* data, std::size_t size)
{
    if (m_fd < 0 && !m_failed)
        Restart();
    m_failed = m_failed || !WriteAll(m_fd, data, size);
    if (m_failed)
        return false;
    m_hash.Update(data, size);
    m_size += size;
    return true;
}

bool StagedFileStream::Commit()
{
    if (m_fd < 0 && !m_failed)
        Restart();
    if (m_fd < 0)
        return false;
    const int fd = m_fd;
    m_fd = -1;
    return FinishPart(fd, m_path, !m_failed);
}
