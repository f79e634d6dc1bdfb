// Builds the program's content at build time.
//   tavro_contentgen database <tips.txt> <baby.txt> <out.db>
//   tavro_contentgen pictures <layout.dui> <out folder>
// Any fault in the sources is reported on stderr and ends with exit code 1, which fails
// the build.

#include "content_database.h"
#include "content_rows.h"
#include "day_picture.h"
#include "layout_size.h"

#include "host/file_io.h"

#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTipRows = 280;
constexpr std::size_t kFigureRows = 40;
constexpr const char* kPictureFrame = "frmPic1";
constexpr int kJpegQuality = 90;

int Fail(const std::string& message)
{
    std::fprintf(stderr, "tavro_contentgen: %s\n", message.c_str());
    return 1;
}

bool LoadRows(const std::string& path, std::size_t expected, ContentRows& rows)
{
    const auto text = ReadWholeFile(path, kMaxContentFileBytes);
    if (!text) {
        rows.errors.push_back(path + ": cannot read");
        return false;
    }
    rows = CheckContentRows(*text, expected, path);
    return rows.Ok();
}

int BuildDatabase(const std::string& tipsPath, const std::string& figuresPath,
                  const std::string& out)
{
    ContentRows tips;
    ContentRows figures;
    const bool tipsOk = LoadRows(tipsPath, kTipRows, tips);
    const bool figuresOk = LoadRows(figuresPath, kFigureRows, figures);
    if (!tipsOk || !figuresOk) {
        for (const auto* rows : {&tips, &figures})
            for (const std::string& error : rows->errors)
                std::fprintf(stderr, "%s\n", error.c_str());
        return Fail("the content sources above must be fixed before the build can go on");
    }
    std::string error;
    if (!WriteContentDatabase(tips.rows, figures.rows, out, error))
        return Fail(error);
    return 0;
}

int BuildPictures(const std::string& layoutPath, const fs::path& outDir)
{
    ControlSize size;
    std::string error;
    if (!ReadControlSize(layoutPath, kPictureFrame, size, error))
        return Fail(error);
    if (!PictureFontAvailable())
        return Fail("the font \"" + PictureFontFamily().toStdString() +
                    "\" is not installed (Debian package fonts-noto-cjk)");
    if (const QString broken = BrokenDrawing(); !broken.isEmpty())
        return Fail(broken.toStdString() +
                    " is not a drawing the generator can read (SVG Tiny 1.2)");

    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec)
        return Fail("cannot create " + outDir.string() + ": " + ec.message());
    for (int day = 1; day <= kPregnancyDays; ++day) {
        const QImage image = PaintDayPicture(day, QSize(size.width, size.height));
        const fs::path target = outDir / (std::to_string(day) + ".jpg");
        const fs::path temp = outDir / (std::to_string(day) + ".jpg.tmp");
        // An interrupted build must not leave a half-written picture under the real name.
        QImageWriter writer(QString::fromStdString(temp.string()), "jpeg");
        writer.setQuality(kJpegQuality);
        writer.setOptimizedWrite(true);
        if (!writer.write(image))
            return Fail("cannot write " + temp.string() + ": " +
                        writer.errorString().toStdString());
        fs::rename(temp, target, ec);
        if (ec)
            return Fail("cannot rename " + temp.string() + ": " + ec.message());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing text needs a GUI application, and a build has no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc == 5 && std::string(argv[1]) == "database")
        return BuildDatabase(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::string(argv[1]) == "pictures") {
        QGuiApplication app(argc, argv);
        return BuildPictures(argv[2], argv[3]);
    }
    std::fprintf(stderr, "usage: tavro_contentgen database <tips.txt> <baby.txt> <out.db>\n"
                         "       tavro_contentgen pictures <layout.dui> <out folder>\n");
    return 2;
}
