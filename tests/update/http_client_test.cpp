#include "update/http_client.h"

#include "host/text_codec.h"
#include "loopback_server.h"

#include <gtest/gtest.h>

namespace {

HttpLimits QuickLimits()
{
    HttpLimits limits;
    limits.stallSeconds = 1;
    limits.maxBodyBytes = 4 * 1024 * 1024;
    return limits;
}

TEST(HttpClient, VerbsOtherThanGetAndPostNeverReachTheNetwork)
{
    LoopbackServer server;
    server.Set("/x", {Answer::Body, "hello"});
    const struct
    {
        const wchar_t* verb;
        const char* sentAs; // null: refused
    } cases[] = {
        {L"get", "GET"}, {L"GeT", "GET"},    {L"post", "POST"},  {L"PUT", nullptr},
        {L"", nullptr},  {L"GET ", nullptr}, {L"HEAD", nullptr},
    };
    for (const auto& c : cases) {
        const auto before = server.Requests().size();
        HttpClient client(server.Url("/x"));
        EXPECT_EQ(client.SendHttpRequest(false, c.verb, false), c.sentAs != nullptr);
        const auto requests = server.Requests();
        if (c.sentAs) {
            ASSERT_EQ(requests.size(), before + 1);
            EXPECT_EQ(requests.back(), std::string(c.sentAs) + " /x");
            EXPECT_EQ(client.GetResponseContent(), L"hello");
        } else {
            EXPECT_EQ(requests.size(), before);
        }
    }
}

TEST(HttpClient, RefusesUrlsThatAreNotHttpOrHttps)
{
    LoopbackServer server;
    const std::string origin = server.Origin();
    const std::string cases[] = {
        "",
        "not a url",
        "ftp://127.0.0.1/x",
        "file:///etc/passwd",
        "http://",
        "gopher://127.0.0.1:" + origin.substr(origin.rfind(':') + 1) + "/x",
    };
    for (const std::string& url : cases) {
        HttpClient client(std::wstring(url.begin(), url.end()));
        EXPECT_FALSE(client.SendHttpRequest(false, L"GET", false)) << url;
        EXPECT_EQ(client.GetStatusCode(), 0) << url;
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST(HttpClient, AnErrorPageIsAResponseWithItsStatusKept)
{
    LoopbackServer server;
    HttpClient client(server.Url("/missing"));
    ASSERT_TRUE(client.SendHttpRequest(false, L"GET", false));
    EXPECT_EQ(client.GetStatusCode(), 404);
    EXPECT_EQ(client.GetResponseContent(), L"<html>not here</html>");
    EXPECT_EQ(client.m_requestHost, L"127.0.0.1");
    EXPECT_EQ(client.GetResponseHeader().rfind(L"HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(client.GetResponseHeader().substr(client.GetResponseHeader().size() - 4),
              L"\r\n\r\n");
}

TEST(HttpClient, CharsetIsReadFromTheLowerCasedHeaders)
{
    const struct
    {
        const wchar_t* headers;
        const wchar_t* charset;
    } cases[] = {
        {L"HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=UTF-8\r\n\r\n", L"utf-8\r"},
        {L"HTTP/1.1 200 OK\r\nContent-Type: text/html;CHARSET=GBK; x=1\r\n\r\n", L"gbk"},
        {L"HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=big5 x\r\n\r\n", L"big5"},
        {L"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n", L""},
        {L"Content-Type: a; charset=", L""},
        // The last character of the text is never part of the value.
        {L"Content-Type: a; charset=utf-8", L"utf-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CharsetFromHeaders(c.headers), c.charset) << c.headers;
}

TEST(HttpClient, TextIsDecodedAsTheHeadersOrTheCallerSay)
{
    SetLegacyEncoding("GBK");
    const std::string gbk = "\xd6\xd0\xce\xc4"; // 中文 in GBK
    const std::string utf8 = "\xe4\xb8\xad\xe6\x96\x87";
    const struct
    {
        const char* what;
        Reply reply;
        bool forceUtf8;
        const wchar_t* text;
        const wchar_t* charset;
    } cases[] = {
        {"named utf-8",
         {Answer::Body, utf8, 200, "text/xml; charset=UTF-8"},
         false,
         L"中文",
         L"utf-8\r"},
        {"no charset: legacy encoding",
         {Answer::Body, gbk, 200, "text/plain"},
         false,
         L"中文",
         L""},
        {"no charset, forced utf-8", {Answer::Body, utf8, 200, "text/plain"}, true, L"中文", L""},
        {"utf-8 split across chunks",
         {Answer::Chunks, "a" + utf8, 200, "text/plain; charset=utf-8", 0, 2},
         false,
         L"a中文",
         L"utf-8\r"},
    };
    for (const auto& c : cases) {
        LoopbackServer server;
        server.Set("/t", c.reply);
        HttpClient client(server.Url("/t"));
        ASSERT_TRUE(client.SendHttpRequest(c.forceUtf8, L"GET", false)) << c.what;
        EXPECT_EQ(client.GetResponseContent(), c.text) << c.what;
        EXPECT_EQ(client.m_responseCharset, c.charset) << c.what;
        EXPECT_EQ(client.m_rawContentLength, 0) << c.what;
    }
    SetLegacyEncoding("");
}

TEST(HttpClient, RawBodiesGrowOneBufferInMegabyteSteps)
{
    const struct
    {
        std::size_t size;
        std::int32_t capacity;
    } cases[] = {
        {0, 0}, {1, 1038336}, {1038336, 1038336}, {1038337, 2086912}, {3000000, 3135488},
    };
    LoopbackServer server;
    for (const auto& c : cases) {
        std::string body(c.size, '\0');
        for (std::size_t i = 0; i < body.size(); ++i)
            body[i] = static_cast<char>(i * 7 + i / 251);
        server.Set("/raw", {Answer::Body, body});
        HttpClient client(server.Url("/raw"));
        ASSERT_TRUE(client.SendHttpRequest(false, L"GET", true)) << c.size;
        EXPECT_EQ(client.m_rawCapacity, c.capacity) << c.size;
        ASSERT_EQ(client.m_rawContentLength, static_cast<std::int32_t>(c.size));
        if (c.size > 0) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(client.m_rawContent.get()), c.size),
                      body);
        }
        EXPECT_TRUE(client.GetResponseContent().empty());
    }
}

TEST(HttpClient, FailedTransfersAreTriedThreeTimesAtMost)
{
    const struct
    {
        const char* what;
        Reply reply;
        bool result;
        int requests;
    } cases[] = {
        {"whole at once", {Answer::Body, "0123456789"}, true, 1},
        {"cut once", {Answer::FailFirst, "0123456789", 200, "text/plain", 1}, true, 2},
        {"cut twice", {Answer::FailFirst, "0123456789", 200, "text/plain", 2}, true, 3},
        {"always cut", {Answer::Short, "0123456789"}, false, 3},
        {"stalled", {Answer::Stall, "0123456789"}, false, 3},
        // Under 1 KiB/s on average over the stall time: abandoned like a stall.
        {"dripping", {Answer::Drip, std::string(4096, 'd')}, false, 3},
        // Faults that another attempt cannot mend end at once.
        {"endless body over its cap", {Answer::Endless, ""}, false, 1},
        {"redirect loop", {Answer::RedirectLoop, ""}, false, 6},
    };
    for (const auto& c : cases) {
        LoopbackServer server;
        server.Set("/f", c.reply);
        HttpClient client(server.Url("/f"));
        client.SetLimits(QuickLimits());
        EXPECT_EQ(client.SendHttpRequest(false, L"GET", true), c.result) << c.what;
        EXPECT_EQ(server.RequestsFor("/f"), c.requests) << c.what;
        if (c.result) {
            EXPECT_EQ(client.m_rawContentLength, 10) << c.what;
        }
    }
}

// Keeps what a sink is given, as the staging file would.
class RecordingSink : public HttpBodySink
{
public:
    void Restart() override
    {
        body.clear();
        ++restarts;
    }
    bool Write(const char* data, std::size_t size) override
    {
        body.append(data, size);
        return true;
    }
    std::string body;
    int restarts = 0;
};

TEST(HttpClient, ASinkGetsTheBodyAsItArrivesAndNothingPastTheCap)
{
    const std::string ten = "0123456789";
    const Reply cutOnce = {Answer::FailFirst, ten, 200, "text/plain", 1};
    const struct
    {
        const char* what;
        Reply reply;
        std::size_t cap;
        bool result;
        bool overCap;
        std::string body; // what the sink holds at the end
        int requests;
    } cases[] = {
        {"a body within its cap", {Answer::Body, ten}, 10, true, false, ten, 1},
        {"a retried body starts over", cutOnce, 10, true, false, ten, 2},
        {"a body over its cap stops before the excess", {Answer::Body, ten}, 4, false, true, "", 1},
        {"an endless body", {Answer::Endless, ""}, 100000, false, true, "", 1},
        {"an error page is not the file", {Answer::Body, ten, 404}, 100, false, false, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackServer server;
        server.Set("/f", c.reply);
        RecordingSink sink;
        HttpClient client(server.Url("/f"));
        HttpLimits limits = QuickLimits();
        limits.maxBodyBytes = c.cap;
        client.SetLimits(limits);
        client.SetBodySink(&sink);
        EXPECT_EQ(client.SendHttpRequest(false, L"GET", true), c.result);
        EXPECT_EQ(client.BodyOverCap(), c.overCap);
        EXPECT_LE(sink.body.size(), c.cap);
        if (!c.overCap) {
            EXPECT_EQ(sink.body, c.body);
        }
        EXPECT_EQ(sink.restarts, c.requests);
        // Kept for a request that completed or an error page; a cut transfer has none.
        if (c.result || c.reply.status != 200) {
            EXPECT_EQ(client.GetStatusCode(), c.reply.status);
        }
        EXPECT_EQ(server.RequestsFor("/f"), c.requests);
        // Nothing is held in the client's own buffer.
        EXPECT_EQ(client.m_rawCapacity, 0);
    }
}

TEST(HttpClient, ACancelledTransferStopsAtOnce)
{
    LoopbackServer server;
    server.Set("/slow", {Answer::Stall, "abc"});
    std::atomic<bool> cancel{false};
    HttpLimits limits;
    limits.stallSeconds = 30;
    HttpClient client(server.Url("/slow"));
    client.SetLimits(limits);
    client.SetCancelFlag(&cancel);
    std::thread quit([&] {
        // Cancel once the request is on its way, as a quitting program would.
        while (server.Requests().empty())
            std::this_thread::yield();
        cancel = true;
    });
    EXPECT_FALSE(client.SendHttpRequest(false, L"GET", true));
    quit.join();
    EXPECT_EQ(server.RequestsFor("/slow"), 1);
}

TEST(HttpClient, ClientsOfOneSessionShareItsConnection)
{
    LoopbackServer server;
    server.Set("/a", {Answer::Body, std::string(300000, 'a')});
    server.Set("/t", {Answer::Body, "caf\xc3\xa9", 200, "text/plain; charset=utf-8"});
    server.Set("/short", {Answer::Short, "0123456789"});
    server.Set("/b", {Answer::Body, "bee"});
    const struct
    {
        const char* path;
        const wchar_t* verb;
        bool raw;
        bool result;
        long status;
        std::string body;
    } cases[] = {
        {"/a", L"GET", true, true, 200, std::string(300000, 'a')},
        // A POST and then a GET on the same handle: nothing of one request leaks into the next.
        {"/t", L"POST", false, true, 200, "caf\xc3\xa9"},
        {"/t", L"get", false, true, 200, "caf\xc3\xa9"},
        {"/missing", L"GET", true, true, 404, "<html>not here</html>"},
        // A connection cut mid-body is not used again; the next request still succeeds.
        {"/short", L"GET", true, false, 0, ""},
        {"/b", L"GET", true, true, 200, "bee"},
    };
    HttpSession session;
    std::vector<std::string> sent;
    for (const auto& c : cases) {
        HttpClient client(server.Url(c.path));
        client.SetLimits(QuickLimits());
        client.SetSession(&session);
        EXPECT_EQ(client.SendHttpRequest(false, c.verb, c.raw), c.result) << c.path;
        sent.push_back(WideToUtf8(NormaliseVerb(c.verb)) + " " + c.path);
        if (!c.result)
            continue;
        EXPECT_EQ(client.GetStatusCode(), c.status) << c.path;
        const std::string body =
            c.raw ? std::string(reinterpret_cast<const char*>(client.m_rawContent.get()),
                                static_cast<std::size_t>(client.m_rawContentLength))
                  : WideToUtf8(client.GetResponseContent());
        EXPECT_EQ(body, c.body) << c.path;
        if (std::string(c.path) == "/missing") {
            // Four requests so far, all on the first connection.
            EXPECT_EQ(server.Connections(), 1u);
        }
    }
    std::vector<std::string> received = server.Requests();
    // The cut request was tried three times.
    sent.insert(sent.end() - 1, {"GET /short", "GET /short"});
    EXPECT_EQ(received, sent);
}

} // namespace
