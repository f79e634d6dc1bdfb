#pragma once

// A cpp-httplib server on 127.0.0.1 with a port the system picks, serving a table of
// answers, some of them faulty on purpose. Every handler it runs has ended when the object
// is gone, also the ones that stall.

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

enum class Answer
{
    Body,         // 200 (or `status`) with the body
    Short,        // announces the body's length, sends half of it and hangs up
    FailFirst,    // hangs up mid-body `failures` times, then answers whole
    Stall,        // sends the headers and a few bytes, then nothing until shut down
    Endless,      // a chunked body that never ends
    RedirectLoop, // redirects to itself
    Chunks,       // the body in two chunked pieces cut at `splitAt`
    Drip,         // announces the body's length and sends 2 bytes every 200 ms
};

struct Reply
{
    Answer answer = Answer::Body;
    std::string body = {};
    int status = 200;
    std::string contentType = "application/octet-stream";
    int failures = 0;
    std::size_t splitAt = 0;
};

class LoopbackServer
{
public:
    LoopbackServer()
    {
        m_server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            Handle(req, res);
        });
        m_server.Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
            Handle(req, res);
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // A stop before the accept loop runs would be lost and the loop would never end.
        while (!m_server.is_running())
            std::this_thread::yield();
    }

    ~LoopbackServer()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_server.stop();
        m_thread.join();
    }

    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::wstring Url(const std::string& path) const
    {
        const std::string url = Origin() + path;
        return std::wstring(url.begin(), url.end());
    }

    void Set(const std::string& path, Reply reply)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_replies[path] = std::move(reply);
    }

    // "METHOD path" of every request, in order of arrival.
    std::vector<std::string> Requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    // How many connections the requests came on (told apart by the client's port).
    std::size_t Connections() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_clientPorts.size();
    }
    int RequestsFor(const std::string& path) const
    {
        int count = 0;
        for (const std::string& line : Requests())
            count += line.substr(line.find(' ') + 1) == path;
        return count;
    }

private:
    void Handle(const httplib::Request& req, httplib::Response& res)
    {
        Reply reply;
        int seen = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(req.method + " " + req.path);
            m_clientPorts.insert(req.remote_port);
            const auto found = m_replies.find(req.path);
            if (found == m_replies.end()) {
                res.status = 404;
                res.set_content("<html>not here</html>", "text/html");
                return;
            }
            reply = found->second;
            seen = ++m_seen[req.path];
        }
        res.status = reply.status;
        const std::string body = reply.body;
        switch (reply.answer) {
        case Answer::Body:
            res.set_content(body, reply.contentType);
            return;
        case Answer::FailFirst:
            if (seen > reply.failures) {
                res.set_content(body, reply.contentType);
                return;
            }
            [[fallthrough]];
        case Answer::Short:
            res.set_content_provider(body.size(), reply.contentType,
                                     [body](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset == 0)
                                             sink.write(body.data(), body.size() / 2);
                                         return false;
                                     });
            return;
        case Answer::Stall:
            res.set_content_provider(body.size() + 1, reply.contentType,
                                     [this](size_t, size_t, httplib::DataSink& sink) {
                                         sink.write("x", 1);
                                         WaitForShutdown();
                                         return false;
                                     });
            return;
        case Answer::Drip:
            res.set_content_provider(body.size(), reply.contentType,
                                     [this, body](size_t offset, size_t, httplib::DataSink& sink) {
                                         std::unique_lock<std::mutex> lock(m_mutex);
                                         if (m_wake.wait_for(lock, std::chrono::milliseconds(200),
                                                             [this] { return m_stopping; }))
                                             return false;
                                         lock.unlock();
                                         return sink.write(
                                             body.data() + offset,
                                             std::min<size_t>(2, body.size() - offset));
                                     });
            return;
        case Answer::Endless:
            res.set_chunked_content_provider(
                reply.contentType, [this](size_t, httplib::DataSink& sink) {
                    static const std::string block(64 * 1024, 'z');
                    return !Stopping() && sink.write(block.data(), block.size());
                });
            return;
        case Answer::RedirectLoop:
            res.set_redirect(req.path);
            return;
        case Answer::Chunks:
            res.set_chunked_content_provider(
                reply.contentType,
                [body, split = reply.splitAt](size_t offset, httplib::DataSink& sink) {
                    if (offset == 0)
                        sink.write(body.data(), split);
                    else if (offset < body.size())
                        sink.write(body.data() + split, body.size() - split);
                    else
                        sink.done();
                    return true;
                });
            return;
        }
    }

    bool Stopping()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stopping;
    }

    void WaitForShutdown()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::seconds(30), [this] { return m_stopping; });
    }

    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::map<std::string, Reply> m_replies;
    std::map<std::string, int> m_seen;
    std::vector<std::string> m_requests;
    std::set<int> m_clientPorts;
};
