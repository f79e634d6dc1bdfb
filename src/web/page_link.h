#pragma once

// One end of the channel between the program and its page process: a connected local
// socket, read and written without blocking from the event loop.

#include "web/page_channel.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

class PageLink
{
public:
    // Takes `fd`, one end of a connected stream socket, and closes it when done.
    explicit PageLink(int fd);
    ~PageLink();
    PageLink(const PageLink&) = delete;
    PageLink& operator=(const PageLink&) = delete;

    // Called for every message as it arrives. The callback may run an event loop of its own
    // (a box) and may delete this link.
    void SetOnMessage(std::function<void(const PageMessage&)> callback);
    // Called once when the other end has gone or sent what is not a message.
    void SetOnClosed(std::function<void()> callback);

    // Queues `message`; false once the channel is closed.
    bool Send(const PageMessage& message);
    // Sends what is queued and waits up to `timeout` for a message of `kind`, outside the
    // event loop; messages of other kinds arriving meanwhile are delivered afterwards.
    std::optional<PageMessage> WaitFor(PageMessageKind kind, std::chrono::milliseconds timeout);
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

private:
    void OnReadable();
    void OnWritable();
    // Reads what is there; false when the channel ended.
    bool ReadAvailable();
    void Flush();
    void DeliverQueued();
    void Fail();

    int m_fd = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    std::string m_out;
    PageMessageReader m_reader;
    std::function<void(const PageMessage&)> m_onMessage;
    std::function<void()> m_onClosed;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_delivering = false;
};
