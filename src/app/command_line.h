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
