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

// What the page says, also said by the program's own stand-in when the page process itself
// has failed (see page_failure_view.h).
constexpr const char* kErrorPageTitle = "暂时无法打开页面";
constexpr const char* kErrorPageLines[] = {"内容暂时连接不上，可能是网络或服务器的问题。",
                                           "请稍后再试一次。"};
constexpr const char* kErrorPageRetry = "重新加载";

// Whether `url` may become the retry link: only addresses the program itself would load (a
// script address in a link would run in the page).
bool IsRetryableAddress(const std::string& url);
