#include "remind/tip_database.h"

#include "fake_services.h"
#include "host/text_codec.h"
#include "profile/app_data.h"
#include "remind/sqlite_db.h"
#include "temp_program_dir.h"
#include "tip_database_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* kDatabase = "Release/data/tavro_tip.db";
const std::wstring kFalse = L"false";
const std::wstring kBabyBox = L"查询婴儿状态by周错误";

class TipDatabaseTest : public ::testing::Test
{
protected:
    // SQLite string literals keep backslashes as they are, so '\r\n' below is the
    // four-character escape.
    void MakeDatabase(const std::string& sql) { WriteTipDatabase(m_dir.Path(), sql); }
    void Open() { m_db = std::make_unique<CTipDatabase>(m_dir.WidePath()); }

    TempProgramDir m_dir;
    FakeServices m_services;
    // After the folder, so that the connection closes before the folder goes.
    std::unique_ptr<CTipDatabase> m_db;
};

TEST_F(TipDatabaseTest, RowsArePickedByPositionWithTheEscapeRemoved)
{
    MakeDatabase(R"(create table tavro_tip (id integer, baby text);
                    insert into tavro_tip values (1, 'X\r\nY');
                    insert into tavro_tip values (2, 'Z');
                    insert into tavro_tip values (3, 'W');)");
    Open();
    ASSERT_TRUE(m_db->IsOpen());
    EXPECT_EQ(m_db->QueryTip(1), L"XY");
    EXPECT_EQ(m_db->QueryTip(2), L"Z");
    EXPECT_EQ(m_db->QueryTip(3), L"W");
    for (int outside : {4, 5, 0, -1, INT_MIN, INT_MAX})
        EXPECT_EQ(m_db->QueryTip(outside), L"") << outside;
    EXPECT_TRUE(m_services.messageBox.shown.empty());
}

TEST_F(TipDatabaseTest, FirstAndLastDayAndWeekOfFullTables)
{
    MakeDatabase(std::string(kTipTablesSql) + NumberedRowsSql("tavro_tip", "tip ", 280) +
                 NumberedRowsSql("tavro_baby", "week ", 40));
    Open();
    EXPECT_EQ(m_db->QueryTip(1), L"tip 1");
    EXPECT_EQ(m_db->QueryTip(280), L"tip 280");
    EXPECT_EQ(m_db->QueryTip(281), L"");
    EXPECT_EQ(m_db->QueryBaby(1), L"week 1");
    EXPECT_EQ(m_db->QueryBaby(40), L"week 40");
    EXPECT_EQ(m_db->QueryBaby(0), L"");
    EXPECT_EQ(m_db->QueryBaby(41), L"");
    EXPECT_TRUE(m_services.messageBox.shown.empty());
}

TEST_F(TipDatabaseTest, StoredOrderCountsAndIdsDoNot)
{
    MakeDatabase(R"(create table tavro_tip (id integer, baby text);
                    insert into tavro_tip values (100, 'first');
                    insert into tavro_tip values (101, 'second');
                    create table tavro_baby (id integer, height text);
                    insert into tavro_baby values (3, 'stored first');
                    insert into tavro_baby values (1, 'stored second');
                    insert into tavro_baby values (2, 'stored third');)");
    Open();
    EXPECT_EQ(m_db->QueryTip(1), L"first");
    EXPECT_EQ(m_db->QueryTip(2), L"second");
    EXPECT_EQ(m_db->QueryTip(100), L"");
    EXPECT_EQ(m_db->QueryBaby(1), L"stored first");
    EXPECT_EQ(m_db->QueryBaby(3), L"stored third");
}

TEST_F(TipDatabaseTest, EveryEscapeGoesWhereverItStands)
{
    MakeDatabase(R"(create table tavro_tip (id integer, baby text);
                    insert into tavro_tip values (1, '\r\nat the start');
                    insert into tavro_tip values (2, 'one\r\ntwo\r\nthree');
                    insert into tavro_tip values (3, '\r\n');
                    insert into tavro_tip values (4, 'kept: \n and \r alone');
                    insert into tavro_tip values (5, 'end\r\n');)");
    Open();
    EXPECT_EQ(m_db->QueryTip(1), L"at the start");
    EXPECT_EQ(m_db->QueryTip(2), L"onetwothree");
    EXPECT_EQ(m_db->QueryTip(3), L"");
    EXPECT_EQ(m_db->QueryTip(4), L"kept: \\n and \\r alone");
    EXPECT_EQ(m_db->QueryTip(5), L"end");
}

TEST_F(TipDatabaseTest, ARealLineFeedInsideATextShiftsNoOtherRow)
{
    MakeDatabase("create table tavro_tip (id integer, baby text);"
                 "insert into tavro_tip values (1, 'one' || char(10) || 'more');"
                 "insert into tavro_tip values (2, 'two' || char(13, 10) || 'lines');"
                 "insert into tavro_tip values (3, 'three');");
    Open();
    EXPECT_EQ(m_db->QueryTip(1), L"one\nmore");
    EXPECT_EQ(m_db->QueryTip(2), L"two\r\nlines");
    EXPECT_EQ(m_db->QueryTip(3), L"three");
    EXPECT_EQ(m_db->QueryTip(4), L"");
}

TEST_F(TipDatabaseTest, AMissingFigureTableIsReportedOncePerQuery)
{
    MakeDatabase("create table tavro_tip (id integer, baby text);"
                 "insert into tavro_tip values (1, 'tip');");
    Open();
    EXPECT_EQ(m_db->QueryBaby(1), kFalse);
    ASSERT_EQ(m_services.messageBox.shown.size(), 1u);
    EXPECT_EQ(m_services.messageBox.shown[0].text, kBabyBox);
    EXPECT_EQ(m_services.messageBox.shown[0].caption, L"Tavro");
    // A week outside the table does not hide the failure.
    EXPECT_EQ(m_db->QueryBaby(0), kFalse);
    EXPECT_EQ(m_services.messageBox.shown.size(), 2u);
    EXPECT_EQ(m_db->QueryTip(1), L"tip");
    EXPECT_EQ(m_services.messageBox.shown.size(), 2u);
}

TEST_F(TipDatabaseTest, AMissingTipTableFailsWithoutABox)
{
    MakeDatabase("create table tavro_baby (id integer, height text);"
                 "insert into tavro_baby values (1, 'figures');");
    Open();
    EXPECT_EQ(m_db->QueryTip(1), kFalse);
    EXPECT_EQ(m_db->QueryTip(-3), kFalse);
    EXPECT_TRUE(m_services.messageBox.shown.empty());
    EXPECT_EQ(m_db->QueryBaby(1), L"figures");
}

TEST_F(TipDatabaseTest, AMissingFileIsNotCreatedAndEveryQueryFails)
{
    // Once with the data folder present, once without it.
    for (bool folder : {true, false}) {
        TempProgramDir dir;
        if (folder)
            fs::create_directories(dir.Sub("Release/data"));
        CTipDatabase db(dir.WidePath());
        EXPECT_FALSE(db.IsOpen());
        EXPECT_FALSE(fs::exists(dir.Sub(kDatabase)));
        EXPECT_EQ(db.QueryTip(1), kFalse);
        EXPECT_EQ(db.QueryBaby(1), kFalse);
        EXPECT_FALSE(fs::exists(dir.Sub(kDatabase)));
    }
    EXPECT_EQ(m_services.messageBox.Texts(), std::vector<std::wstring>(2, kBabyBox));
}

TEST_F(TipDatabaseTest, ADamagedFileFailsTheQueries)
{
    m_dir.Write(kDatabase, std::string(4096, 'x'));
    Open();
    EXPECT_EQ(m_db->QueryTip(1), kFalse);
    EXPECT_EQ(m_db->QueryBaby(1), kFalse);
    EXPECT_EQ(m_services.messageBox.shown.size(), 1u);
    EXPECT_EQ(m_dir.Read(kDatabase), std::string(4096, 'x'));
}

TEST_F(TipDatabaseTest, AFifoOrAFolderInPlaceOfTheFileIsRefusedWithoutWaiting)
{
    for (bool fifo : {true, false}) {
        TempProgramDir dir;
        fs::create_directories(dir.Sub("Release/data"));
        if (fifo)
            ASSERT_EQ(mkfifo(dir.Sub(kDatabase).c_str(), 0600), 0);
        else
            fs::create_directories(dir.Sub(kDatabase));
        CTipDatabase db(dir.WidePath());
        EXPECT_FALSE(db.IsOpen()) << fifo;
        EXPECT_EQ(db.QueryTip(1), kFalse) << fifo;
    }
}

TEST_F(TipDatabaseTest, AQueryWaitsForAWriterThatHoldsTheFileForAMoment)
{
    MakeDatabase(std::string(kTipTablesSql) + NumberedRowsSql("tavro_tip", "t", 3) +
                 NumberedRowsSql("tavro_baby", "w", 3));
    Open();
    SqliteDb writer;
    ASSERT_TRUE(writer.Open(m_dir.Sub(kDatabase).string(), SqliteDb::Mode::ReadWriteCreate));
    ASSERT_TRUE(writer.Exec("begin exclusive; update tavro_baby set height = height;"));
    // The writer lets go a moment after the query started waiting.
    std::thread release([&writer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        writer.Exec("commit;");
    });
    EXPECT_EQ(m_db->QueryBaby(2), L"w2");
    release.join();
    EXPECT_TRUE(m_services.messageBox.shown.empty());
}

TEST_F(TipDatabaseTest, QueriesInARowAreIndependent)
{
    MakeDatabase(std::string(kTipTablesSql) + NumberedRowsSql("tavro_tip", "t", 3) +
                 NumberedRowsSql("tavro_baby", "w", 1));
    Open();
    EXPECT_EQ(m_db->QueryTip(3), L"t3");
    // Rows of the tip query must not linger into the next one.
    EXPECT_EQ(m_db->QueryBaby(3), L"");
    EXPECT_EQ(m_db->QueryBaby(1), L"w1");
    EXPECT_EQ(m_db->QueryTip(3), L"t3");
    EXPECT_EQ(m_db->QueryTip(2), L"t2");
}

TEST_F(TipDatabaseTest, AQueryRunWhileTheFailureBoxIsUpIsUnaffected)
{
    MakeDatabase("create table tavro_tip (id integer, baby text);" +
                 NumberedRowsSql("tavro_tip", "t", 2));
    Open();
    std::wstring during;
    m_services.messageBox.onShow = [&] { during = m_db->QueryTip(2); };
    EXPECT_EQ(m_db->QueryBaby(1), kFalse);
    EXPECT_EQ(during, L"t2");
    EXPECT_EQ(m_db->QueryTip(1), L"t1");
}

TEST_F(TipDatabaseTest, TextsAreReadInTheLegacyEncodingAndNullIsEmpty)
{
    MakeDatabase("create table tavro_tip (id integer, baby text);"
                 "insert into tavro_tip values (1, '多喝水，早点休息');"
                 "insert into tavro_tip values (2, null);");
    {
        SqliteDb db;
        ASSERT_TRUE(db.Open(m_dir.Sub(kDatabase).string(), SqliteDb::Mode::ReadWriteCreate));
        SqliteStatement insert(db, "insert into tavro_tip values (3, ?);");
        const std::string gbk = WideToEncoding(L"孕期", "GBK");
        ASSERT_EQ(gbk.size(), 4u);
        ASSERT_TRUE(insert.BindText(1, gbk));
        ASSERT_TRUE(insert.Step());
    }
    Open();
    EXPECT_EQ(m_db->QueryTip(1), L"多喝水，早点休息");
    EXPECT_EQ(m_db->QueryTip(2), L"");
    SetLegacyEncoding("GBK");
    const std::wstring legacy = m_db->QueryTip(3);
    SetLegacyEncoding("");
    EXPECT_EQ(legacy, L"孕期");
}

TEST_F(TipDatabaseTest, OpensBelowItsOwnFolderAndNeverWrites)
{
    // A folder name outside ASCII must reach SQLite as UTF-8.
    const fs::path first = m_dir.Sub("孕期 资料");
    WriteTipDatabase(first, "create table tavro_tip (id integer, baby text);"
                            "insert into tavro_tip values (1, 'from the first');");
    MakeDatabase("create table tavro_tip (id integer, baby text);"
                 "insert into tavro_tip values (1, 'from the second');");
    const std::string before = m_dir.Read("孕期 资料/" + std::string(kDatabase));

    CTipDatabase one(m_dir.WidePath() + L"/孕期 资料");
    ASSERT_TRUE(one.IsOpen());
    EXPECT_EQ(one.Path(), TipDatabasePath(m_dir.WidePath() + L"/孕期 资料"));
    EXPECT_EQ(one.Path(), (first / kDatabase).string());
    CTipDatabase two(m_dir.WidePath());
    EXPECT_EQ(one.QueryTip(1), L"from the first");
    EXPECT_EQ(two.QueryTip(1), L"from the second");

    EXPECT_EQ(m_dir.Read("孕期 资料/" + std::string(kDatabase)), before);
    EXPECT_FALSE(fs::exists(first / "Release/data/tavro_tip.db-journal"));
}

TEST_F(TipDatabaseTest, ShorthandsReadTheCalendarOfTheApplicationObject)
{
    MakeDatabase(std::string(kTipTablesSql) + NumberedRowsSql("tavro_tip", "day ", 10) +
                 NumberedRowsSql("tavro_baby", "week ", 2));
    Open();
    CTavroAppData app;
    app.daysPregnant = 9;
    app.pregnancyWeek = 2;
    EXPECT_EQ(GetTipOfDay(*m_db, app), L"day 9");
    EXPECT_EQ(GetBabyOfWeek(*m_db, app), L"week 2");
    app.daysPregnant = -5;
    EXPECT_EQ(GetTipOfDay(*m_db, app), L"");
}

} // namespace
