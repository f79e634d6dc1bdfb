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

// Converts `input` unit by unit; a unit that cannot be converted (or is not valid in the
// source) is replaced by `replacement` and skipped. `unit` is the size of one source unit.
std::string Convert(const Iconv& cd, const char* input, std::size_t size, std::size_t unit,
                    std::string_view replacement)
{
    std::string out;
    char buffer[1024];
    char* in = const_cast<char*>(input);
    std::size_t left = size;
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t rc = iconv(cd.Get(), &in, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ: a character without a form here or a bad sequence; EINVAL: a sequence cut
        // off at the end. Either way one source unit is given up.
        out.append(replacement);
        const std::size_t skip = std::min(unit, left);
        in += skip;
        left -= skip;
    }
    // Flush any shift state the encoding keeps.
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    iconv(cd.Get(), nullptr, nullptr, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
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
                   sizeof(wchar_t), "?");
}

std::wstring EncodingToWide(std::string_view text, const std::string& encoding)
{
    if (text.empty())
        return {};
    const Iconv cd(kWideEncoding, encoding.c_str());
    if (!cd.Valid())
        return {};
    const wchar_t question = L'?';
    const std::string bytes =
        Convert(cd, text.data(), text.size(), 1,
                std::string_view(reinterpret_cast<const char*>(&question), sizeof question));
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    bytes.copy(reinterpret_cast<char*>(wide.data()), wide.size() * sizeof(wchar_t));
    return wide;
}

std::string WideToAnsi(std::wstring_view text) { return WideToEncoding(text, LegacyEncoding()); }

std::wstring AnsiToWide(std::string_view text) { return EncodingToWide(text, LegacyEncoding()); }

std::string WideToUtf8(std::wstring_view text) { return WideToEncoding(text, "UTF-8"); }

std::wstring Utf8ToWide(std::string_view text) { return EncodingToWide(text, "UTF-8"); }
