#pragma once

// Key files of the release tool. A secret key must never be lost by writing over it, nor
// be readable by anyone else even for a moment.

#include <string>
#include <string_view>

// Creates `path` with `text`, readable (and, with `secret`, at all accessible) by the owner
// only from the start. Refuses when anything exists under the name, a link included, which
// is never followed. Throws std::runtime_error with the reason.
void CreateKeyFile(const std::string& path, std::string_view text, bool secret);
