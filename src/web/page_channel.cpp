#include "web/page_channel.h"

#include <charconv>

namespace {

void PutLength(std::string& out, std::size_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t GetLength(const std::string& in, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return value;
}

bool IsKnownKind(std::uint8_t kind)
{
    return (kind >= 1 && kind <= 11) || (kind >= 64 && kind <= 70);
}

} // namespace

const std::string& PageMessage::Field(std::size_t i) const
{
    static const std::string empty;
    return i < fields.size() ? fields[i] : empty;
}

std::optional<long long> PageMessage::Number(std::size_t i, long long min, long long max) const
{
    const std::string& text = Field(i);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min ||
        value > max)
        return std::nullopt;
    return value;
}

std::string EncodePageMessage(const PageMessage& message)
{
    std::string body(1, static_cast<char>(message.kind));
    for (const std::string& field : message.fields) {
        PutLength(body, field.size());
        body += field;
    }
    std::string frame;
    PutLength(frame, body.size());
    return frame + body;
}

void PageMessageReader::Feed(const char* data, std::size_t size)
{
    if (m_broken)
        return;
    m_buffer.append(data, size);
    Parse();
}

std::optional<PageMessage> PageMessageReader::Next()
{
    if (m_ready.empty())
        return std::nullopt;
    PageMessage message = std::move(m_ready.front());
    m_ready.pop_front();
    return message;
}

void PageMessageReader::Parse()
{
    std::size_t at = 0;
    while (m_buffer.size() - at >= 4) {
        const std::size_t length = GetLength(m_buffer, at);
        if (length == 0 || length > kMaxPageFrame) {
            m_broken = true;
            break;
        }
        if (m_buffer.size() - at - 4 < length)
            break;
        const std::size_t end = at + 4 + length;
        std::size_t p = at + 4;
        PageMessage message;
        const auto kind = static_cast<std::uint8_t>(m_buffer[p++]);
        if (!IsKnownKind(kind)) {
            m_broken = true;
            break;
        }
        message.kind = static_cast<PageMessageKind>(kind);
        while (p < end) {
            if (end - p < 4) {
                m_broken = true;
                break;
            }
            const std::size_t fieldLength = GetLength(m_buffer, p);
            p += 4;
            if (fieldLength > end - p) {
                m_broken = true;
                break;
            }
            message.fields.emplace_back(m_buffer, p, fieldLength);
            p += fieldLength;
        }
        if (m_broken)
            break;
        m_ready.push_back(std::move(message));
        at = end;
    }
    if (m_broken) {
        m_buffer.clear();
        return;
    }
    m_buffer.erase(0, at);
}
