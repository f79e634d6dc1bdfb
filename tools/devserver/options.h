#pragma once

// The development server's command line, read apart from the server so that the usage and
// the refusals are tested directly.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace devserver {

// What --help prints.
extern const char kUsage[];

struct Options
{
    int port = 0; // 0: the system picks the three ports
    std::string updateDir;
    std::string logFile;
    std::string readyFile;
    // --page-delay-ms and --page-status with their values, in order, checked by the page route.
    std::vector<std::pair<std::string, std::string>> pageOptions;
    bool help = false;
};

// Reads the arguments after the program's name. nullopt, with a message in `error`, for an
// unknown argument, a missing value or a port that is not a number from 1 to 65533.
std::optional<Options> ReadOptions(const std::vector<std::string>& args, std::string& error);

} // namespace devserver
