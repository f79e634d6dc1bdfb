#include "tip_database_file.h"

#include "remind/sqlite_db.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

std::string NumberedRowsSql(const std::string& table, const std::string& prefix, int count)
{
    std::string sql;
    for (int n = 1; n <= count; ++n)
        sql += "insert into " + table + " values (" + std::to_string(n) + ", '" + prefix +
               std::to_string(n) + "');";
    return sql;
}

void WriteTipDatabase(const fs::path& programDir, const std::string& sql)
{
    const fs::path file = programDir / "Release/data/tavro_tip.db";
    fs::create_directories(file.parent_path());
    // A database left by an earlier step would keep its tables and fail the "create table".
    fs::remove(file);
    SqliteDb db;
    ASSERT_TRUE(db.Open(file.string(), SqliteDb::Mode::ReadWriteCreate));
    ASSERT_TRUE(db.Exec(("begin;" + sql + "commit;").c_str())) << db.LastError();
}
