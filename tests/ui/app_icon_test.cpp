#include "ui/app_icon.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <filesystem>

namespace {

const QString kShippedArt = QStringLiteral(TAVRO_SOURCE_DIR "/package/Skin/tavro_icon.svg");

QImage Render(const QIcon& icon, int size)
{
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

// The mean difference of two pictures of the same size, per channel on the 0-255 scale.
double MeanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                   std::abs(p.blue() - q.blue()) + std::abs(p.alpha() - q.alpha());
        }
    return sum / (4.0 * a.width() * a.height());
}

TEST(AppIcon, UsesTheSkinArtThatLoadsOtherwiseTheDrawnIcon)
{
    QFile shipped(kShippedArt);
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const std::string svg = shipped.readAll().toStdString();
    QImage green(32, 32, QImage::Format_ARGB32);
    green.fill(QColor(10, 200, 30));

    enum class Expect
    {
        Drawn,
        Svg,
        Png
    };
    const struct
    {
        const char* what;
        bool brokenSvg, goodSvg, png, svgIsFolder;
        Expect expect;
    } cases[] = {
        {"no art", false, false, false, false, Expect::Drawn},
        {"an SVG that is not a picture", true, false, false, false, Expect::Drawn},
        {"a broken SVG beside a PNG", true, false, true, false, Expect::Png},
        {"the shipped SVG beside a PNG", false, true, true, false, Expect::Svg},
        {"a folder in the SVG's place", false, false, false, true, Expect::Drawn},
    };
    const QImage drawn = Render(DrawnAppIcon(), 32);
    const QImage art = Render(QIcon(kShippedArt), 32);
    ASSERT_NE(drawn.pixelColor(16, 16), drawn.pixelColor(0, 0)) << "something is drawn";
    ASSERT_NE(art, drawn);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        const QString skin = QString::fromStdString(dir.Sub("Skin").string());
        std::filesystem::create_directories(dir.Sub("Skin"));
        if (c.brokenSvg)
            dir.Write("Skin/tavro_icon.svg", "not a picture");
        if (c.goodSvg)
            dir.Write("Skin/tavro_icon.svg", svg);
        if (c.svgIsFolder)
            std::filesystem::create_directories(dir.Sub("Skin/tavro_icon.svg"));
        if (c.png) {
            ASSERT_TRUE(
                green.save(QString::fromStdString(dir.Sub("Skin/tavro_icon.png").string())));
        }

        const QImage got = Render(AppIcon(skin), 32);
        switch (c.expect) {
        case Expect::Drawn:
            EXPECT_EQ(got, drawn);
            break;
        case Expect::Svg:
            EXPECT_EQ(got, art);
            break;
        case Expect::Png:
            EXPECT_EQ(got.pixelColor(5, 5), QColor(10, 200, 30));
            break;
        }
    }
}

// The skin folder is looked at when the icon is first drawn, not when it is made.
TEST(AppIcon, ReadsTheArtWhenFirstDrawn)
{
    QFile shipped(kShippedArt);
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    TempProgramDir dir;
    std::filesystem::create_directories(dir.Sub("Skin"));
    const QIcon icon = AppIcon(QString::fromStdString(dir.Sub("Skin").string()));
    dir.Write("Skin/tavro_icon.svg", shipped.readAll().toStdString());
    EXPECT_EQ(Render(icon, 32), Render(QIcon(kShippedArt), 32));
    EXPECT_NE(Render(icon, 32), Render(DrawnAppIcon(), 32));
}

// On a scaled screen the icon is painted from its vector art at the device's pixels, not
// enlarged from a smaller picture.
TEST(AppIcon, SharpAtEveryScaleFactor)
{
    const struct
    {
        const char* what;
        QIcon icon;
    } icons[] = {{"skin art", QIcon(kShippedArt)},
                 {"skin art as loaded", AppIcon(QStringLiteral(TAVRO_SOURCE_DIR "/package/Skin"))},
                 {"drawn", DrawnAppIcon()}};
    for (const auto& i : icons) {
        for (const double ratio : {1.5, 2.0, 3.0}) {
            SCOPED_TRACE(std::string(i.what) + " at " + std::to_string(ratio));
            const int device = static_cast<int>(32 * ratio);
            const QImage direct = Render(i.icon, device);

            // The way a window's or the tray's painter asks for it.
            QImage canvas(device, device, QImage::Format_ARGB32_Premultiplied);
            canvas.setDevicePixelRatio(ratio);
            canvas.fill(Qt::transparent);
            {
                QPainter painter(&canvas);
                i.icon.paint(&painter, QRect(0, 0, 32, 32));
            }
            const QImage painted = canvas.convertToFormat(QImage::Format_ARGB32);
            const QImage enlarged =
                Render(i.icon, 32)
                    .scaled(device, device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            EXPECT_LT(MeanDifference(painted, direct), 1.0);
            // The check can tell: an enlarged small picture is measurably different.
            EXPECT_GT(MeanDifference(enlarged, direct), 2.0 * MeanDifference(painted, direct));

            const QPixmap asked = i.icon.pixmap(QSize(32, 32), ratio);
            EXPECT_EQ(asked.size(), QSize(device, device));
            EXPECT_LT(
                MeanDifference(asked.toImage().convertToFormat(QImage::Format_ARGB32), direct),
                1.0);
        }
    }
}

// The loaded art gives the pixels Qt's own SVG icon engine gives, at the sizes a window's
// icon is made at and again when a size is asked for a second time.
TEST(AppIcon, LoadedArtRendersAsQtsSvgEngine)
{
    const QIcon loaded = AppIcon(QStringLiteral(TAVRO_SOURCE_DIR "/package/Skin"));
    const QIcon reference(kShippedArt);
    for (const int size : {16, 32, 64, 128, 32}) {
        SCOPED_TRACE(size);
        const QImage got = Render(loaded, size);
        EXPECT_EQ(got.size(), QSize(size, size));
        EXPECT_EQ(got, Render(reference, size));
    }

    // Painted into a wider or taller box, as a notification area's slot may be, the picture
    // keeps its shape and stands in the middle.
    for (const QSize box : {QSize(40, 24), QSize(24, 40)}) {
        SCOPED_TRACE(box.width());
        EXPECT_EQ(loaded.actualSize(box), QSize(24, 24));
        QImage canvas[2];
        for (int i = 0; i < 2; ++i) {
            canvas[i] = QImage(box, QImage::Format_ARGB32);
            canvas[i].fill(Qt::transparent);
            QPainter painter(&canvas[i]);
            (i ? reference : loaded).paint(&painter, QRect(QPoint(0, 0), box));
        }
        EXPECT_EQ(canvas[0], canvas[1]);
        EXPECT_EQ(canvas[0].pixelColor(0, 0).alpha(), 0);
        EXPECT_EQ(canvas[0].pixelColor(box.width() - 1, box.height() - 1).alpha(), 0);
    }
}

// The shipped art and the stand-in drawn when it is missing are the same picture.
TEST(AppIcon, ShippedArtLooksLikeTheDrawnIcon)
{
    for (const int size : {24, 48, 128, 256}) {
        SCOPED_TRACE(size);
        EXPECT_LT(MeanDifference(Render(QIcon(kShippedArt), size), Render(DrawnAppIcon(), size)),
                  4.0);
    }
}

} // namespace
