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

// The whole content of a regular file of at most `maxBytes` bytes; nothing when the file
// is missing, unreadable, not a regular file or larger.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes);
