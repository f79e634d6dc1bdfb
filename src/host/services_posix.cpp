#include "host/services_posix.h"

#include <cerrno>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool SpawnDetached(const std::string& path)
{
    if (path.empty())
        return false;
    // A go-between child starts the program and ends at once, so the program is handed to
    // init and never becomes a zombie of ours; its exit status reports the spawn's result.
    const pid_t middle = fork();
    if (middle < 0)
        return false;
    if (middle == 0) {
        setsid();
        char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
        pid_t program = 0;
        const int rc = posix_spawn(&program, path.c_str(), nullptr, nullptr, argv, environ);
        _exit(rc == 0 ? 0 : 1);
    }
    int status = 0;
    while (waitpid(middle, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ExitProcessNow(int code)
{
    std::fflush(nullptr);
    _exit(code);
}
