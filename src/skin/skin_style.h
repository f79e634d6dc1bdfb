#pragma once

// The skin file is a Qt style sheet. Its url(...) images are written relative to the
// skin folder, while Qt resolves them against the current folder, so they are made
// absolute when the sheet is loaded.

#include <QString>
#include <QStringList>

// Rewrites every relative url(...) in `sheet` to an absolute path below `baseDir`.
// Absolute paths, Qt resources (":/..." or "qrc:") and urls with a scheme stay as they are.
QString ResolveStyleUrls(const QString& sheet, const QString& baseDir);

// An image path from the layout file, resolved the same way against the layout's folder.
QString ResolveSkinPath(const QString& path, const QString& baseDir);

// Whether `path` names a regular file. Art and style images are opened only then: a FIFO
// or device in their place would block the program while it opens it.
bool IsRegularSkinFile(const QString& path);

// The named families of the sheet's first font-family declaration (the one every control
// starts from), in order, without quotes and without the generic names ("sans-serif").
QStringList StyleFontFamilies(const QString& sheet);

// Text outside the skin's forms (menus, message boxes) keeps the desktop's font, with the
// skin's families after it. Chinese text there is then drawn with the forms' face, in any
// locale: the desktop's fallback for it may otherwise be another face of the same font
// collection, which costs a second copy of the font's tables (megabytes) and draws some
// characters in their Japanese forms.
void FollowSkinFontFamilies(const QStringList& families);
