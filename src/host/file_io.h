#pragma once

// Whole-file reads and atomic whole-file writes. A save never truncates the file it
// replaces: the new content goes to a new file beside it, which is flushed to the disk and
// then renamed over the old one, so a crash at any point leaves either the old or the new
// file complete.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

enum class WriteStep
{
    None,       // success
    Create,     // the new file beside the target could not be created
    Write,      // writing the content failed
    Sync,       // flushing the new file to the disk failed
    Rename,     // replacing the target failed
    SyncFolder, // the target is in place, but the folder entry may not be on the disk yet
};

struct WriteResult
{
    WriteStep failedStep = WriteStep::None;
    int error = 0; // errno of the failing step
    bool Ok() const { return failedStep == WriteStep::None; }
};

// The write(2) used for the content; tests substitute one that fails part-way.
using WriteFunction = std::function<long(int fd, const char* data, std::size_t size)>;

// Replaces `path` with `content`. The replaced file's permissions are kept (new files get
// 0666 less the umask). On failure before the rename the target is untouched and the new
// file is removed again. A failed folder sync is reported, but the content is in place.
WriteResult WriteFileAtomically(const std::string& path, std::string_view content,
                                const WriteFunction& write = {});

// Reads a regular file from its start, handing each piece read to `consume`, which returns
// false to stop early. False when the file is missing, unreadable or not a regular file, or
// a read fails; a FIFO or device in the file's place is refused without waiting for a
// writer. Every other way to read a file is built on this one.
bool ReadFileInPieces(const std::string& path,
                      const std::function<bool(std::string_view piece)>& consume);

// The whole content of a regular file of at most `maxBytes` bytes; nothing when the file
// is missing, unreadable, not a regular file or larger.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes);

// Removes the new files a WriteFileAtomically of `path` left behind when its process was
// killed before the rename (named like the target plus ".new-PID-N", PID no longer
// running). Returns how many were removed.
int RemoveStaleNewFiles(const std::string& path);

// Whether `path` names a regular file (following symbolic links). Never blocks.
bool IsRegularFile(const std::string& path);

// Creates the folder `path` when it is missing; its parent must exist. True when the
// folder exists afterwards.
bool EnsureFolder(const std::string& path);

// The folder part of `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// Renames `path` to `aside`, or, when that name is taken, to `aside` followed by "-2",
// "-3" ... so that an older copy kept the same way is never replaced. Returns the name
// used, or nothing when the file could not be moved.
std::optional<std::string> MoveAside(const std::string& path, const std::string& aside);
