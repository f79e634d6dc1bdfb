#include "web/external_script.h"

#include <cstdio>

namespace {

// JSON string literal (also a JavaScript one) from wide text; characters outside the
// basic plane are written as surrogate pairs.
std::string QuoteForScript(const std::wstring& text)
{
    std::string out = "\"";
    auto escape = [&out](unsigned unit) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04x", unit);
        out += buffer;
    };
    for (wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c >= 0x10000 && c <= 0x10FFFF) {
            escape(0xD800 + ((c - 0x10000) >> 10));
            escape(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else if (c < 0x10000) {
            // Control characters, and line separators that older engines reject in literals.
            escape(c);
        }
    }
    out += '"';
    return out;
}

} // namespace

std::string VariantToScript(const VARIANT& value)
{
    switch (value.vt) {
    case VT_BOOL:
        return value.boolVal ? "true" : "false";
    case VT_I4:
        return std::to_string(value.lVal);
    default:
        return {};
    }
}

std::string BuildExternalScript(IDispatch& object, const std::vector<std::wstring>& candidateNames)
{
    std::string members;
    for (const std::wstring& name : candidateNames) {
        const wchar_t* names[] = {name.c_str()};
        DISPID id = DISPID_UNKNOWN;
        if (object.GetIDsOfNames(IID_NULL, names, 1, 0, &id) != S_OK || id == DISPID_UNKNOWN)
            continue;

        DISPPARAMS none{nullptr, nullptr, 0, 0};
        VARIANT value;
        VariantInit(&value);
        std::string member;
        if (SUCCEEDED(object.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                    nullptr))) {
            member = VariantToScript(value);
        }
        if (member.empty()) {
            VARIANT ignored;
            VariantInit(&ignored);
            if (!SUCCEEDED(object.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &ignored, nullptr,
                                         nullptr)))
                continue;
            member = "function () {}";
        }
        members += "  Object.defineProperty(external, " + QuoteForScript(name) +
                   ", {value: " + member + ", enumerable: true});\n";
    }

    // The platform's own window.external has members of its own; pages must see ours only.
    return "(function () {\n"
           "  'use strict';\n"
           "  var external = {};\n" +
           members +
           "  Object.freeze(external);\n"
           "  Object.defineProperty(window, 'external', {value: external, writable: false,\n"
           "                                             enumerable: true, configurable: false});\n"
           "})();\n";
}
