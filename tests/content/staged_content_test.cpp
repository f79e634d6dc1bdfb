// The content as the build stages it: the shipped database and every daily picture.

#ifdef TAVRO_HAVE_CONTENT

#include "layout_size.h"

#include "fake_services.h"
#include "remind/sqlite_db.h"
#include "remind/tip_database.h"
#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <QImageReader>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class StagedContentTest : public ::testing::Test
{
protected:
    void SetUp() override { m_dir.CopyStage(); }

    TempProgramDir m_dir;
    FakeServices m_services;
};

TEST_F(StagedContentTest, TheDatabaseHoldsATipForEveryDayAndFiguresForEveryWeek)
{
    SqliteDb raw;
    ASSERT_TRUE(
        raw.Open(m_dir.Sub("Release/data/tavro_tip.db").string(), SqliteDb::Mode::ReadOnly));
    SqliteStatement counts(raw, "select (select count(*) from tavro_tip where length(baby) > 0),"
                                " (select count(*) from tavro_baby where length(height) > 0),"
                                " (select count(*) from tavro_tip), (select count(*) from "
                                "tavro_baby);");
    ASSERT_TRUE(counts.Step());
    EXPECT_EQ(counts.ColumnInt(0), 280);
    EXPECT_EQ(counts.ColumnInt(1), 40);
    EXPECT_EQ(counts.ColumnInt(2), 280);
    EXPECT_EQ(counts.ColumnInt(3), 40);
    SqliteStatement breaks(raw, "select count(*) from (select baby as t from tavro_tip union all "
                                "select height from tavro_baby) where instr(t, char(10)) > 0 "
                                "or instr(t, char(13)) > 0;");
    ASSERT_TRUE(breaks.Step());
    EXPECT_EQ(breaks.ColumnInt(0), 0);

    CTipDatabase db(m_dir.WidePath());
    ASSERT_TRUE(db.IsOpen());
    for (int day = 1; day <= 280; ++day) {
        const std::wstring tip = db.QueryTip(day);
        EXPECT_FALSE(tip.empty()) << "day " << day;
        EXPECT_NE(tip, L"false") << "day " << day;
    }
    EXPECT_EQ(db.QueryTip(281), L"");
    for (int week = 1; week <= 40; ++week)
        EXPECT_FALSE(db.QueryBaby(week).empty()) << "week " << week;
    EXPECT_EQ(db.QueryBaby(41), L"");
    EXPECT_TRUE(m_services.messageBox.shown.empty());
}

TEST_F(StagedContentTest, EveryDayHasAPictureOfTheFramesSize)
{
    ControlSize frame;
    std::string error;
    ASSERT_TRUE(
        ReadControlSize(TAVRO_SOURCE_DIR "/package/Skin/RizIrozara.dui", "frmPic1", frame, error))
        << error;
    const fs::path folder = m_dir.Sub("Release/data/pic");
    for (int day = 1; day <= 280; ++day) {
        const fs::path file = folder / (std::to_string(day) + ".jpg");
        QImageReader reader(QString::fromStdString(file.string()));
        EXPECT_EQ(reader.format(), "jpeg") << file;
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << file << ": " << reader.errorString().toStdString();
        EXPECT_EQ(image.width(), frame.width) << file;
        EXPECT_EQ(image.height(), frame.height) << file;
    }
    EXPECT_FALSE(fs::exists(folder / "0.jpg"));
    EXPECT_FALSE(fs::exists(folder / "281.jpg"));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++files;
    EXPECT_EQ(files, 280u) << "no temporary or stray files";
}

} // namespace

#endif
