#include "host/endpoints.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace {

bool IsHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

bool IsValidOrigin(std::string_view origin)
{
    std::string_view rest;
    if (origin.starts_with("http://"))
        rest = origin.substr(7);
    else if (origin.starts_with("https://"))
        rest = origin.substr(8);
    else
        return false;

    std::string_view host = rest;
    std::string_view port;
    if (rest.starts_with('[')) {
        // An IPv6 literal such as [::1].
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close == 1)
            return false;
        for (char c : rest.substr(1, close - 1)) {
            if (!(std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'))
                return false;
        }
        host = rest.substr(0, close + 1);
        const auto after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':')
                return false;
            port = after.substr(1);
            if (port.empty())
                return false;
        }
    } else {
        const auto colon = rest.find(':');
        if (colon != std::string_view::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
            if (port.empty())
                return false;
        }
        if (host.empty())
            return false;
        for (char c : host) {
            if (!IsHostChar(c))
                return false;
        }
    }
    if (!port.empty()) {
        if (port.size() > 5)
            return false;
        long number = 0;
        for (char c : port) {
            if (c < '0' || c > '9')
                return false;
            number = number * 10 + (c - '0');
        }
        if (number < 1 || number > 65535)
            return false;
    }
    return true;
}

std::wstring Endpoint(const char* variable, const wchar_t* fallback)
{
    return EndpointOrDefault(std::getenv(variable), fallback);
}

} // namespace

std::wstring EndpointOrDefault(const char* value, const std::wstring& fallback)
{
    if (!value)
        return fallback;
    std::string_view origin(value);
    if (origin.ends_with('/'))
        origin.remove_suffix(1);
    if (!IsValidOrigin(origin))
        return fallback;
    // Only ASCII has passed the check, so a byte-wise widening is exact.
    return std::wstring(origin.begin(), origin.end());
}

std::wstring DesktopServer()
{
    return Endpoint("TAVRO_DESKTOP_SERVER", L"http://desktop.tavro.cn");
}

std::wstring HomePage() { return Endpoint("TAVRO_HOME_PAGE", L"http://www.tavro.cn"); }

std::wstring MobileSite() { return Endpoint("TAVRO_MOBILE_SITE", L"http://m.tavro.cn"); }
