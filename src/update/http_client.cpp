#include "update/http_client.h"

#include "update/prefault.h"

#include "host/text_codec.h"

#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwctype>
#include <mutex>
#include <optional>

namespace {

std::wstring Lower(std::wstring_view text)
{
    std::wstring lower(text);
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return lower;
}

// Header bytes are ASCII in practice; anything else is widened byte by byte, so that no
// header ever turns into an empty text.
std::wstring WidenHeader(const std::string& bytes)
{
    std::wstring wide;
    wide.reserve(bytes.size());
    for (const char c : bytes)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// The host part of an http or https URL; nothing for any other URL or one libcurl cannot
// parse. Checked before any connection so that a bad URL costs no network activity.
bool SplitUrl(const std::string& url, std::string& host)
{
    CURLU* handle = curl_url();
    if (!handle)
        return false;
    bool ok = curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
    char* scheme = nullptr;
    char* hostPart = nullptr;
    if (ok)
        ok = curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
             curl_url_get(handle, CURLUPART_HOST, &hostPart, 0) == CURLUE_OK;
    if (ok) {
        const std::string s = scheme;
        ok = s == "http" || s == "https";
        host = hostPart;
    }
    curl_free(scheme);
    curl_free(hostPart);
    curl_url_cleanup(handle);
    return ok;
}

} // namespace

// Owns one easy handle: for the length of a request, or of a session.
struct HttpTransfer
{
    CURL* curl = curl_easy_init();
    ~HttpTransfer()
    {
        if (curl)
            curl_easy_cleanup(curl);
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* user)
    {
        auto* client = static_cast<HttpClient*>(user);
        const size_t bytes = size * count;
        // Each response of a redirect chain starts with its status line; keep the last.
        if (bytes >= 5 && std::memcmp(data, "HTTP/", 5) == 0)
            client->m_headerBytes.clear();
        client->m_headerBytes.append(data, bytes);
        return bytes;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* user)
    {
        auto* client = static_cast<HttpClient*>(user);
        const size_t bytes = size * count;
        // Returning less than given makes libcurl stop with CURLE_WRITE_ERROR.
        return client->AppendBody(data, bytes) ? bytes : 0;
    }

    static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        const auto* cancel = static_cast<const std::atomic<bool>*>(user);
        return cancel && cancel->load() ? 1 : 0;
    }
};

void HttpClient::GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpSession::HttpSession() : m_transfer(std::make_unique<HttpTransfer>()) {}

HttpSession::~HttpSession() = default;

HttpClient::HttpClient(std::wstring url) : m_requestUrl(std::move(url)) { GlobalInit(); }

HttpClient::~HttpClient() = default;

std::wstring NormaliseVerb(std::wstring_view verb)
{
    const std::wstring lower = Lower(verb);
    if (lower == L"get")
        return L"GET";
    if (lower == L"post")
        return L"POST";
    return {};
}

std::wstring CharsetFromHeaders(std::wstring_view headers)
{
    const std::wstring lower = Lower(headers);
    static constexpr std::wstring_view key = L"charset=";
    const size_t found = lower.find(key);
    if (found == std::wstring::npos)
        return {};
    const size_t start = found + key.size();
    size_t end = lower.find_first_of(L" ;\n", start);
    // The value never takes the header text's last character.
    end = std::min(end, lower.size() - 1);
    return end > start ? lower.substr(start, end - start) : std::wstring();
}

void HttpClient::ResetResponse()
{
    m_headerBytes.clear();
    m_textBytes.clear();
    // The buffer keeps its capacity: a retried body refills it from the start.
    m_rawContentLength = 0;
    m_statusCode = 0;
    m_sinkBytes = 0;
    m_overCap = false;
    if (m_sink)
        m_sink->Restart();
}

bool HttpClient::AppendBody(const char* data, size_t size)
{
    if (m_rawMode && m_sink) {
        // Only a 2xx body is the file: an error page is neither written nor counted, and
        // the transfer ends with its status kept.
        long status = 0;
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
        if (status / 100 != 2) {
            m_statusCode = status;
            return false;
        }
        // Stopped the moment the body passes its cap, before the excess is written.
        m_overCap = size > m_limits.maxBodyBytes || m_sinkBytes > m_limits.maxBodyBytes - size;
        if (m_overCap)
            return false;
        m_sinkBytes += size;
        return m_sink->Write(data, size);
    }
    const size_t held = m_rawMode ? static_cast<size_t>(m_rawContentLength) : m_textBytes.size();
    const size_t cap = std::min<size_t>(m_limits.maxBodyBytes, INT32_MAX);
    m_overCap = size > cap || held > cap - size;
    if (m_overCap)
        return false;
    if (m_rawMode)
        return AppendRaw(data, size);
    m_textBytes.append(data, size);
    return true;
}

bool HttpClient::AppendRaw(const char* data, size_t size)
{
    const auto needed =
        static_cast<std::int64_t>(m_rawContentLength) + static_cast<std::int64_t>(size);
    if (needed > m_rawCapacity) {
        std::int64_t capacity = m_rawCapacity == 0 ? kInitialRawCapacity : m_rawCapacity;
        while (capacity < needed)
            capacity += kRawGrowthStep;
        if (capacity > INT32_MAX)
            return false;
        // realloc keeps the held bytes; for large blocks it moves pages instead of copying.
        void* grown = std::realloc(m_rawContent.get(), static_cast<size_t>(capacity));
        if (!grown)
            return false;
        m_rawContent.release();
        m_rawContent.reset(static_cast<unsigned char*>(grown));
        PrefaultForWriting(m_rawContent.get() + m_rawCapacity,
                           static_cast<size_t>(capacity - m_rawCapacity));
        m_rawCapacity = static_cast<std::int32_t>(capacity);
    }
    if (size > 0)
        std::memcpy(m_rawContent.get() + m_rawContentLength, data, size);
    m_rawContentLength += static_cast<std::int32_t>(size);
    return true;
}

bool HttpClient::SendHttpRequest(bool forceUtf8, const std::wstring& verb, bool rawMode)
{
    const std::wstring method = NormaliseVerb(verb);
    if (method.empty())
        return false;
    const std::string url = WideToUtf8(m_requestUrl);
    std::string host;
    if (!SplitUrl(url, host))
        return false;
    m_requestHost = Utf8ToWide(host);
    m_rawMode = rawMode;

    std::optional<HttpTransfer> own;
    CURL* curl = nullptr;
    if (m_session) {
        curl = m_session->m_transfer->curl;
        // Every option of the previous request goes; its open connection stays.
        if (curl)
            curl_easy_reset(curl);
    } else {
        curl = own.emplace().curl;
    }
    if (!curl)
        return false;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "HttpClient");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // Larger reads than the 16 KiB default: fewer system calls and callbacks per file.
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 256L * 1024);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, m_limits.maxRedirects);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, m_limits.connectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, std::max(1L, m_limits.lowSpeedBytesPerSecond));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, m_limits.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &HttpTransfer::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &HttpTransfer::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &HttpTransfer::OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, m_cancel);
    if (method == L"POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, 0L);
    }

    m_curl = curl;
    bool received = false;
    for (int attempt = 0; attempt < kMaxAttempts && !received; ++attempt) {
        ResetResponse();
        const CURLcode code = curl_easy_perform(curl);
        received = code == CURLE_OK;
        // Trying again cannot help when the request itself is refused, the body is over
        // its cap, the redirects loop or the program is quitting.
        if (code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_URL_MALFORMAT ||
            code == CURLE_WRITE_ERROR || code == CURLE_TOO_MANY_REDIRECTS ||
            code == CURLE_ABORTED_BY_CALLBACK)
            break;
    }
    if (!received)
        return false;

    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &m_statusCode);
    m_responseHeader = WidenHeader(m_headerBytes);
    m_responseCharset = CharsetFromHeaders(m_responseHeader);
    if (!rawMode) {
        // Decoded once, whole, so a character split between two reads is kept.
        const bool utf8 = forceUtf8 || m_responseCharset.find(L"utf-8") != std::wstring::npos;
        m_responseContent = utf8 ? Utf8ToWide(m_textBytes) : AnsiToWide(m_textBytes);
    }
    return true;
}
