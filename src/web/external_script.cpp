#include "web/external_script.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <utility>

namespace {

// A JavaScript string literal from wide text, as Qt's JSON writer quotes it (JSON strings
// are script literals).
std::string QuoteForScript(const std::wstring& text)
{
    // The writer takes whole documents: "[...]" around the one string, stripped again.
    const QByteArray array =
        QJsonDocument(QJsonArray{QString::fromStdWString(text)}).toJson(QJsonDocument::Compact);
    std::string literal = array.sliced(1, array.size() - 2).toStdString();
    // Line and paragraph separators end a line inside a literal in older script engines.
    for (const auto& [raw, escaped] :
         {std::pair{"\xE2\x80\xA8", "\\u2028"}, std::pair{"\xE2\x80\xA9", "\\u2029"}}) {
        for (auto at = literal.find(raw); at != std::string::npos; at = literal.find(raw, at + 6))
            literal.replace(at, 3, escaped);
    }
    return literal;
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

    // The engine's own window.external has members of its own; pages must see ours only.
    return "(function () {\n"
           "  'use strict';\n"
           "  var external = {};\n" +
           members +
           "  Object.freeze(external);\n"
           "  Object.defineProperty(window, 'external', {value: external, writable: false,\n"
           "                                             enumerable: true, configurable: false});\n"
           "})();\n";
}
