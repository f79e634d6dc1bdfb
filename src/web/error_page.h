#pragma once

// Our own page for a load that failed (no server, a server error, a time-out), shown in
// place of the engine's raw error page: it says that the content cannot be reached now and
// offers to try the same address again.

#include <string>

// The page for a failed load of `url` (UTF-8), or empty when the engine's outcome should
// stay. Anything that kept the page from arriving (`httpStatus` 0: no server, a time-out)
// and server errors (5xx) get it; a page the server refused on purpose (4xx) is its own
// answer. The address only appears escaped, as the target of the retry link.
std::string BrowserErrorPage(const std::string& url, int httpStatus);
