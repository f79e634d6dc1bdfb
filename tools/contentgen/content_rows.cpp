#include "content_rows.h"

namespace {

// Length of the UTF-8 sequence starting at text[at], or 0 when it is not valid UTF-8
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    if (overlong || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return 0;
    return length;
}

std::string Where(std::string_view source, std::size_t line)
{
    return std::string(source) + ":" + std::to_string(line) + ": ";
}

void CheckRow(std::string_view row, std::size_t line, std::string_view source,
              std::vector<std::string>& errors)
{
    if (row.find_first_not_of(' ') == std::string_view::npos) {
        errors.push_back(Where(source, line) + "empty row");
        return;
    }
    for (std::size_t at = 0; at < row.size();) {
        const auto c = static_cast<unsigned char>(row[at]);
        if (c == '\r') {
            errors.push_back(Where(source, line) +
                             "carriage return (save the file with plain line feeds)");
            return;
        }
        if (c < 0x20 || c == 0x7F) {
            errors.push_back(Where(source, line) + "control character " + std::to_string(c));
            return;
        }
        const std::size_t length = Utf8SequenceLength(row, at);
        if (length == 0) {
            errors.push_back(Where(source, line) + "not valid UTF-8");
            return;
        }
        at += length;
    }
}

} // namespace

ContentRows CheckContentRows(std::string_view text, std::size_t expectedRows,
                             std::string_view sourceName)
{
    ContentRows result;
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (text.substr(0, bom.size()) == bom)
        text.remove_prefix(bom.size());
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);

    if (!text.empty()) {
        std::size_t start = 0;
        while (true) {
            const std::size_t end = text.find('\n', start);
            const std::string_view row =
                text.substr(start, end == std::string_view::npos ? text.npos : end - start);
            CheckRow(row, result.rows.size() + 1, sourceName, result.errors);
            result.rows.emplace_back(row);
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
    }
    if (result.rows.size() != expectedRows) {
        result.errors.push_back(std::string(sourceName) + ": " +
                                std::to_string(result.rows.size()) + " rows, expected " +
                                std::to_string(expectedRows));
    }
    return result;
}
