#pragma once

// Questions about the machine and the installation: the program folder, running
// processes and the network adapter's hardware address. None of them reports an error:
// what cannot be read gives an empty or false answer.
//
// The rules live in the functions that take their inputs; the Get/Is functions only read
// the system (host_utils_posix.cpp) and apply them.

#include <cstdint>
#include <string>
#include <vector>

// The folder two levels above the running executable, without a trailing '/'.
std::wstring GetProgramDir();
// Whether a process with exactly this executable name (case-sensitive) is running.
bool IsProcessRunning(const std::wstring& exeName);
// Whether at least two processes named like the program run (the caller is one of them).
bool IsAnotherInstanceRunning();
// Whether this user runs this program folder's updater: another user's process, or one
// that only carries the name, does not count.
bool IsUpdaterRunning();
// Whether a process of this user runs the executable at `exePath` (links resolved).
bool IsExecutableRunning(const std::string& exePath);
// Gives the memory the allocator holds free back to the system. Freed memory normally stays
// with the process for its next allocations; after a window or the page closes it would
// stay for hours, as the program sits on the desktop all day with only the widget.
void ReturnFreeHeapToSystem();
// The first network adapter's hardware address as "00-1A-2B-3C-4D-5E", or empty.
std::wstring GetMacText();

// Cuts an executable path before its last '/' twice (file name, then the Release folder).
// A cut that finds no '/' gives the empty string.
std::wstring ProgramDirFromExePath(const std::wstring& exePath);

// How many names in the list equal `name` as whole strings, case-sensitively.
int CountProcessesNamed(const std::vector<std::wstring>& processNames, const std::wstring& name);

// Whether one of the executables (as /proc/PID/exe reads) is `exePath`; a file replaced
// on disk while it runs still counts as its path.
bool ListNamesExecutable(const std::vector<std::string>& executables, const std::string& exePath);

struct AdapterRecord
{
    bool loopback = false;
    std::vector<std::uint8_t> hardwareAddress;
};

// The address of the first adapter that is not a loopback and has a 6-byte hardware
// address, formatted "%02X-%02X-%02X-%02X-%02X-%02X"; empty when there is none.
std::wstring MacTextFromAdapters(const std::vector<AdapterRecord>& adapters);

// What the system reports, for the functions above.
std::wstring ReadExecutablePath();
std::vector<std::wstring> ReadProcessNames();
// The executables this user's processes run, as the links in /proc read.
std::vector<std::string> ReadOwnProcessExecutables();
// `path` with every link resolved, or `path` itself when it cannot be.
std::string ResolvedPath(const std::string& path);
std::vector<AdapterRecord> ReadAdapters();
