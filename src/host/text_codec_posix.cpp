#include "host/text_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iconv.h>

namespace {

std::string g_encoding;

// wchar_t on this system holds one code point in the machine's byte order.
constexpr const char* kWideEncoding = "WCHAR_T";

class Iconv
{
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (Valid())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Converts `input` unit by unit into text of `Char` units; a unit that cannot be converted
// (or is not valid in the source) is replaced by `replacement` and skipped. `unit` is the
// size of one source unit. iconv writes straight into the result, which starts with room
// for 4 bytes per source unit (enough for UTF-8 to wchar_t and for wchar_t to any common
// encoding): one call converts a whole text, and no second copy is made of it.
template <typename Char>
std::basic_string<Char> Convert(const Iconv& cd, const char* input, std::size_t size,
                                std::size_t unit, Char replacement)
{
    std::basic_string<Char> out((size / unit * 4 + 16) / sizeof(Char), Char());
    std::size_t used = 0; // bytes written
    const auto bytes = [&out] { return out.size() * sizeof(Char); };
    // Room for at least `more` bytes after what is written.
    const auto reserve = [&](std::size_t more) {
        if (bytes() - used < more)
            out.resize(std::max(out.size() * 2, (used + more) / sizeof(Char) + 1));
    };
    // Runs iconv with the input left (none: the closing shift sequence) and what room there is.
    const auto step = [&](char** in, std::size_t* left) {
        char* begin = reinterpret_cast<char*>(out.data());
        char* dst = begin + used;
        std::size_t room = bytes() - used;
        const std::size_t rc = iconv(cd.Get(), in, left, &dst, &room);
        used = static_cast<std::size_t>(dst - begin);
        return rc != static_cast<std::size_t>(-1);
    };
    char* in = const_cast<char*>(input);
    std::size_t left = size;
    while (left > 0) {
        if (step(&in, &left))
            continue;
        if (errno == E2BIG) {
            reserve(bytes());
            continue;
        }
        // EILSEQ: a character without a form here or a bad sequence; EINVAL: a sequence cut
        // off at the end. Either way one source unit is given up.
        reserve(sizeof(Char));
        out[used / sizeof(Char)] = replacement;
        used += sizeof(Char);
        const std::size_t skip = std::min(unit, left);
        in += skip;
        left -= skip;
    }
    // Close any shift state the encoding keeps.
    reserve(16);
    while (!step(nullptr, nullptr) && errno == E2BIG)
        reserve(bytes());
    out.resize(used / sizeof(Char));
    return out;
}

} // namespace

std::string LegacyEncoding()
{
    if (!g_encoding.empty())
        return g_encoding;
    if (const char* env = std::getenv("TAVRO_LEGACY_ENCODING"); env && *env)
        return env;
    return "UTF-8";
}

void SetLegacyEncoding(const std::string& encoding) { g_encoding = encoding; }

std::string WideToEncoding(std::wstring_view text, const std::string& encoding)
{
    if (text.empty())
        return {};
    const Iconv cd(encoding.c_str(), kWideEncoding);
    if (!cd.Valid())
        return {};
    return Convert(cd, reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t),
                   sizeof(wchar_t), '?');
}

std::wstring EncodingToWide(std::string_view text, const std::string& encoding)
{
    if (text.empty())
        return {};
    const Iconv cd(kWideEncoding, encoding.c_str());
    if (!cd.Valid())
        return {};
    return Convert(cd, text.data(), text.size(), 1, L'?');
}

std::string WideToAnsi(std::wstring_view text) { return WideToEncoding(text, LegacyEncoding()); }

std::wstring AnsiToWide(std::string_view text) { return EncodingToWide(text, LegacyEncoding()); }

std::string WideToUtf8(std::wstring_view text) { return WideToEncoding(text, "UTF-8"); }

std::wstring Utf8ToWide(std::string_view text) { return EncodingToWide(text, "UTF-8"); }
