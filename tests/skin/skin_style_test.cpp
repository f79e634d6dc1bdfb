#include "skin/skin_style.h"

#include "temp_program_dir.h"

#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

TEST(SkinStyle, MakesRelativeImageUrlsAbsoluteAndKeepsTheRest)
{
    const QString base = QStringLiteral("/opt/Tavro (test)/Skin");
    const QString sheet = QStringLiteral("#a { image: url(close.svg); }\n"
                                         "#b { image: url( 'icons/min.svg' ); }\n"
                                         "#c { background: url(\"../shared/bg.png\") }\n"
                                         "#d { image: url(/usr/share/x.svg); }\n"
                                         "#e { image: url(:/res/y.svg); }\n"
                                         "#f { image: url(qrc:/z.svg); }\n"
                                         "#g { image: URL(h.svg); color: red; }\n"
                                         "#h { image: url('i.svg\"); }\n"
                                         "#j { image: url(qrc:/k.svg); x: url(9p:l.svg) }\n"
                                         "#i { image: url(j.svg }\n");
    const QString out = ResolveStyleUrls(sheet, base);
    EXPECT_TRUE(out.contains(QStringLiteral("url(\"/opt/Tavro (test)/Skin/close.svg\")")));
    EXPECT_TRUE(out.contains(QStringLiteral("url(\"/opt/Tavro (test)/Skin/icons/min.svg\")")));
    EXPECT_TRUE(out.contains(QStringLiteral("url(\"/opt/Tavro (test)/shared/bg.png\")")));
    EXPECT_TRUE(out.contains(QStringLiteral("url(/usr/share/x.svg)")));
    EXPECT_TRUE(out.contains(QStringLiteral("url(:/res/y.svg)")));
    EXPECT_TRUE(out.contains(QStringLiteral("url(qrc:/z.svg)")));
    EXPECT_TRUE(out.contains(QStringLiteral("url(\"/opt/Tavro (test)/Skin/h.svg\"); color: red;")));
    // Mismatched quotes and a missing ")" are not addresses; a scheme starts with a letter.
    EXPECT_TRUE(out.contains(QStringLiteral("#h { image: url('i.svg\"); }")));
    EXPECT_TRUE(out.contains(QStringLiteral("#i { image: url(j.svg }")));
    EXPECT_TRUE(out.contains(QStringLiteral("url(\"/opt/Tavro (test)/Skin/9p:l.svg\")")));
    // Nothing else of the sheet changes.
    EXPECT_TRUE(out.startsWith(QStringLiteral("#a { image: ")));
    EXPECT_EQ(out.count(QLatin1Char('\n')), sheet.count(QLatin1Char('\n')));
    EXPECT_EQ(ResolveStyleUrls(QStringLiteral("#x { color: #fff; }"), base),
              QStringLiteral("#x { color: #fff; }"));
}

TEST(SkinStyle, ResolvesLayoutImagePaths)
{
    EXPECT_EQ(ResolveSkinPath(QStringLiteral("badge.svg"), QStringLiteral("/a/Skin")),
              QStringLiteral("/a/Skin/badge.svg"));
    EXPECT_EQ(ResolveSkinPath(QStringLiteral(" ./art/../badge.svg "), QStringLiteral("/a/Skin")),
              QStringLiteral("/a/Skin/badge.svg"));
    EXPECT_EQ(ResolveSkinPath(QStringLiteral("/b/c.png"), QStringLiteral("/a/Skin")),
              QStringLiteral("/b/c.png"));
    EXPECT_EQ(ResolveSkinPath(QString(), QStringLiteral("/a/Skin")), QString());
}

TEST(SkinStyle, AnImageThatIsNoRegularFileIsLeftOutOfTheSheet)
{
    // The style engine would block opening a FIFO; a missing file it simply skips.
    TempProgramDir dir;
    dir.Write("a.png", "x");
    ASSERT_EQ(mkfifo(dir.Sub("fifo.png").c_str(), 0600), 0);
    std::filesystem::create_directories(dir.Sub("folder.png"));
    const QString base = QString::fromStdString(dir.Path().string());
    const QString sheet = QStringLiteral("A{image:url(a.png)} B{image:url(fifo.png)} "
                                         "C{image:url('folder.png')} D{image:url(missing.png)}");
    EXPECT_EQ(ResolveStyleUrls(sheet, base),
              QStringLiteral("A{image:url(\"%1/a.png\")} B{image:none} C{image:none} "
                             "D{image:url(\"%1/missing.png\")}")
                  .arg(base));
    EXPECT_TRUE(IsRegularSkinFile(base + "/a.png"));
    EXPECT_FALSE(IsRegularSkinFile(base + "/fifo.png"));
    EXPECT_FALSE(IsRegularSkinFile(QString()));
}

TEST(SkinStyle, FontFamiliesOfTheFirstDeclaration)
{
    struct Case
    {
        const char* sheet;
        QStringList families;
    };
    const Case cases[] = {
        {R"(*[a] { font-family: "Noto Sans CJK SC", 'Source Han Sans SC', Microsoft YaHei, )"
         R"(sans-serif; font-size: 13px; } #b { font-family: Other; })",
         {"Noto Sans CJK SC", "Source Han Sans SC", "Microsoft YaHei"}},
        {"#a{FONT-FAMILY :Serif Face}", {"Serif Face"}},
        {"#a { font-family: monospace,  }", {}},
        {"#a { font-family-x; color: red }", {}},
        {"#a { color: red; }", {}},
        {R"(#a { font-family: "Unclosed, B })", {R"("Unclosed)", "B"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StyleFontFamilies(QString::fromUtf8(c.sheet)), c.families) << c.sheet;
}

TEST(SkinStyle, TextOutsideTheFormsKeepsTheDesktopFontThenTheSkinsFamilies)
{
    const QFont desktop = QApplication::font();
    const QString first = desktop.families().value(0, desktop.family());
    FollowSkinFontFamilies({QStringLiteral("Skin Face"), first, QStringLiteral("Second Face")});
    EXPECT_EQ(QApplication::font().families(),
              QStringList({first, QStringLiteral("Skin Face"), QStringLiteral("Second Face")}));
    EXPECT_EQ(QApplication::font().pointSizeF(), desktop.pointSizeF());
    // A skin without a font leaves the font as it is.
    FollowSkinFontFamilies({});
    EXPECT_EQ(QApplication::font().families().size(), 3);
    QApplication::setFont(desktop);
}
