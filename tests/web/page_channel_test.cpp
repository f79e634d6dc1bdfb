// The channel to the page process: whole messages come out however the bytes are cut, and a
// peer that sends what is not a message is cut off rather than believed.

#include "web/page_channel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<PageMessage> ReadAll(PageMessageReader& reader)
{
    std::vector<PageMessage> out;
    while (auto message = reader.Next())
        out.push_back(*message);
    return out;
}

TEST(PageChannel, MessagesSurviveAnyCutOfTheBytes)
{
    const std::vector<PageMessage> sent = {
        {PageMessageKind::Ready, {}},
        {PageMessageKind::Attach, {"4194323", "599", "583"}},
        {PageMessageKind::Alert, {std::string("a\0b", 3) + "提醒"}},
        {PageMessageKind::ErrorPageAnswer, {""}},
        {PageMessageKind::Configure, {std::string(70000, 'x'), "1"}},
    };
    std::string stream;
    for (const PageMessage& message : sent)
        stream += EncodePageMessage(message);

    for (const std::size_t piece :
         {stream.size(), std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
        PageMessageReader reader;
        std::vector<PageMessage> got;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            for (PageMessage& message : ReadAll(reader))
                got.push_back(std::move(message));
        }
        ASSERT_FALSE(reader.Broken()) << piece;
        ASSERT_EQ(got.size(), sent.size()) << piece;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(got[i].kind, sent[i].kind) << piece << " " << i;
            EXPECT_EQ(got[i].fields, sent[i].fields) << piece << " " << i;
        }
    }
}

TEST(PageChannel, MalformedFramesEndTheChannel)
{
    const std::string good = EncodePageMessage({PageMessageKind::Pong, {}});
    const struct
    {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty frame", std::string("\0\0\0\0", 4)},
        {"frame over the limit", std::string("\x01\x00\x10\x00", 4)},
        {"unknown kind", std::string("\x01\0\0\0\x2A", 5)},
        {"field longer than its frame", std::string("\x06\0\0\0\x03\x09\0\0\0x", 10)},
        {"field length cut short", std::string("\x03\0\0\0\x03\x01\0", 7)},
    };
    for (const auto& c : cases) {
        PageMessageReader reader;
        reader.Feed(good.data(), good.size());
        reader.Feed(c.bytes.data(), c.bytes.size());
        reader.Feed(good.data(), good.size());
        EXPECT_TRUE(reader.Broken()) << c.what;
        // What came whole before the fault is still handed out; nothing after it.
        EXPECT_EQ(ReadAll(reader).size(), 1u) << c.what;
    }
}

TEST(PageChannel, NumbersAreWholeAndInRange)
{
    const PageMessage message{PageMessageKind::Resize,
                              {"599", "0", "-4", "12px", "", "99999999999999999999"}};
    EXPECT_EQ(message.Number(0, 1, 16384), 599);
    // Below the range, negative, trailing letters, empty, too long, and a field not sent.
    for (std::size_t field = 1; field <= 6; ++field)
        EXPECT_EQ(message.Number(field, 1, 16384), std::nullopt) << field;
}

} // namespace
