#pragma once

// One blocking HTTP or HTTPS request for one URL, on the libcurl easy API. It keeps the
// raw response headers, the character set they name, the status code, and the body either
// as decoded text or as raw bytes in one growing buffer.
//
// Calling order: construct, SendHttpRequest once, read the results, destroy. Each instance
// belongs to one thread. Clients that share an HttpSession reuse one connection.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

// Limits that libcurl does not apply by itself. The defaults are the program's; tests
// shorten them.
struct HttpLimits
{
    long connectTimeoutSeconds = 60;
    // A transfer that averages under lowSpeedBytesPerSecond for stallSeconds is abandoned,
    // so a server that drips a few bytes now and then cannot hold a download forever.
    long stallSeconds = 30;
    long lowSpeedBytesPerSecond = 1024;
    long maxRedirects = 5;
    // Body bytes accepted, counted as they arrive (libcurl does not check a body sent
    // without Content-Length against CURLOPT_MAXFILESIZE).
    std::size_t maxBodyBytes = 256u * 1024 * 1024;
};

struct HttpTransfer;

// Takes a raw body as it arrives instead of the client's buffer, so that no whole file is
// held in memory. Restart is called before each attempt (a retried body starts over).
class HttpBodySink
{
public:
    virtual ~HttpBodySink() = default;
    virtual void Restart() = 0;
    // False stops the transfer, which then fails.
    virtual bool Write(const char* data, std::size_t size) = 0;
};

// Requests made one after another through one session share one libcurl handle and with it
// its open connection, so a hundred files from one server cost one connection instead of a
// hundred. Belongs to one thread, like the clients that use it, and outlives them.
class HttpSession
{
public:
    HttpSession();
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

private:
    friend class HttpClient;
    std::unique_ptr<HttpTransfer> m_transfer;
};

class HttpClient
{
public:
    static constexpr int kMaxAttempts = 3;
    static constexpr std::int32_t kInitialRawCapacity = 1038336;
    static constexpr std::int32_t kRawGrowthStep = 1048576;

    explicit HttpClient(std::wstring url);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // "GET" or "POST" in any letter case; any other verb fails at once without touching the
    // network. True when a whole response (status line, headers and body) arrived, whatever
    // its status code. Text mode decodes the body as UTF-8 when forceUtf8 is set or the
    // headers name utf-8, else with the legacy narrow encoding.
    bool SendHttpRequest(bool forceUtf8, const std::wstring& verb, bool rawMode);

    std::wstring GetResponseHeader() const { return m_responseHeader; }
    std::wstring GetResponseContent() const { return m_responseContent; }
    // The body exactly as received in text mode (a signature covers these bytes).
    const std::string& GetResponseBytes() const { return m_textBytes; }
    // The status code of the last response; 0 when none arrived.
    long GetStatusCode() const { return m_statusCode; }

    // Must be set before the request.
    void SetLimits(const HttpLimits& limits) { m_limits = limits; }
    // When the flag turns true, a running request stops within about a second and fails.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    // Must be set before the request; without a session the request has a connection of
    // its own.
    void SetSession(HttpSession* session) { m_session = session; }
    // Must be set before a raw-mode request; the body then goes to `sink`, still bounded by
    // the limits' maxBodyBytes, and m_rawContent stays empty. A response other than 2xx
    // ends the request at its first body byte: it fails with GetStatusCode() kept.
    void SetBodySink(HttpBodySink* sink) { m_sink = sink; }
    // Whether the last attempt's body passed maxBodyBytes and was stopped there.
    bool BodyOverCap() const { return m_overCap; }

    // Call once before any thread uses the client (libcurl's global set-up is not
    // thread-safe). Later calls do nothing.
    static void GlobalInit();

    struct FreeDeleter
    {
        void operator()(unsigned char* p) const { std::free(p); }
    };

    std::wstring m_requestUrl;
    std::wstring m_responseHeader;
    std::wstring m_responseContent;
    std::wstring m_responseCharset;
    std::wstring m_requestHost;
    std::int32_t m_rawContentLength = 0;
    std::int32_t m_rawCapacity = 0;
    std::unique_ptr<unsigned char, FreeDeleter> m_rawContent;

private:
    friend struct HttpTransfer;
    bool AppendBody(const char* data, std::size_t size);
    bool AppendRaw(const char* data, std::size_t size);
    void ResetResponse();

    bool m_rawMode = false;
    long m_statusCode = 0;
    std::string m_headerBytes;
    std::string m_textBytes;
    HttpLimits m_limits;
    const std::atomic<bool>* m_cancel = nullptr;
    HttpSession* m_session = nullptr;
    HttpBodySink* m_sink = nullptr;
    void* m_curl = nullptr; // the handle of the running request
    std::size_t m_sinkBytes = 0;
    bool m_overCap = false;
};

// The value after "charset=" in the lower-cased header text: up to the first space, ';' or
// line feed, or up to the text's last character, whichever comes first. Empty when the
// headers name none. A carriage return before the line feed stays in the value.
std::wstring CharsetFromHeaders(std::wstring_view headers);

// The verb as sent ("GET" or "POST"), or empty when it is neither.
std::wstring NormaliseVerb(std::wstring_view verb);
