#include "web/page_process.h"

#include <QGuiApplication>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

SpawnedPage SpawnPageProcess(const std::string& program, const std::vector<std::string>& arguments,
                             std::string* error)
{
    auto fail = [error](const char* what, int code) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(code);
        return SpawnedPage{};
    };
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return fail("socketpair", errno);
    // dup2 onto itself would keep close-on-exec.
    if (fds[1] == kPageChannelFd) {
        const int moved = ::fcntl(fds[1], F_DUPFD_CLOEXEC, kPageChannelFd + 1);
        ::close(fds[1]);
        fds[1] = moved;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kPageChannelFd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The program blocks and catches signals for its own shutdown; the page process starts
    // clean, so that an ending signal ends it.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int code =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[1]);
    if (code != 0) {
        ::close(fds[0]);
        return fail("cannot start the page process", code);
    }
    return SpawnedPage{pid, fds[0]};
}

void EndPageProcess(int pid, std::chrono::milliseconds grace)
{
    if (pid <= 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        const pid_t ended = ::waitpid(pid, nullptr, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR))
            return;
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool TieToParent(int parentPid)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the call above: then nothing would ever end us.
    return ::getppid() == parentPid;
}

void SyncWindowSystem()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    // The offscreen platform answers the interface too, without a connection.
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    // A round trip: the server answers only after every earlier request.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}
