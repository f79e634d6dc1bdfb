#include "skin/skin_style.h"

#include "host/file_io.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>

namespace {

// Hand-written rather than regular expressions: compiling those took about a millisecond
// of every start, before the widget could show.
bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsAsciiBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

bool IsSchemeCharacter(QChar c)
{
    return IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'.' || c == u'-';
}

// A scheme as in "qrc:" or "file:": a letter, one or more letters, digits, "+", "." or
// "-", then a colon.
bool StartsWithScheme(QStringView path)
{
    if (path.isEmpty() || !IsAsciiLetter(path[0]))
        return false;
    qsizetype i = 1;
    while (i < path.size() && IsSchemeCharacter(path[i]))
        ++i;
    return i > 1 && i < path.size() && path[i] == u':';
}

bool IsKeptAsIs(const QString& path)
{
    return path.startsWith(QLatin1Char(':')) || QDir::isAbsolutePath(path) ||
           StartsWithScheme(path);
}

// "url( [quote] path [same quote] )" at `at`, with optional blanks inside the parentheses
// and the path holding no quote or ")": the index just past it, or -1 when there is none.
qsizetype MatchUrl(QStringView sheet, qsizetype at, QStringView* path)
{
    if (sheet.size() - at < 4 || sheet.mid(at, 4).compare(u"url(", Qt::CaseInsensitive) != 0)
        return -1;
    qsizetype i = at + 4;
    const auto skipBlanks = [&] {
        while (i < sheet.size() && IsAsciiBlank(sheet[i]))
            ++i;
    };
    skipBlanks();
    QChar quote;
    if (i < sheet.size() && (sheet[i] == u'"' || sheet[i] == u'\''))
        quote = sheet[i++];
    const qsizetype start = i;
    while (i < sheet.size() && sheet[i] != u'"' && sheet[i] != u'\'' && sheet[i] != u')')
        ++i;
    *path = sheet.mid(start, i - start);
    if (!quote.isNull()) {
        if (i >= sheet.size() || sheet[i] != quote)
            return -1;
        ++i;
    }
    skipBlanks();
    return i < sheet.size() && sheet[i] == u')' ? i + 1 : -1;
}

} // namespace

QString ResolveSkinPath(const QString& path, const QString& baseDir)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty() || IsKeptAsIs(trimmed))
        return trimmed;
    return QDir::cleanPath(QDir(baseDir).absoluteFilePath(trimmed));
}

QString ResolveStyleUrls(const QString& sheet, const QString& baseDir)
{
    QString result;
    result.reserve(sheet.size());
    qsizetype last = 0;
    for (qsizetype at = 0;
         (at = sheet.indexOf(QLatin1String("url("), at, Qt::CaseInsensitive)) >= 0;) {
        QStringView found;
        const qsizetype end = MatchUrl(sheet, at, &found);
        if (end < 0) {
            ++at;
            continue;
        }
        result += QStringView(sheet).mid(last, at - last);
        const QString path = found.toString().trimmed();
        if (path.isEmpty() || IsKeptAsIs(path)) {
            result += QStringView(sheet).mid(at, end - at);
        } else if (const QString resolved = ResolveSkinPath(path, baseDir);
                   QFileInfo::exists(resolved) && !IsRegularSkinFile(resolved)) {
            // Left out rather than handed to the style engine, which would block on it.
            result += QStringLiteral("none");
        } else {
            // Quoted, so folders with blanks or parentheses still work.
            QString absolute = resolved;
            absolute.replace(QLatin1Char('"'), QStringLiteral("\\\""));
            result += QStringLiteral("url(\"%1\")").arg(absolute);
        }
        last = at = end;
    }
    result += QStringView(sheet).mid(last);
    return result;
}

QStringList StyleFontFamilies(const QString& sheet)
{
    static const QStringList kGeneric = {QStringLiteral("serif"),     QStringLiteral("sans-serif"),
                                         QStringLiteral("monospace"), QStringLiteral("cursive"),
                                         QStringLiteral("fantasy"),   QStringLiteral("system-ui"),
                                         QStringLiteral("sans serif")};
    QStringList families;
    const qsizetype at = sheet.indexOf(QLatin1String("font-family"), 0, Qt::CaseInsensitive);
    if (at < 0)
        return families;
    qsizetype i = at + 11;
    while (i < sheet.size() && IsAsciiBlank(sheet[i]))
        ++i;
    if (i >= sheet.size() || sheet[i] != u':')
        return families;
    qsizetype end = i + 1;
    while (end < sheet.size() && sheet[end] != u';' && sheet[end] != u'}')
        ++end;
    for (QStringView part : QStringView(sheet).mid(i + 1, end - i - 1).split(u',')) {
        part = part.trimmed();
        if (part.size() >= 2 && (part.front() == u'"' || part.front() == u'\'') &&
            part.back() == part.front())
            part = part.mid(1, part.size() - 2).trimmed();
        const QString family = part.toString();
        if (!family.isEmpty() && !kGeneric.contains(family, Qt::CaseInsensitive))
            families.append(family);
    }
    return families;
}

void FollowSkinFontFamilies(const QStringList& families)
{
    if (families.isEmpty() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    QFont font = QApplication::font();
    // The desktop's own family first: its Latin text looks as before.
    QStringList wanted = {font.families().value(0, font.family())};
    for (const QString& family : families) {
        if (!wanted.contains(family, Qt::CaseInsensitive))
            wanted.append(family);
    }
    if (font.families() == wanted)
        return;
    font.setFamilies(wanted);
    QApplication::setFont(font);
}

bool IsRegularSkinFile(const QString& path)
{
    return !path.isEmpty() && IsRegularFile(QFile::encodeName(path).toStdString());
}
