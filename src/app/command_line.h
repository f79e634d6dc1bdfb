#pragma once

#include <string>
#include <vector>

// What the text after the program name asks for. It is compared as a whole and
// case-sensitively: " -start" or "-START" is not the start switch.
enum class StartSwitch
{
    Empty,
    Start,
    Restart,
    Other
};

// The command line as Windows hands it to a program: the arguments joined by one blank.
std::string RawCommandLine(const std::vector<std::string>& arguments);
StartSwitch ClassifyCommandLine(const std::string& raw);

// A start that hands over to the updater leaves its switch in this environment variable,
// which the updater inherits; the updater starts the program again with it, so a start at
// login ("-restart") comes back as one.
inline constexpr const char* kHandOverSwitchVariable = "TAVRO_HANDOVER_SWITCH";

// The arguments the program is started again with, from that variable's value (null when
// unset): "-restart" is passed on, anything else is a normal start.
inline std::vector<std::string> ArgumentsAfterHandOver(const char* value)
{
    if (value && std::string(value) == "-restart")
        return {"-restart"};
    return {};
}
