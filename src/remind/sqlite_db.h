#pragma once

// Small owners of SQLite handles: whatever way a function leaves, what it opened is
// closed or finalized. The tip database reads through them and the content generator
// writes through them.

#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class SqliteDb
{
public:
    enum class Mode
    {
        ReadOnly,
        ReadWriteCreate
    };
    // The row callback of sqlite3_exec: user pointer, column count, values, column names.
    using RowCallback = int (*)(void*, int, char**, char**);

    static constexpr int kBusyWaitMs = 2000;

    SqliteDb() = default;
    ~SqliteDb() { Close(); }
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Closes any connection held, then opens the file (a UTF-8 name). A read-only open of a
    // missing file fails instead of creating it. On failure nothing is kept open. While
    // another process holds the file locked, each statement waits up to kBusyWaitMs.
    bool Open(const std::string& utf8Path, Mode mode);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }

    // Runs one or more statements; true when SQLite reports success. Without a connection
    // nothing runs and the answer is false.
    bool Exec(const char* sql, RowCallback callback = nullptr, void* user = nullptr);
    // The connection's last error message, for tools that report it.
    std::string LastError() const;
    sqlite3* Handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

class SqliteStatement
{
public:
    SqliteStatement(const SqliteDb& db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool IsValid() const { return m_stmt != nullptr; }
    // Parameters count from 1, as in SQLite.
    bool BindInt(int index, long long value);
    bool BindText(int index, std::string_view utf8);
    // One step: true while a row is available or when the statement has finished; the
    // difference is HasRow(). False on an error.
    bool Step();
    bool HasRow() const { return m_hasRow; }
    bool Reset();
    long long ColumnInt(int column) const;
    std::string ColumnText(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_hasRow = false;
};
