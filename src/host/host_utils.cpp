#include "host/host_utils.h"

#include "host/paths.h"

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

bool IsUpdaterRunning() { return IsProcessRunning(kUpdaterExeName); }

std::wstring GetMacText() { return MacTextFromAdapters(ReadAdapters()); }
