#include "host/file_io.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_tempCounter{0};

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept
    {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
        return *this;
    }
    int Get() const { return m_fd; }
    int Close()
    {
        int rc = 0;
        if (m_fd >= 0)
            rc = close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

WriteResult Failed(WriteStep step, int error) { return WriteResult{step, error}; }

} // namespace

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int RemoveStaleNewFiles(const std::string& path)
{
    const std::string folder = FolderOf(path);
    const auto slash = path.rfind('/');
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + ".new-";
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || *end != '-' || pid == getpid())
            continue;
        // A writer that still runs is still writing.
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        if (unlink((folder + "/" + name).c_str()) == 0)
            ++removed;
    }
    closedir(dir);
    return removed;
}

bool IsRegularFile(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool EnsureFolder(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) == 0)
        return true;
    struct stat info
    {};
    return errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> MoveAside(const std::string& path, const std::string& aside)
{
    for (int n = 1; n <= 1000; ++n) {
        const std::string name = n == 1 ? aside : aside + "-" + std::to_string(n);
        // link() never replaces an existing name, unlike rename().
        if (link(path.c_str(), name.c_str()) == 0) {
            unlink(path.c_str());
            return name;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

WriteResult WriteFileAtomically(const std::string& path, std::string_view content,
                                const WriteFunction& write)
{
    // Created like any new file (0666 less the umask), under a name no one else uses.
    std::string tempPath;
    Fd fd;
    for (int attempt = 0; fd.Get() < 0; ++attempt) {
        tempPath = path + ".new-" + std::to_string(getpid()) + "-" +
                   std::to_string(g_tempCounter.fetch_add(1));
        fd = Fd(open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.Get() < 0 && (errno != EEXIST || attempt >= 100))
            return Failed(WriteStep::Create, errno);
    }

    // Whatever fails before the rename, the half-written new file must not stay behind.
    struct Cleanup
    {
        const std::string& file;
        bool armed = true;
        ~Cleanup()
        {
            if (armed)
                unlink(file.c_str());
        }
    } cleanup{tempPath};

    struct stat old
    {};
    if (stat(path.c_str(), &old) == 0 && fchmod(fd.Get(), old.st_mode & 07777) != 0)
        return Failed(WriteStep::Create, errno);

    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const long n = write ? write(fd.Get(), data, left) : ::write(fd.Get(), data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Failed(WriteStep::Write, n < 0 ? errno : EIO);
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (fsync(fd.Get()) != 0)
        return Failed(WriteStep::Sync, errno);
    if (fd.Close() != 0)
        return Failed(WriteStep::Sync, errno);
    if (rename(tempPath.c_str(), path.c_str()) != 0)
        return Failed(WriteStep::Rename, errno);
    cleanup.armed = false;

    Fd folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0 || fsync(folder.Get()) != 0)
        return Failed(WriteStep::SyncFolder, errno);
    return {};
}

bool ReadFileInPieces(const std::string& path,
                      const std::function<bool(std::string_view piece)>& consume)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0)
        return false;
    struct stat info
    {};
    if (fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0 || !consume(std::string_view(buffer, static_cast<std::size_t>(n))))
            return true;
    }
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes)
{
    std::string content;
    bool tooBig = false;
    const bool read = ReadFileInPieces(path, [&](std::string_view piece) {
        tooBig = content.size() + piece.size() > maxBytes;
        if (!tooBig)
            content.append(piece);
        return !tooBig;
    });
    if (!read || tooBig)
        return std::nullopt;
    return content;
}
