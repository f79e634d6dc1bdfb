#pragma once

#include <string>

// A diagnostic trail of what the parent window did, for support and the end-to-end tests:
// written only when TAVRO_TRACE names a file, one line per event, flushed at once.
void Trace(const std::string& line);
