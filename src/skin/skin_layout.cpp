#include "skin/skin_layout.h"

#include "host/xml_text.h"

#include <tinyxml.h>

#include <QSet>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace {

struct TypeName
{
    SkinControlType type;
    const char* name;
};

constexpr TypeName kTypeNames[] = {
    {SkinControlType::Panel, "panel"},         {SkinControlType::Label, "label"},
    {SkinControlType::Button, "button"},       {SkinControlType::Picture, "picture"},
    {SkinControlType::Edit, "edit"},           {SkinControlType::ScrollBar, "scrollbar"},
    {SkinControlType::Combo, "combo"},         {SkinControlType::Holder, "holder"},
    {SkinControlType::Animation, "animation"},
};

// Thrown inside the parser only; the public entry turns it into SkinLayout::error.
struct LayoutError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

std::optional<SkinControlType> TypeFromName(const QString& name)
{
    for (const auto& entry : kTypeNames) {
        if (name == QLatin1String(entry.name))
            return entry.type;
    }
    return std::nullopt;
}

QString Where(const TiXmlElement& element)
{
    const char* name = element.Attribute("name");
    return QStringLiteral("<%1%2> at line %3")
        .arg(QString::fromUtf8(element.Value()),
             name ? QStringLiteral(" name=\"%1\"").arg(QString::fromUtf8(name)) : QString())
        .arg(element.Row());
}

[[noreturn]] void Fail(const TiXmlElement& element, const QString& what)
{
    throw LayoutError((Where(element) + QStringLiteral(": ") + what).toStdString());
}

// An integer attribute: absent gives the fallback; present must be a whole decimal number.
int IntAttribute(const TiXmlElement& element, const char* key, int fallback)
{
    const char* text = element.Attribute(key);
    if (!text)
        return fallback;
    bool ok = false;
    const int value = QString::fromUtf8(text).trimmed().toInt(&ok);
    if (!ok)
        Fail(element, QStringLiteral("%1 is not a number").arg(QLatin1String(key)));
    return value;
}

int Extent(const TiXmlElement& element, const char* key, bool required)
{
    if (required && !element.Attribute(key))
        Fail(element, QStringLiteral("%1 is missing").arg(QLatin1String(key)));
    const int value = IntAttribute(element, key, 0);
    if (value < 0 || value > kMaxFormExtent)
        Fail(element, QStringLiteral("%1 is out of range").arg(QLatin1String(key)));
    return value;
}

int Offset(const TiXmlElement& element, const char* key)
{
    const int value = IntAttribute(element, key, 0);
    if (value < -kMaxFormExtent || value > kMaxFormExtent)
        Fail(element, QStringLiteral("%1 is out of range").arg(QLatin1String(key)));
    return value;
}

QString RequiredName(const TiXmlElement& element)
{
    const char* name = element.Attribute("name");
    const QString text = name ? QString::fromUtf8(name).trimmed() : QString();
    if (text.isEmpty())
        Fail(element, QStringLiteral("name is missing"));
    return text;
}

QHash<QString, QString> ExtraAttributes(const TiXmlElement& element)
{
    static const QSet<QString> kKnown = {"name", "type", "x", "y", "width", "height"};
    QHash<QString, QString> extra;
    for (const TiXmlAttribute* a = element.FirstAttribute(); a; a = a->Next()) {
        const QString key = QString::fromUtf8(a->Name());
        if (!kKnown.contains(key))
            extra.insert(key, QString::fromUtf8(a->Value()));
    }
    return extra;
}

SkinControlDef ParseControl(const TiXmlElement& element, int depth, QSet<QString>& names)
{
    if (depth > kMaxNesting)
        Fail(element, QStringLiteral("controls are nested too deeply"));
    if (QLatin1String(element.Value()) != QLatin1String("control"))
        Fail(element, QStringLiteral("only <control> elements may stand here"));

    SkinControlDef def;
    def.name = RequiredName(element);
    if (names.contains(def.name))
        Fail(element, QStringLiteral("the name is used twice in this form"));
    names.insert(def.name);

    const char* type = element.Attribute("type");
    const auto parsed = TypeFromName(type ? QString::fromUtf8(type).trimmed() : QString());
    if (!parsed)
        Fail(element,
             QStringLiteral("unknown type \"%1\"").arg(QString::fromUtf8(type ? type : "")));
    def.type = *parsed;
    def.geometry = QRect(Offset(element, "x"), Offset(element, "y"), Extent(element, "width", true),
                         Extent(element, "height", true));
    def.attributes = ExtraAttributes(element);

    for (const TiXmlElement* child = element.FirstChildElement(); child;
         child = child->NextSiblingElement())
        def.children.push_back(ParseControl(*child, depth + 1, names));
    return def;
}

SkinFormDef ParseForm(const TiXmlElement& element)
{
    if (QLatin1String(element.Value()) != QLatin1String("form"))
        Fail(element, QStringLiteral("only <form> elements may stand in <skin>"));
    SkinFormDef form;
    form.name = RequiredName(element);
    form.size = QSize(Extent(element, "width", true), Extent(element, "height", true));
    if (form.size.isEmpty())
        Fail(element, QStringLiteral("a form needs a width and a height above zero"));
    form.attributes = ExtraAttributes(element);

    QSet<QString> names{form.name};
    for (const TiXmlElement* child = element.FirstChildElement(); child;
         child = child->NextSiblingElement())
        form.controls.push_back(ParseControl(*child, 1, names));
    return form;
}

// The deepest element nesting in `text`, counted without parsing. TinyXML parses nested
// elements recursively, so a hostile file must be turned away before it reaches it.
int ElementDepth(const std::string& text)
{
    int depth = 0;
    int deepest = 0;
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        if (text.compare(at, 4, "<!--") == 0) {
            const auto end = text.find("-->", at + 4);
            at = end == std::string::npos ? text.size() : end + 3;
            continue;
        }
        if (text.compare(at, 2, "</") == 0) {
            --depth;
            ++at;
            continue;
        }
        const bool element = at + 1 < text.size() && text[at + 1] != '?' && text[at + 1] != '!';
        // The end of the tag, skipping quoted attribute values.
        char quote = 0;
        std::size_t end = at + 1;
        for (; end < text.size(); ++end) {
            const char c = text[end];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (element && !(end < text.size() && text[end - 1] == '/'))
            deepest = std::max(deepest, ++depth);
        at = end;
    }
    return deepest;
}

} // namespace

const char* SkinControlTypeName(SkinControlType type)
{
    for (const auto& entry : kTypeNames) {
        if (entry.type == type)
            return entry.name;
    }
    return "panel";
}

bool SkinControlDef::Flag(const QString& key) const
{
    const QString value = attributes.value(key).trimmed().toLower();
    return value == QLatin1String("1") || value == QLatin1String("true") ||
           value == QLatin1String("yes");
}

const SkinFormDef* SkinLayout::FindForm(const QString& name) const
{
    for (const auto& form : forms) {
        if (form.name == name)
            return &form;
    }
    return nullptr;
}

SkinLayout ParseSkinLayout(const std::string& text)
{
    SkinLayout layout;
    if (text.size() > kMaxLayoutBytes) {
        layout.error = QStringLiteral("the file is larger than a layout can be");
        return layout;
    }
    // The root, the form, then the controls.
    if (ElementDepth(text) > kMaxNesting + 2) {
        layout.error = QStringLiteral("elements are nested too deeply");
        return layout;
    }
    TiXmlDocument document;
    if (!ParseXmlText(document, text, TIXML_ENCODING_UTF8)) {
        layout.error = QStringLiteral("not readable as XML (%1, line %2)")
                           .arg(QString::fromUtf8(document.ErrorDesc()))
                           .arg(document.ErrorRow());
        return layout;
    }
    const TiXmlElement* root = document.RootElement();
    if (!root || QLatin1String(root->Value()) != QLatin1String("skin")) {
        layout.error = QStringLiteral("the root element must be <skin>");
        return layout;
    }
    try {
        QSet<QString> formNames;
        for (const TiXmlElement* element = root->FirstChildElement(); element;
             element = element->NextSiblingElement()) {
            SkinFormDef form = ParseForm(*element);
            if (formNames.contains(form.name))
                Fail(*element, QStringLiteral("a form of this name already exists"));
            formNames.insert(form.name);
            layout.forms.push_back(std::move(form));
        }
    } catch (const LayoutError& error) {
        layout.forms.clear();
        layout.error = QString::fromStdString(error.what());
    }
    return layout;
}
