#include "content_database.h"
#include "day_picture.h"
#include "layout_size.h"

#include "fake_services.h"
#include "remind/sqlite_db.h"
#include "remind/tip_database.h"
#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLineF>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Numbered(const std::string& prefix, int count)
{
    std::vector<std::string> rows;
    for (int n = 1; n <= count; ++n)
        rows.push_back(prefix + std::to_string(n));
    return rows;
}

class ContentDatabaseTest : public ::testing::Test
{
protected:
    fs::path DatabaseFile() const { return m_dir.Sub("Release/data/tavro_tip.db"); }

    TempProgramDir m_dir;
    FakeServices m_services;
};

TEST_F(ContentDatabaseTest, TheProgramReadsBackEveryRowInOrder)
{
    std::vector<std::string> tips = Numbered("第", 280);
    tips[0] = "第一天\\r\\n多喝温水";
    const std::vector<std::string> figures = Numbered("周", 40);
    std::string error;
    ASSERT_TRUE(WriteContentDatabase(tips, figures, DatabaseFile(), error)) << error;
    EXPECT_FALSE(fs::exists(fs::path(DatabaseFile()).concat(".tmp")));

    CTipDatabase db(m_dir.WidePath());
    EXPECT_EQ(db.QueryTip(1), L"第一天多喝温水");
    EXPECT_EQ(db.QueryTip(2), L"第2");
    EXPECT_EQ(db.QueryTip(280), L"第280");
    EXPECT_EQ(db.QueryTip(281), L"");
    EXPECT_EQ(db.QueryBaby(40), L"周40");
    EXPECT_TRUE(m_services.messageBox.shown.empty());

    // The stored text is kept as written (the escape included) with ids 1..n.
    SqliteDb raw;
    ASSERT_TRUE(raw.Open(DatabaseFile().string(), SqliteDb::Mode::ReadOnly));
    SqliteStatement first(raw, "select id, baby from tavro_tip limit 1;");
    ASSERT_TRUE(first.Step());
    EXPECT_EQ(first.ColumnInt(0), 1);
    EXPECT_EQ(first.ColumnText(1), tips[0]);
    SqliteStatement last(raw, "select id, height from tavro_baby where rowid = 40;");
    ASSERT_TRUE(last.Step());
    EXPECT_EQ(last.ColumnInt(0), 40);
}

TEST_F(ContentDatabaseTest, ARebuildReplacesTheOldFileAndAFailedOneKeepsIt)
{
    std::string error;
    ASSERT_TRUE(WriteContentDatabase({"old"}, {"old"}, DatabaseFile(), error)) << error;
    ASSERT_TRUE(WriteContentDatabase({"new"}, {"new"}, DatabaseFile(), error)) << error;
    CTipDatabase db(m_dir.WidePath());
    EXPECT_EQ(db.QueryTip(1), L"new");
    EXPECT_EQ(db.QueryTip(2), L"");

    // A folder standing where the database must go: the rename fails and is reported.
    const fs::path blocked = m_dir.Sub("blocked.db");
    fs::create_directories(blocked / "inside");
    error.clear();
    EXPECT_FALSE(WriteContentDatabase({"x"}, {"y"}, blocked, error));
    EXPECT_NE(error.find("blocked.db"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(blocked / "inside"));
    EXPECT_FALSE(fs::exists(fs::path(blocked).concat(".tmp")));
}

TEST(LayoutSize, TheFrameIsFoundWhereverItIsNested)
{
    TempProgramDir dir;
    dir.Write("a.dui", R"(<?xml version="1.0" encoding="UTF-8"?>
<skin>
  <form name="Main17" width="640" height="480"><label name="frmPic1x" width="1" height="1"/></form>
  <form name="Main16" width="300" height="470">
    <panel name="top"><picture name="frmPic1" x="10" y="8" width="280" height="180"/></panel>
    <picture name="frmPic1" width="5" height="5"/>
  </form>
</skin>)");
    ControlSize size;
    std::string error;
    ASSERT_TRUE(ReadControlSize(dir.Sub("a.dui").string(), "frmPic1", size, error)) << error;
    EXPECT_EQ(size.width, 280);
    EXPECT_EQ(size.height, 180);
    ASSERT_TRUE(ReadControlSize(dir.Sub("a.dui").string(), "Main16", size, error)) << error;
    EXPECT_EQ(size.width, 300);
}

TEST(LayoutSize, AMissingOrUnusableFrameIsAnErrorNotADefault)
{
    TempProgramDir dir;
    const auto fails = [&](const std::string& xml, const std::string& words) {
        dir.Write("l.dui", xml);
        ControlSize size{7, 7};
        std::string error;
        const bool read = ReadControlSize(dir.Sub("l.dui").string(), "frmPic1", size, error);
        EXPECT_FALSE(read) << xml;
        EXPECT_NE(error.find(words), std::string::npos) << error;
        EXPECT_EQ(size.width, 7) << "the size must stay untouched";
    };
    fails(R"(<skin><form name="Main16"/></skin>)", "no control named \"frmPic1\"");
    fails(R"(<skin><p name="frmPic1" width="280px" height="180"/></skin>)", "width and height");
    fails(R"(<skin><p name="frmPic1" width="280"/></skin>)", "width and height");
    fails(R"(<skin><p name="frmPic1" width="0" height="180"/></skin>)", "width and height");
    fails(R"(<skin><p name="frmPic1" width="-280" height="180"/></skin>)", "width and height");
    fails(R"(<skin><p name="frmPic1" width="280" height="180"></skin>)", "cannot read");

    ControlSize size;
    std::string error;
    EXPECT_FALSE(ReadControlSize(dir.Sub("none.dui").string(), "frmPic1", size, error));
    EXPECT_NE(error.find("none.dui"), std::string::npos);
}

bool IsBabySkin(const QColor& c) { return c.red() - c.green() > 40 && c.green() - c.blue() > 8; }

// Pixels of the baby's skin tone inside the womb circle.
int BabyPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width() * 16 / 28; ++x)
            if (IsBabySkin(image.pixelColor(x, y)))
                ++count;
    return count;
}

TEST(DayPicture, FitsTheFrameAndIsTheSameOnEveryBuild)
{
    for (const QSize size : {QSize(280, 180), QSize(300, 150), QSize(140, 90)}) {
        const QImage image = PaintDayPicture(180, size);
        EXPECT_EQ(image.size(), size);
    }
    EXPECT_EQ(PaintDayPicture(100, QSize(280, 180)), PaintDayPicture(100, QSize(280, 180)));
    EXPECT_NE(PaintDayPicture(100, QSize(280, 180)), PaintDayPicture(101, QSize(280, 180)));
}

TEST(DayPicture, TheBabyGrowsThroughThePregnancy)
{
    const QSize size(280, 180);
    int previous = 0;
    for (int day : {1, 40, 64, 120, 180, 230, 280}) {
        const int pixels = BabyPixels(PaintDayPicture(day, size));
        EXPECT_GT(pixels, previous) << "day " << day;
        previous = pixels;
    }
}

// Each stage's drawing sits in the middle of the womb and stays inside it, on the first and
// the last day of its stage: a drawing moved off its centre point or scaled wrongly in the
// SVG file shows here, and a drawing that cannot be read leaves the womb empty.
TEST(DayPicture, EachStagesDrawingIsCentredInsideTheWomb)
{
    EXPECT_EQ(BrokenDrawing(), QString());
    // At this size the canvas is drawn one to one: the womb is centred at (86, 90), radius 68.
    const QSize size(280, 180);
    const QPointF womb(86, 90);
    const struct
    {
        int day;
        int minPixels;
    } stages[] = {{1, 15}, {35, 100}, {36, 160}, {63, 400}, {64, 700}, {280, 2500}};
    for (const auto& stage : stages) {
        const QImage image = PaintDayPicture(stage.day, size);
        int count = 0;
        QPointF sum;
        qreal farthest = 0;
        // The texts and the progress bar to the right share the skin's warm tones.
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < 160; ++x)
                if (IsBabySkin(image.pixelColor(x, y))) {
                    ++count;
                    sum += QPointF(x + 0.5, y + 0.5);
                    farthest = std::max(farthest, QLineF(womb, QPointF(x + 0.5, y + 0.5)).length());
                }
        ASSERT_GE(count, stage.minPixels) << "day " << stage.day;
        const QPointF centre = sum / count;
        EXPECT_LT(QLineF(womb, centre).length(), 10) << "day " << stage.day;
        EXPECT_LT(farthest, 62) << "day " << stage.day << " reaches the womb's white rim";
    }
}

TEST(DayPicture, WritesTheDayTheWeekAndWhatIsLeft)
{
    EXPECT_EQ(DayTitle(180), QStringLiteral("第180天"));
    // Week n holds days 7n-6 to 7n, as in the popup's calendar.
    EXPECT_EQ(WeekTitle(1), QStringLiteral("孕第1周"));
    EXPECT_EQ(WeekTitle(7), QStringLiteral("孕第1周"));
    EXPECT_EQ(WeekTitle(8), QStringLiteral("孕第2周"));
    EXPECT_EQ(WeekTitle(180), QStringLiteral("孕第26周"));
    EXPECT_EQ(WeekTitle(280), QStringLiteral("孕第40周"));
    EXPECT_EQ(StageTitle(97), QStringLiteral("孕早期"));
    EXPECT_EQ(StageTitle(98), QStringLiteral("孕中期"));
    EXPECT_EQ(StageTitle(195), QStringLiteral("孕中期"));
    EXPECT_EQ(StageTitle(196), QStringLiteral("孕晚期"));
    EXPECT_EQ(CountdownTitle(180), QStringLiteral("还有100天见面"));
    EXPECT_EQ(CountdownTitle(279), QStringLiteral("还有1天见面"));
    EXPECT_EQ(CountdownTitle(280), QStringLiteral("今天是预产期"));
    EXPECT_TRUE(PictureFontAvailable());
}

} // namespace
