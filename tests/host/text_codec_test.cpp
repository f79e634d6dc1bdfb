#include "host/text_codec.h"

#include <gtest/gtest.h>

namespace {

class LegacyEncodingGuard
{
public:
    explicit LegacyEncodingGuard(const std::string& encoding) { SetLegacyEncoding(encoding); }
    ~LegacyEncodingGuard() { SetLegacyEncoding({}); }
};

} // namespace

TEST(TextCodec, Utf8RoundTripsEveryPlane)
{
    const std::wstring text = L"Tavro 孕期 ✓ \U0001F476 /tmp/é";
    const std::string narrow = WideToAnsi(text);
    EXPECT_EQ(narrow, "Tavro 孕期 ✓ \xF0\x9F\x91\xB6 /tmp/\xC3\xA9");
    EXPECT_EQ(AnsiToWide(narrow), text);
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(AnsiToWide(""), L"");
}

TEST(TextCodec, LegacyEncodingRoundTripsWhatItHolds)
{
    LegacyEncodingGuard gbk("GBK");
    EXPECT_EQ(LegacyEncoding(), "GBK");
    const std::wstring text = L"打开失败 abc";
    const std::string narrow = WideToAnsi(text);
    EXPECT_EQ(narrow, "\xB4\xF2\xBF\xAA\xCA\xA7\xB0\xDC abc");
    EXPECT_EQ(AnsiToWide(narrow), text);
}

TEST(TextCodec, UnconvertibleCharactersBecomeQuestionMarks)
{
    // Neither the emoji nor the Hangul syllable exists in GBK; the text around them survives.
    EXPECT_EQ(WideToEncoding(L"a\U0001F476b한c", "GBK"), "a?b?c");
    // Bytes that are not GBK, and a sequence cut off at the end.
    EXPECT_EQ(EncodingToWide("x\xFFy\xB4", "GBK"), L"x?y?");
    // Not UTF-8: a stray continuation byte, an overlong form.
    EXPECT_EQ(Utf8ToWide("a\x80z\xC0\xAF!"), L"a?z?"
                                             L"?!");
    // A lone surrogate is not a character in any encoding.
    std::wstring lone = L"ab";
    lone.insert(1, 1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(WideToUtf8(lone), "a?b");
}

TEST(TextCodec, LongTextsRoundTripWhateverTheirConvertedSize)
{
    std::wstring text;
    for (int i = 0; i < 3000; ++i)
        text += (i % 7 == 0) ? L'\u4E2D' : L'x';
    for (const char* encoding : {"UTF-8", "GB18030", "UTF-16LE"})
        EXPECT_EQ(EncodingToWide(WideToEncoding(text, encoding), encoding), text) << encoding;
    // In ISO-2022-JP "\u4E2Dx" is 9 bytes (a shift into the kanji set and back around the
    // two bytes of the character): more than the room first given, and the text ends in the
    // kanji set, which the end of the conversion must shift back out of.
    std::wstring spaced;
    for (int i = 0; i < 3000; ++i)
        spaced += L"\u4E2Dx";
    spaced += L'\u4E2D';
    const std::string shifted = WideToEncoding(spaced, "ISO-2022-JP");
    EXPECT_GT(shifted.size(), spaced.size() * 4);
    EXPECT_EQ(shifted.substr(shifted.size() - 3), "\x1B(B");
    EXPECT_EQ(EncodingToWide(shifted, "ISO-2022-JP"), spaced);
}

TEST(TextCodec, UnknownEncodingGivesNoText)
{
    EXPECT_EQ(WideToEncoding(L"abc", "NO-SUCH-ENCODING"), "");
    EXPECT_EQ(EncodingToWide("abc", "NO-SUCH-ENCODING"), L"");
}

TEST(TextCodec, DefaultIsUtf8AndTheEnvironmentCanChooseAnother)
{
    SetLegacyEncoding({});
    unsetenv("TAVRO_LEGACY_ENCODING");
    EXPECT_EQ(LegacyEncoding(), "UTF-8");
    setenv("TAVRO_LEGACY_ENCODING", "GBK", 1);
    EXPECT_EQ(LegacyEncoding(), "GBK");
    {
        LegacyEncodingGuard set("UTF-8");
        EXPECT_EQ(LegacyEncoding(), "UTF-8");
    }
    unsetenv("TAVRO_LEGACY_ENCODING");
    EXPECT_EQ(LegacyEncoding(), "UTF-8");
}
