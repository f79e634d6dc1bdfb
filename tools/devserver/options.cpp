#include "options.h"

namespace devserver {

const char kUsage[] =
    "usage: devserver [--port N] [--update-dir DIR] [--log FILE] [--ready-file FILE]\n"
    "                 [--page-delay-ms N] [--page-status CODE]\n"
    "\n"
    "Serves the desktop server (dated page, feedback page, update files), the maker's home\n"
    "page and the mobile site on 127.0.0.1. With --port N they listen on N, N+1 and N+2;\n"
    "without it the system picks free ports. The addresses are printed, and written to\n"
    "--ready-file as shell assignments once all three listen. --log appends every request.\n"
    "--page-delay-ms and --page-status make the dated page answer late or fail.\n";

namespace {

// The three sites take the port and the next two.
constexpr int kHighestPort = 65535 - 2;

bool ReadPort(const std::string& text, int& port)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    port = std::stoi(text);
    return port >= 1 && port <= kHighestPort;
}

} // namespace

std::optional<Options> ReadOptions(const std::vector<std::string>& args, std::string& error)
{
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        const bool takesValue = arg == "--port" || arg == "--update-dir" || arg == "--log" ||
                                arg == "--ready-file" || arg == "--page-delay-ms" ||
                                arg == "--page-status";
        if (!takesValue) {
            error = "unknown argument " + arg;
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (arg == "--port") {
            if (!ReadPort(value, options.port)) {
                error = "bad value for --port";
                return std::nullopt;
            }
        } else if (arg == "--update-dir") {
            options.updateDir = value;
        } else if (arg == "--log") {
            options.logFile = value;
        } else if (arg == "--ready-file") {
            options.readyFile = value;
        } else {
            options.pageOptions.emplace_back(arg, value);
        }
    }
    return options;
}

} // namespace devserver
