#pragma once

// Fixed locations inside the program folder. Every file of the program is the program
// folder followed by one of these tails, joined by plain concatenation.

#include <algorithm>
#include <string>

// Executable names as the process list reports them.
inline constexpr const wchar_t* kProgramExeName = L"Tavro";
inline constexpr const wchar_t* kUpdaterExeName = L"Update";
inline constexpr const wchar_t* kRestarterExeName = L"Restart";

inline constexpr const wchar_t* kRestarterTail = L"/Release/Restart";
inline constexpr const wchar_t* kUpdaterTail = L"/Release/Update";
inline constexpr const wchar_t* kProfileTail = L"/Release/conf/userdata.xml";
inline constexpr const wchar_t* kTipDatabaseTail = L"/Release/data/tavro_tip.db";
// A printf format; the argument is the day of pregnancy.
inline constexpr const wchar_t* kPictureTailFormat = L"/Release/data/pic/%d.jpg";

// Paths written for Windows (a version list names its files with backslashes) use '/' here.
inline std::wstring ToForwardSlashes(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

inline std::string ToForwardSlashes(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
