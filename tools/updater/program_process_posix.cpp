#include "updater/program_process.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string RealPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

} // namespace

bool IsExecutableRunning(const std::string& exePath)
{
    const std::string wanted = RealPath(exePath);
    DIR* proc = opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    const uid_t me = getuid();
    while (dirent* entry = readdir(proc)) {
        const char* name = entry->d_name;
        if (!*name || std::strspn(name, "0123456789") != std::strlen(name))
            continue;
        const std::string dir = std::string("/proc/") + name;
        struct stat st
        {};
        if (stat(dir.c_str(), &st) != 0 || st.st_uid != me)
            continue;
        char target[PATH_MAX];
        const ssize_t size = readlink((dir + "/exe").c_str(), target, sizeof target - 1);
        if (size <= 0)
            continue;
        std::string exe(target, static_cast<std::size_t>(size));
        // A running file that was replaced on disk reads with this mark.
        constexpr std::string_view kDeleted = " (deleted)";
        if (exe.size() > kDeleted.size() && exe.ends_with(kDeleted))
            exe.resize(exe.size() - kDeleted.size());
        if (exe == wanted) {
            found = true;
            break;
        }
    }
    closedir(proc);
    return found;
}

std::string ReplaceProcessWith(const std::string& exePath,
                               const std::vector<std::string>& arguments)
{
    const auto slash = exePath.rfind('/');
    if (slash != std::string::npos && chdir(exePath.substr(0, slash + 1).c_str()) != 0)
        return std::string("cannot enter the program's folder: ") + std::strerror(errno);
    std::vector<char*> argv;
    std::string name = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
    argv.push_back(name.data());
    std::vector<std::string> copies = arguments;
    for (auto& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(exePath.c_str(), argv.data());
    return std::strerror(errno);
}

void PauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
