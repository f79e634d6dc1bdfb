#include "remind/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

SqliteDb::SqliteDb(SqliteDb&& other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept
{
    if (this != &other) {
        Close();
        m_db = std::exchange(other.m_db, nullptr);
    }
    return *this;
}

bool SqliteDb::Open(const std::string& utf8Path, Mode mode)
{
    Close();
    const int flags =
        mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    // SQLite may hand back a handle even when the open fails; it must still be closed.
    if (sqlite3_open_v2(utf8Path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    // A writer elsewhere (another copy's records, an editor on the tip file) holds its
    // lock for moments only: wait for it rather than fail the query at once.
    sqlite3_busy_timeout(db, kBusyWaitMs);
    m_db = db;
    return true;
}

void SqliteDb::Close()
{
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

bool SqliteDb::Exec(const char* sql, RowCallback callback, void* user)
{
    if (!m_db)
        return false;
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, sql, callback, user, &error);
    sqlite3_free(error);
    return rc == SQLITE_OK;
}

std::string SqliteDb::LastError() const { return m_db ? sqlite3_errmsg(m_db) : "no database open"; }

SqliteStatement::SqliteStatement(const SqliteDb& db, std::string_view sql)
{
    if (db.Handle())
        sqlite3_prepare_v2(db.Handle(), sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr);
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_stmt); }

bool SqliteStatement::BindInt(int index, long long value)
{
    return m_stmt && sqlite3_bind_int64(m_stmt, index, value) == SQLITE_OK;
}

bool SqliteStatement::BindText(int index, std::string_view utf8)
{
    return m_stmt && sqlite3_bind_text(m_stmt, index, utf8.data(), static_cast<int>(utf8.size()),
                                       SQLITE_TRANSIENT) == SQLITE_OK;
}

bool SqliteStatement::Step()
{
    m_hasRow = false;
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    m_hasRow = rc == SQLITE_ROW;
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

bool SqliteStatement::Reset()
{
    m_hasRow = false;
    return m_stmt && sqlite3_reset(m_stmt) == SQLITE_OK &&
           sqlite3_clear_bindings(m_stmt) == SQLITE_OK;
}

long long SqliteStatement::ColumnInt(int column) const
{
    return m_hasRow ? sqlite3_column_int64(m_stmt, column) : 0;
}

std::string SqliteStatement::ColumnText(int column) const
{
    if (!m_hasRow)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!text)
        return {};
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
}
