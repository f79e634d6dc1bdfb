#include "web/page_link.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

PageLink::PageLink(int fd) : m_fd(fd)
{
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
    QObject::connect(m_readNotifier, &QSocketNotifier::activated, [this] { OnReadable(); });
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    QObject::connect(m_writeNotifier, &QSocketNotifier::activated, [this] { OnWritable(); });
}

PageLink::~PageLink()
{
    *m_alive = false;
    Close();
    delete m_readNotifier;
    delete m_writeNotifier;
}

void PageLink::SetOnMessage(std::function<void(const PageMessage&)> callback)
{
    m_onMessage = std::move(callback);
}

void PageLink::SetOnClosed(std::function<void()> callback) { m_onClosed = std::move(callback); }

void PageLink::Close()
{
    // The notifiers stay until the link goes: this may run inside one's own signal.
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_out.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool PageLink::Send(const PageMessage& message)
{
    if (m_fd < 0)
        return false;
    m_out += EncodePageMessage(message);
    Flush();
    return m_fd >= 0;
}

void PageLink::Flush()
{
    while (m_fd >= 0 && !m_out.empty()) {
        const ssize_t written = ::send(m_fd, m_out.data(), m_out.size(), MSG_NOSIGNAL);
        if (written > 0) {
            m_out.erase(0, static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // The other end is gone; the reader reports it.
        m_out.clear();
        break;
    }
    m_writeNotifier->setEnabled(m_fd >= 0 && !m_out.empty());
}

void PageLink::OnWritable() { Flush(); }

bool PageLink::ReadAvailable()
{
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got > 0) {
            m_reader.Feed(buffer, static_cast<std::size_t>(got));
            if (m_reader.Broken())
                return false;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

void PageLink::OnReadable()
{
    if (m_fd < 0)
        return;
    const bool open = ReadAvailable();
    const std::shared_ptr<bool> alive = m_alive;
    DeliverQueued();
    if (!*alive || open)
        return;
    Fail();
}

void PageLink::DeliverQueued()
{
    // A callback that runs a box lets the event loop read again; the inner call delivers
    // what arrives then, in order, and this one stops.
    if (m_delivering)
        return;
    const std::shared_ptr<bool> alive = m_alive;
    m_delivering = true;
    while (auto message = m_reader.Next()) {
        if (m_onMessage) {
            auto callback = m_onMessage;
            m_delivering = false;
            callback(*message);
            if (!*alive)
                return;
            m_delivering = true;
        }
    }
    m_delivering = false;
}

void PageLink::Fail()
{
    if (m_fd < 0)
        return;
    Close();
    if (auto callback = m_onClosed)
        callback();
}

std::optional<PageMessage> PageLink::WaitFor(PageMessageKind kind,
                                             std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    const std::shared_ptr<bool> alive = m_alive;
    std::optional<PageMessage> found;
    std::deque<PageMessage> others;
    while (m_fd >= 0 && !found) {
        while (auto message = m_reader.Next()) {
            if (!found && message->kind == kind)
                found = std::move(message);
            else
                others.push_back(std::move(*message));
        }
        if (found)
            break;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd watch{m_fd, static_cast<short>(POLLIN | (m_out.empty() ? 0 : POLLOUT)), 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (watch.revents & POLLOUT)
            Flush();
        if ((watch.revents & (POLLIN | POLLHUP | POLLERR)) && !ReadAvailable()) {
            Fail();
            if (!*alive)
                return found;
            break;
        }
    }
    // What arrived meanwhile goes out in its order, from the event loop.
    for (auto it = others.rbegin(); it != others.rend(); ++it)
        m_reader.PushFront(std::move(*it));
    if (!others.empty()) {
        QMetaObject::invokeMethod(
            m_readNotifier,
            [this, alive] {
                if (*alive)
                    DeliverQueued();
            },
            Qt::QueuedConnection);
    }
    return found;
}
