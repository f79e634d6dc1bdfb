#include "skin/skin_style.h"

#include "host/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

bool IsKeptAsIs(const QString& path)
{
    static const QRegularExpression kScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return path.startsWith(QLatin1Char(':')) || QDir::isAbsolutePath(path) ||
           kScheme.match(path).hasMatch();
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
    // url( [quote] path [same quote] ) with optional blanks; the path holds no quote or ')'.
    static const QRegularExpression kUrl(QStringLiteral(R"(url\(\s*(["']?)([^"')]*)\1\s*\))"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString result;
    result.reserve(sheet.size());
    qsizetype last = 0;
    auto it = kUrl.globalMatch(sheet);
    while (it.hasNext()) {
        const auto match = it.next();
        result += QStringView(sheet).mid(last, match.capturedStart() - last);
        const QString path = match.captured(2).trimmed();
        if (path.isEmpty() || IsKeptAsIs(path)) {
            result += match.captured(0);
        } else if (const QString resolved = ResolveSkinPath(path, baseDir);
                   QFileInfo::exists(resolved) && !IsRegularSkinFile(resolved)) {
            // Left out rather than handed to the style engine, which would block on it.
            result += QStringLiteral("none");
        } else {
            // Quoted, so folders with blanks or parentheses still work.
            QString absolute = ResolveSkinPath(path, baseDir);
            absolute.replace(QLatin1Char('"'), QStringLiteral("\\\""));
            result += QStringLiteral("url(\"%1\")").arg(absolute);
        }
        last = match.capturedEnd();
    }
    result += QStringView(sheet).mid(last);
    return result;
}

bool IsRegularSkinFile(const QString& path)
{
    return !path.isEmpty() && IsRegularFile(QFile::encodeName(path).toStdString());
}
