#pragma once

// The messages between the program and its page process, the separate process that runs
// the browser engine while a page is shown (see remote_web_module.h). A message is a frame:
// its length (4 bytes, little-endian, not counting itself), its kind (1 byte), then its
// fields, each a length (4 bytes) and that many bytes. Either side treats the other as
// untrusted: a frame that does not parse ends the channel.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class PageMessageKind : std::uint8_t
{
    // The program to the page process.
    Attach = 1,   // window id of the page area, width, height (logical pixels)
    Resize = 2,   // width, height
    Navigate = 3, // address
    SetSilent = 4,
    Detach = 5, // take the page out of the program's window; it is about to go
    AlertDone = 6,
    ErrorPageAnswer = 7, // the page to show for the last ErrorPageAsk, empty for the engine's
    Ping = 8,
    Focus = 9,
    Quit = 10,
    Configure = 11,    // script injected into every page, "1" when the program has an error page
                       // The page process to the program.
    Ready = 64,        // the engine has started and the view exists
    Attached = 65,     // the page is inside the program's window
    LoadFinished = 66, // "1" loaded, "0" failed
    Alert = 67,        // text of a script's alert, answered by AlertDone once closed
    ErrorPageAsk = 68, // failed address, HTTP status ("0": none)
    Detached = 69,
    Pong = 70,
};

struct PageMessage
{
    PageMessageKind kind{};
    std::vector<std::string> fields;

    // Field `i`, or empty when the message has fewer.
    const std::string& Field(std::size_t i) const;
    // Field `i` as a whole decimal number in [min, max], or nothing.
    std::optional<long long> Number(std::size_t i, long long min, long long max) const;
};

// Frames larger than this are refused: the biggest message is the script injected into
// pages or an error page, a few kilobytes.
constexpr std::size_t kMaxPageFrame = 1u << 20;

std::string EncodePageMessage(const PageMessage& message);

// Collects bytes as they arrive and hands out whole messages.
class PageMessageReader
{
public:
    void Feed(const char* data, std::size_t size);
    // The next whole message, if one has arrived.
    std::optional<PageMessage> Next();
    // Puts a message taken earlier back in front of the rest.
    void PushFront(PageMessage message) { m_ready.push_front(std::move(message)); }
    // A frame was malformed or too large; nothing more is handed out.
    bool Broken() const { return m_broken; }

private:
    void Parse();

    std::string m_buffer;
    std::deque<PageMessage> m_ready;
    bool m_broken = false;
};
