#include "updater/install_fs.h"

#include "host/file_io.h"
#include "update/update_signing.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PosixInstallFs final : public IInstallFs
{
public:
    FileKind Kind(const std::string& path) override
    {
        struct stat st
        {};
        if (lstat(path.c_str(), &st) != 0)
            return errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Other;
        if (S_ISREG(st.st_mode))
            return FileKind::Regular;
        if (S_ISDIR(st.st_mode))
            return FileKind::Folder;
        return FileKind::Other;
    }

    std::optional<std::string> ReadSmall(const std::string& path, std::size_t maxBytes) override
    {
        if (Kind(path) != FileKind::Regular)
            return std::nullopt;
        return ReadWholeFile(path, maxBytes);
    }

    std::string ReadHead(const std::string& path, std::size_t bytes) override
    {
        std::string head;
        if (Kind(path) != FileKind::Regular)
            return head;
        ReadFileInPieces(path, [&](std::string_view piece) {
            head.append(piece.substr(0, bytes - head.size()));
            return head.size() < bytes;
        });
        return head;
    }

    std::optional<std::string> Sha256Hex(const std::string& path) override
    {
        if (Kind(path) != FileKind::Regular)
            return std::nullopt;
        return Sha256FileHex(path);
    }

    std::optional<unsigned> Mode(const std::string& path) override
    {
        struct stat st
        {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        return static_cast<unsigned>(st.st_mode & 07777);
    }

    unsigned CreationMask() override
    {
        // Read by setting it; the updater runs no other thread that could create a file.
        const mode_t mask = umask(022);
        umask(mask);
        return static_cast<unsigned>(mask);
    }

    bool WriteAtomically(const std::string& path, std::string_view content) override
    {
        return WriteFileAtomically(path, content).Ok();
    }

    bool SetMode(const std::string& path, unsigned mode) override
    {
        return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
    }

    bool Rename(const std::string& from, const std::string& to) override
    {
        return rename(from.c_str(), to.c_str()) == 0;
    }

    bool RemoveFile(const std::string& path) override
    {
        return unlink(path.c_str()) == 0 || errno == ENOENT;
    }

    bool MakeFolder(const std::string& path) override
    {
        if (mkdir(path.c_str(), 0755) == 0)
            return true;
        return errno == EEXIST && Kind(path) == FileKind::Folder;
    }

    bool MakePrivateFolder(const std::string& path) override
    {
        return mkdir(path.c_str(), 0700) == 0;
    }

    bool RemoveEmptyFolder(const std::string& path) override
    {
        return rmdir(path.c_str()) == 0 || errno == ENOENT;
    }

    bool RemoveTree(const std::string& path) override
    {
        std::error_code error;
        std::filesystem::remove_all(path, error);
        return !error;
    }

    bool SyncFile(const std::string& path) override { return Sync(path, O_NONBLOCK); }
    bool SyncFolder(const std::string& path) override { return Sync(path, O_DIRECTORY); }

private:
    static bool Sync(const std::string& path, int flags)
    {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
        if (fd < 0)
            return false;
        const bool ok = fsync(fd) == 0;
        close(fd);
        return ok;
    }
};

} // namespace

IInstallFs& SystemInstallFs()
{
    static PosixInstallFs fs;
    return fs;
}
