#include "layout_size.h"

#include "host/file_io.h"
#include "host/xml_text.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>

namespace {

const TiXmlElement* FindByName(const TiXmlElement* element, const char* name)
{
    for (; element; element = element->NextSiblingElement()) {
        const char* attribute = element->Attribute("name");
        if (attribute && std::strcmp(attribute, name) == 0)
            return element;
        if (const TiXmlElement* found = FindByName(element->FirstChildElement(), name))
            return found;
    }
    return nullptr;
}

// A positive whole number, nothing else (not "280px", not "-1", not "1e3").
bool ReadDimension(const TiXmlElement& element, const char* attribute, int& value)
{
    const char* text = element.Attribute(attribute);
    if (!text || !*text)
        return false;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != '\0' || parsed <= 0 || parsed > 10000)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// Far above any real layout.
constexpr std::size_t kMaxLayoutFileBytes = 16 << 20;

} // namespace

bool ReadControlSize(const std::string& layoutPath, const std::string& controlName,
                     ControlSize& size, std::string& error)
{
    // Read whole, then parsed through the one safe parser (LoadFile can read past the end).
    const auto text = ReadWholeFile(layoutPath, kMaxLayoutFileBytes);
    if (!text) {
        error = layoutPath + ": cannot read the layout (missing, not a regular file, or too large)";
        return false;
    }
    TiXmlDocument document;
    if (!ParseXmlText(document, *text, TIXML_ENCODING_UTF8)) {
        error = layoutPath + ": cannot read the layout (" + document.ErrorDesc() + ")";
        return false;
    }
    const TiXmlElement* control = FindByName(document.RootElement(), controlName.c_str());
    if (!control) {
        error = layoutPath + ": no control named \"" + controlName + "\"";
        return false;
    }
    ControlSize read;
    if (!ReadDimension(*control, "width", read.width) ||
        !ReadDimension(*control, "height", read.height)) {
        error = layoutPath + ": control \"" + controlName +
                "\" has no usable width and height (positive whole numbers)";
        return false;
    }
    size = read;
    return true;
}
