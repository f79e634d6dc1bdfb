#include "content_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Lines(int count, const std::string& prefix = "row ")
{
    std::string text;
    for (int n = 1; n <= count; ++n)
        text += prefix + std::to_string(n) + "\n";
    return text;
}

// True when some message names the line and contains the words.
bool Reports(const ContentRows& rows, const std::string& where, const std::string& words)
{
    for (const std::string& error : rows.errors)
        if (error.find(where) != std::string::npos && error.find(words) != std::string::npos)
            return true;
    return false;
}

TEST(ContentRows, GoodSourcesGiveTheirRowsInOrder)
{
    const ContentRows withFinalLineFeed = CheckContentRows(Lines(280), 280, "tips.txt");
    ASSERT_TRUE(withFinalLineFeed.Ok());
    ASSERT_EQ(withFinalLineFeed.rows.size(), 280u);
    EXPECT_EQ(withFinalLineFeed.rows.front(), "row 1");
    EXPECT_EQ(withFinalLineFeed.rows.back(), "row 280");

    // No final line feed, a byte-order mark, Chinese text, the escape and inner spaces.
    const ContentRows other =
        CheckContentRows("\xEF\xBB\xBF第一周，身长约0.1厘米\nA\\r\\nB\n  spaced  ", 3, "baby.txt");
    ASSERT_TRUE(other.Ok());
    EXPECT_EQ(other.rows,
              (std::vector<std::string>{"第一周，身长约0.1厘米", "A\\r\\nB", "  spaced  "}));
}

TEST(ContentRows, WrongRowCountsAreRefused)
{
    EXPECT_TRUE(Reports(CheckContentRows(Lines(279), 280, "tips.txt"), "tips.txt",
                        "279 rows, expected 280"));
    EXPECT_TRUE(
        Reports(CheckContentRows(Lines(41), 40, "baby.txt"), "baby.txt", "41 rows, expected 40"));
    EXPECT_TRUE(Reports(CheckContentRows("", 40, "baby.txt"), "baby.txt", "0 rows, expected 40"));
}

TEST(ContentRows, EmptyAndBlankRowsAreRefused)
{
    const ContentRows middle = CheckContentRows("one\n\nthree\n", 3, "t");
    EXPECT_FALSE(middle.Ok());
    EXPECT_TRUE(Reports(middle, "t:2:", "empty row"));

    EXPECT_TRUE(Reports(CheckContentRows("one\n   \nthree", 3, "t"), "t:2:", "empty row"));
    // A blank line at the end is one row too many, not a harmless extra line feed.
    const ContentRows trailing = CheckContentRows("one\ntwo\n\n", 2, "t");
    EXPECT_TRUE(Reports(trailing, "t:3:", "empty row"));
    EXPECT_TRUE(Reports(trailing, "t", "3 rows, expected 2"));
}

TEST(ContentRows, LineBreaksAndControlCharactersInsideRowsAreRefused)
{
    // Windows line ends: every row carries a carriage return.
    const ContentRows crlf = CheckContentRows("one\r\ntwo\r\n", 2, "t");
    EXPECT_TRUE(Reports(crlf, "t:1:", "carriage return"));
    EXPECT_TRUE(Reports(crlf, "t:2:", "carriage return"));
    EXPECT_TRUE(
        Reports(CheckContentRows("one\rstill one\ntwo", 2, "t"), "t:1:", "carriage return"));
    EXPECT_TRUE(Reports(CheckContentRows("one\ttab\ntwo", 2, "t"), "t:1:", "control"));
    EXPECT_TRUE(
        Reports(CheckContentRows(std::string("one\0two\nthree", 13), 2, "t"), "t:1:", "control"));
    EXPECT_TRUE(Reports(CheckContentRows("ok\ntail\x7F", 2, "t"), "t:2:", "control"));
}

TEST(ContentRows, TextThatIsNotUtf8IsRefused)
{
    const std::vector<std::string> broken = {
        "\xC4\xD0",         // GBK, as a legacy editor would save it
        "abc\xE5\xAD",      // cut short at the end of the row
        "\xC0\xAF",         // overlong
        "\xED\xA0\x80",     // a surrogate
        "\xF4\x90\x80\x80", // beyond U+10FFFF
    };
    for (const std::string& row : broken)
        EXPECT_TRUE(Reports(CheckContentRows("fine\n" + row, 2, "t"), "t:2:", "UTF-8")) << row;
    EXPECT_TRUE(CheckContentRows("𝄞 four bytes\n孕", 2, "t").Ok());
}

} // namespace
