#include "app/running_copy.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// A real folder (not a link) of this user's that nobody else may enter.
bool IsOwnPrivateFolder(const std::string& path)
{
    struct stat info
    {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// Whether the process at the other end of a connected socket runs as this user.
bool PeerIsThisUser(int fd)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
           peer.uid == ::getuid();
}

bool ToAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Binds a listening socket at `path` that only this user can reach: made in a private
// folder, narrowed there, then moved into place, so that it is never open to others.
int BindPrivately(const std::string& path)
{
    std::string folder = path + ".XXXXXX";
    if (!::mkdtemp(folder.data()))
        return -1;
    const std::string inside = folder + "/s";
    sockaddr_un address;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const bool bound =
        fd >= 0 && ToAddress(inside, address) &&
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::chmod(inside.c_str(), S_IRUSR | S_IWUSR) == 0 && ::listen(fd, 8) == 0 &&
        ::rename(inside.c_str(), path.c_str()) == 0;
    if (!bound && fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    ::unlink(inside.c_str());
    ::rmdir(folder.c_str());
    return fd;
}

} // namespace

std::string ChannelFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && *runtime && IsOwnPrivateFolder(runtime))
        return runtime;
    const std::string folder =
        QDir::tempPath().toStdString() + "/tavro-" + std::to_string(::getuid());
    // Made here when missing; one already there must pass the same test.
    ::mkdir(folder.c_str(), S_IRWXU);
    return IsOwnPrivateFolder(folder) ? folder : std::string();
}

struct RunningCopyListener::Connection
{
    explicit Connection(int socket) : fd(socket), notifier(socket, QSocketNotifier::Read) {}
    ~Connection() { ::close(fd); }
    int fd;
    QSocketNotifier notifier;
    std::string pending;
};

RunningCopyListener::RunningCopyListener(Handler handler) : m_handler(std::move(handler)) {}

RunningCopyListener::~RunningCopyListener() { Close(); }

void RunningCopyListener::Close()
{
    m_connections.clear();
    m_notifier.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_path.c_str());
    }
}

bool RunningCopyListener::Listen(const QString& title)
{
    const QString name = ChannelNameForTitle(title);
    if (m_fd >= 0 && m_name == name)
        return true;
    Close();
    m_name = name;
    m_path = ChannelPath(name);
    if (m_path.empty())
        return false;
    ::unlink(m_path.c_str());
    m_fd = BindPrivately(m_path);
    if (m_fd < 0)
        return false;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this,
            &RunningCopyListener::OnNewConnection);
    return true;
}

void RunningCopyListener::OnNewConnection()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (!PeerIsThisUser(fd)) {
            ::close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>(fd);
        connect(&connection->notifier, &QSocketNotifier::activated, this,
                [this, fd] { OnReadable(fd); });
        m_connections[fd] = std::move(connection);
    }
}

void RunningCopyListener::OnReadable(int fd)
{
    const auto found = m_connections.find(fd);
    if (found == m_connections.end())
        return;
    Connection& connection = *found->second;
    char buffer[512];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        connection.pending.append(buffer, static_cast<std::size_t>(got));
    const bool ended = got == 0 || (errno != EAGAIN && errno != EINTR);
    const std::size_t whole = connection.pending.size() / kChannelRecordSize * kChannelRecordSize;
    const std::string records = connection.pending.substr(0, whole);
    connection.pending.erase(0, whole);
    if (ended)
        m_connections.erase(found);
    for (std::size_t at = 0; at < records.size(); at += kChannelRecordSize) {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        DecodeChannelRecord(records.data() + at, message, wParam, lParam);
        // A second copy only ever asks for the main window; anything else is dropped.
        if (message == WM_SHOW_MAIN)
            m_handler(WM_SHOW_MAIN, 0, 0);
    }
}

bool PostToRunningCopy(const QString& title, UINT message, WPARAM wParam, LPARAM lParam, int waitMs)
{
    sockaddr_un address;
    if (!ToAddress(ChannelPath(ChannelNameForTitle(title)), address))
        return false;
    const std::string record = EncodeChannelRecord(message, wParam, lParam);
    QDeadlineTimer deadline(waitMs);
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            // Twenty bytes fit the socket's buffer: the write does not wait for the reader.
            // A listener of another user is no copy of ours: this copy goes on.
            const bool sent = PeerIsThisUser(fd) && ::write(fd, record.data(), record.size()) ==
                                                        static_cast<ssize_t>(record.size());
            ::close(fd);
            return sent;
        }
        ::close(fd);
        if (deadline.hasExpired())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
