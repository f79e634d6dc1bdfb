#include "host/host_utils.h"

#include "host/paths.h"
#include "host/text_codec.h"

#include <algorithm>
#include <cstdio>

namespace {

std::wstring CutBeforeLastSlash(const std::wstring& path)
{
    const auto slash = path.rfind(L'/');
    if (slash == std::wstring::npos)
        return {};
    return path.substr(0, slash);
}

} // namespace

std::wstring ProgramDirFromExePath(const std::wstring& exePath)
{
    return CutBeforeLastSlash(CutBeforeLastSlash(exePath));
}

int CountProcessesNamed(const std::vector<std::wstring>& processNames, const std::wstring& name)
{
    return static_cast<int>(std::count(processNames.begin(), processNames.end(), name));
}

bool ListNamesExecutable(const std::vector<std::string>& executables, const std::string& exePath)
{
    // What the link reads once its file was replaced or removed.
    constexpr std::string_view kDeleted = " (deleted)";
    return std::any_of(executables.begin(), executables.end(), [&](const std::string& exe) {
        return exe == exePath ||
               (exe.ends_with(kDeleted) && exe.substr(0, exe.size() - kDeleted.size()) == exePath);
    });
}

std::wstring MacTextFromAdapters(const std::vector<AdapterRecord>& adapters)
{
    for (const auto& adapter : adapters) {
        if (adapter.loopback || adapter.hardwareAddress.size() != 6)
            continue;
        const auto& b = adapter.hardwareAddress;
        wchar_t text[18];
        std::swprintf(text, 18, L"%02X-%02X-%02X-%02X-%02X-%02X", b[0], b[1], b[2], b[3], b[4],
                      b[5]);
        return text;
    }
    return {};
}

std::wstring GetProgramDir() { return ProgramDirFromExePath(ReadExecutablePath()); }

bool IsProcessRunning(const std::wstring& exeName)
{
    return CountProcessesNamed(ReadProcessNames(), exeName) > 0;
}

bool IsAnotherInstanceRunning()
{
    return CountProcessesNamed(ReadProcessNames(), kProgramExeName) >= 2;
}

bool IsUpdaterRunning()
{
    const std::wstring programDir = GetProgramDir();
    return !programDir.empty() && IsExecutableRunning(WideToUtf8(programDir + kUpdaterTail));
}

bool IsExecutableRunning(const std::string& exePath)
{
    return ListNamesExecutable(ReadOwnProcessExecutables(), ResolvedPath(exePath));
}

std::wstring GetMacText() { return MacTextFromAdapters(ReadAdapters()); }
