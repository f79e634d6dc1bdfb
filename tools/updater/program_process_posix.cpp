#include "updater/program_process.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <unistd.h>

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
