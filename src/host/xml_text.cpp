#include "host/xml_text.h"

#include <string>

bool ParseXmlText(TiXmlDocument& doc, std::string_view text, TiXmlEncoding encoding)
{
    // A UTF-8 sequence is at most 4 bytes, so a step over the end lands at most 3 bytes
    // past it; the padding keeps that inside the buffer, on a NUL that ends the parse.
    constexpr std::size_t kPadding = 8;
    std::string padded;
    padded.reserve(text.size() + kPadding);
    padded.append(text);
    padded.append(kPadding, '\0');
    doc.Clear();
    doc.ClearError();
    doc.Parse(padded.c_str(), nullptr, encoding);
    return !doc.Error();
}
