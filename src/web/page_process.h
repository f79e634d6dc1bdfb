#pragma once

// Starting and ending the page process, and what the page process does to be tied to the
// program, kept apart from the logic that drives it.

#include <chrono>
#include <string>
#include <vector>

// The page process finds its end of the channel here.
constexpr int kPageChannelFd = 3;

struct SpawnedPage
{
    int pid = -1;
    int fd = -1; // the program's end of the channel
};

// Starts `program` with `arguments`, the other end of a new channel as kPageChannelFd and
// default signal handling. On failure answers pid -1 and says why in `error`.
SpawnedPage SpawnPageProcess(const std::string& program, const std::vector<std::string>& arguments,
                             std::string* error);

// Ends `pid` and collects it: waits up to `grace` for it to end by itself (it was asked to),
// then kills it.
void EndPageProcess(int pid, std::chrono::milliseconds grace);

// In the page process: ends it with its parent, even when the parent is killed. False when
// the parent `parentPid` has already gone.
bool TieToParent(int parentPid);

// The program's window system has carried out every request sent so far, so that another
// process may use a window just made. Does nothing where that does not apply.
void SyncWindowSystem();
