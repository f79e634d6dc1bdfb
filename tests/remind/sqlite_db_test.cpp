#include "remind/sqlite_db.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Collect(void* user, int columns, char** values, char**)
{
    auto* rows = static_cast<std::vector<std::string>*>(user);
    for (int i = 0; i < columns; ++i)
        rows->push_back(values[i] ? values[i] : "<null>");
    return 0;
}

TEST(SqliteDb, StatementsBindStepAndReadBackOnAMemoryDatabase)
{
    SqliteDb db;
    ASSERT_TRUE(db.Open(":memory:", SqliteDb::Mode::ReadWriteCreate));
    ASSERT_TRUE(db.Exec("create table t (n integer, s text);"));

    SqliteStatement insert(db, "insert into t values (?, ?);");
    ASSERT_TRUE(insert.IsValid());
    ASSERT_TRUE(insert.BindInt(1, 7));
    // Bound as a length, so an embedded NUL and text after it are kept.
    ASSERT_TRUE(insert.BindText(2, std::string_view("a\0b", 3)));
    ASSERT_TRUE(insert.Step());
    EXPECT_FALSE(insert.HasRow());
    ASSERT_TRUE(insert.Reset());
    ASSERT_TRUE(insert.BindInt(1, 8));
    ASSERT_TRUE(insert.BindText(2, "第二"));
    ASSERT_TRUE(insert.Step());

    SqliteStatement select(db, "select n, s from t order by n;");
    ASSERT_TRUE(select.Step());
    ASSERT_TRUE(select.HasRow());
    EXPECT_EQ(select.ColumnInt(0), 7);
    EXPECT_EQ(select.ColumnText(1), std::string("a\0b", 3));
    ASSERT_TRUE(select.Step());
    EXPECT_EQ(select.ColumnText(1), "第二");
    ASSERT_TRUE(select.Step());
    EXPECT_FALSE(select.HasRow());
    EXPECT_EQ(select.ColumnText(1), "");

    std::vector<std::string> rows;
    ASSERT_TRUE(db.Exec("select s from t where n = 8;", &Collect, &rows));
    EXPECT_EQ(rows, std::vector<std::string>{"第二"});
}

TEST(SqliteDb, FailuresAreReportedNotHidden)
{
    SqliteDb closed;
    EXPECT_FALSE(closed.Exec("select 1;"));
    SqliteStatement onClosed(closed, "select 1;");
    EXPECT_FALSE(onClosed.IsValid());
    EXPECT_FALSE(onClosed.Step());

    SqliteDb db;
    ASSERT_TRUE(db.Open(":memory:", SqliteDb::Mode::ReadWriteCreate));
    EXPECT_FALSE(db.Exec("select * from missing;"));
    EXPECT_NE(db.LastError().find("missing"), std::string::npos);
    SqliteStatement bad(db, "select from;");
    EXPECT_FALSE(bad.IsValid());
    EXPECT_FALSE(bad.BindInt(1, 1));

    ASSERT_TRUE(db.Exec("create table u (n integer not null);"));
    SqliteStatement insertNull(db, "insert into u values (null);");
    EXPECT_FALSE(insertNull.Step());
}

TEST(SqliteDb, ReadOnlyOpenNeitherCreatesNorWrites)
{
    TempProgramDir dir;
    const std::string missing = dir.Sub("missing.db").string();
    SqliteDb db;
    EXPECT_FALSE(db.Open(missing, SqliteDb::Mode::ReadOnly));
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(missing));

    const std::string path = dir.Sub("t.db").string();
    {
        SqliteDb writer;
        ASSERT_TRUE(writer.Open(path, SqliteDb::Mode::ReadWriteCreate));
        ASSERT_TRUE(writer.Exec("create table t (n integer);"));
    }
    ASSERT_TRUE(db.Open(path, SqliteDb::Mode::ReadOnly));
    EXPECT_TRUE(db.Exec("select * from t;"));
    EXPECT_FALSE(db.Exec("insert into t values (1);"));

    // Ownership moves with the object; the old one no longer runs anything.
    SqliteDb moved = std::move(db);
    EXPECT_TRUE(moved.IsOpen());
    EXPECT_FALSE(db.IsOpen()); // NOLINT(bugprone-use-after-move)
    EXPECT_TRUE(moved.Exec("select * from t;"));
}

} // namespace
