#pragma once

// The tip database of a test's program folder ("Release/data/tavro_tip.db"), made from SQL
// so that a test can also store what the content build never writes: ids out of order,
// escapes, a table missing.

#include <filesystem>
#include <string>

// Both tables, empty.
inline constexpr const char* kTipTablesSql = "create table tavro_tip (id integer, baby text);"
                                             "create table tavro_baby (id integer, height text);";

// Rows 1..count of `table`, each holding `prefix` followed by its number.
std::string NumberedRowsSql(const std::string& table, const std::string& prefix, int count);

// Replaces the database below `programDir` with one made by running `sql` in one
// transaction. A failure fails the test.
void WriteTipDatabase(const std::filesystem::path& programDir, const std::string& sql);
