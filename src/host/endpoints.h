#pragma once

// The three web endpoints: the desktop server (content page, feedback page, update files),
// the maker's home page and the mobile site. Each is "scheme://host[:port]" without a
// trailing '/', compiled in (https) and overridable by the environment (TAVRO_DESKTOP_SERVER,
// TAVRO_HOME_PAGE, TAVRO_MOBILE_SITE), which is how the tests and the demo point the
// program at the local development server.

#include <string>
#include <string_view>

std::wstring DesktopServer();
std::wstring HomePage();
std::wstring MobileSite();

// `value` when it is an http or https origin (scheme, host, optional port, optional
// trailing '/'), without the trailing '/'; otherwise `fallback`. A null value gives the
// fallback. A value that is set but refused leaves the reason in `problem` (empty
// otherwise); the three endpoints above say it once on standard error.
std::wstring EndpointOrDefault(const char* value, const std::wstring& fallback,
                               std::string* problem = nullptr);

// True for a plain http origin whose host is not this machine's loopback: what is sent there
// can be read and changed on the way. The endpoints above note such an override once.
bool IsPlainRemoteOrigin(std::wstring_view origin);
