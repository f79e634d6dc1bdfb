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

// Says `line` in the trace the first time it comes: the endpoints are asked for often.
void SayOnce(const std::string& line)
{
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard lock(mutex);
    if (told.insert(line).second)
        HostWarning(line);
}

std::wstring Endpoint(const char* variable, const wchar_t* fallback)
{
    const char* value = std::getenv(variable);
    std::string problem;
    std::wstring endpoint = EndpointOrDefault(value, fallback, &problem);
    const std::string narrow(endpoint.begin(), endpoint.end());
    if (!problem.empty())
        SayOnce("Tavro: " + std::string(variable) + "=\"" + value + "\" is ignored: " + problem +
                "; the built-in address " + narrow + " is used instead.");
    if (IsPlainRemoteOrigin(endpoint))
        SayOnce("Tavro: " + std::string(variable) + " is " + narrow +
                ": plain http to another machine, so anyone on the way can read and change "
                "what is sent, the device identifier included.");
    return endpoint;
}

} // namespace

bool IsPlainRemoteOrigin(std::wstring_view origin)
{
    if (!origin.starts_with(L"http://"))
        return false;
    std::wstring_view host = origin.substr(7);
    if (host.starts_with(L"[::1]"))
        return false;
    host = host.substr(0, host.find(L':'));
    if (host == L"localhost" || host.ends_with(L".localhost"))
        return false;
    // The whole 127.0.0.0/8 block is loopback; a name merely starting "127." is not.
    if (host.starts_with(L"127.")) {
        const bool dottedDigits = host.find_first_not_of(L"0123456789.") == std::wstring_view::npos;
        return !dottedDigits;
    }
    return true;
}

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
    return Endpoint("TAVRO_DESKTOP_SERVER", L"https://desktop.tavro.cn");
}

std::wstring HomePage() { return Endpoint("TAVRO_HOME_PAGE", L"https://www.tavro.cn"); }

std::wstring MobileSite() { return Endpoint("TAVRO_MOBILE_SITE", L"https://m.tavro.cn"); }
