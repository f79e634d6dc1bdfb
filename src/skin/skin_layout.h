#pragma once

// The layout file's model: forms with a name and a size, each holding a tree of named
// controls with a type, a geometry and optional attributes. Parsing is kept apart from the
// widgets so that tests can feed it text directly.

#include <QHash>
#include <QRect>
#include <QSize>
#include <QString>

#include <string>
#include <vector>

enum class SkinControlType
{
    Panel,
    Label,
    Button,
    Picture,
    Edit,
    ScrollBar,
    Combo,
    Holder,
    Animation
};

// The type's name as written in the layout file and exposed to the style sheet.
const char* SkinControlTypeName(SkinControlType type);

struct SkinControlDef
{
    QString name;
    SkinControlType type = SkinControlType::Panel;
    QRect geometry;                     // relative to the parent control (or the form)
    QHash<QString, QString> attributes; // every attribute besides name, type and geometry
    std::vector<SkinControlDef> children;

    QString Attribute(const QString& key, const QString& fallback = {}) const
    {
        return attributes.value(key, fallback);
    }
    bool Flag(const QString& key) const;
};

struct SkinFormDef
{
    QString name;
    QSize size;
    QHash<QString, QString> attributes;
    std::vector<SkinControlDef> controls;
};

struct SkinLayout
{
    std::vector<SkinFormDef> forms;
    QString error; // empty when the file was accepted

    const SkinFormDef* FindForm(const QString& name) const;
};

// Largest accepted layout file and the limits on its content; anything beyond them is a
// damaged or hostile file rather than a skin.
constexpr std::size_t kMaxLayoutBytes = 4 * 1024 * 1024;
constexpr int kMaxFormExtent = 8192;
constexpr int kMaxNesting = 32;

// Parses layout text. A file that is not XML, has the wrong root, or holds an invalid form
// or control is rejected as a whole: the result has no forms and says why.
SkinLayout ParseSkinLayout(const std::string& text);
