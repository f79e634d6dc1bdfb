#include "app/command_line.h"

std::string RawCommandLine(const std::vector<std::string>& arguments)
{
    std::string raw;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i)
            raw += ' ';
        raw += arguments[i];
    }
    return raw;
}

StartSwitch ClassifyCommandLine(const std::string& raw)
{
    if (raw.empty())
        return StartSwitch::Empty;
    if (raw == "-start")
        return StartSwitch::Start;
    if (raw == "-restart")
        return StartSwitch::Restart;
    return StartSwitch::Other;
}
