#include "host/endpoints.h"

#include "host/diagnostics.h"

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace {

bool IsHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

// Why `origin` is no http(s) origin; empty when it is one.
std::string OriginProblem(std::string_view origin)
{
    std::string_view rest;
    if (origin.starts_with("http://"))
        rest = origin.substr(7);
    else if (origin.starts_with("https://"))
        rest = origin.substr(8);
    else
        return "it does not start with http:// or https://";

    std::string_view host = rest;
    std::string_view port;
    if (rest.starts_with('[')) {
        // An IPv6 literal such as [::1].
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close == 1)
            return "the IPv6 address in brackets is empty or not closed";
        for (char c : rest.substr(1, close - 1)) {
            if (!(std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'))
                return "the IPv6 address holds a character that is not hexadecimal, ':' or '.'";
        }
        host = rest.substr(0, close + 1);
        const auto after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':')
                return "only a port may follow the host (no path, query or user name)";
            port = after.substr(1);
            if (port.empty())
                return "the port after ':' is empty";
        }
    } else {
        const auto colon = rest.find(':');
        if (colon != std::string_view::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
            if (port.empty())
                return "the port after ':' is empty";
        }
        if (host.empty())
            return "the host name is empty";
        for (char c : host) {
            if (!IsHostChar(c))
                return "the host name holds a character other than letters, digits, '-' and "
                       "'.' (no path, query or user name)";
        }
    }
    if (!port.empty()) {
        if (port.size() > 5)
            return "the port is not between 1 and 65535";
        long number = 0;
        for (char c : port) {
            if (c < '0' || c > '9')
                return "the port is not a number";
            number = number * 10 + (c - '0');
        }
        if (number < 1 || number > 65535)
            return "the port is not between 1 and 65535";
    }
    return {};
}

std::wstring Endpoint(const char* variable, const wchar_t* fallback)
{
    const char* value = std::getenv(variable);
    std::string problem;
    std::wstring endpoint = EndpointOrDefault(value, fallback, &problem);
    if (!problem.empty()) {
        // Said once per value: the endpoints are asked for often.
        static std::mutex mutex;
        static std::set<std::string> told;
        std::lock_guard lock(mutex);
        if (told.insert(std::string(variable) + "=" + value).second)
            HostWarning("Tavro: " + std::string(variable) + "=\"" + value +
                        "\" is ignored: " + problem + "; the built-in address " +
                        std::string(endpoint.begin(), endpoint.end()) + " is used instead.");
    }
    return endpoint;
}

} // namespace

std::wstring EndpointOrDefault(const char* value, const std::wstring& fallback,
                               std::string* problem)
{
    if (problem)
        problem->clear();
    if (!value)
        return fallback;
    std::string_view origin(value);
    if (origin.ends_with('/'))
        origin.remove_suffix(1);
    if (std::string why = OriginProblem(origin); !why.empty()) {
        if (problem)
            *problem = std::move(why);
        return fallback;
    }
    // Only ASCII has passed the check, so a byte-wise widening is exact.
    return std::wstring(origin.begin(), origin.end());
}

std::wstring DesktopServer()
{
    return Endpoint("TAVRO_DESKTOP_SERVER", L"http://desktop.tavro.cn");
}

std::wstring HomePage() { return Endpoint("TAVRO_HOME_PAGE", L"http://www.tavro.cn"); }

std::wstring MobileSite() { return Endpoint("TAVRO_MOBILE_SITE", L"http://m.tavro.cn"); }
