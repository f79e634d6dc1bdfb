#pragma once

// Writing staged files. A staged file is written under a temporary name and renamed, so a
// half-written file never carries a staged name; it is not flushed on its own: one flush of
// the whole staging folder comes before the update is marked ready (a hundred separate
// flushes cost more than the downloads), and the updater checks every hash again anyway.

#include <string>
#include <string_view>

// Creates the missing folders on the way, writes `path`.part and renames it to `path`.
// On failure nothing is left under either name.
bool WriteStagedFile(const std::string& path, std::string_view content);

// Puts everything written to the file system that holds `folder` on the disk.
bool FlushFileSystemOf(const std::string& folder);
