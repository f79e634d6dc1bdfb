#include "content_database.h"

#include "remind/sqlite_db.h"

#include <system_error>

namespace fs = std::filesystem;

namespace {

bool InsertRows(SqliteDb& db, const char* sql, const std::vector<std::string>& rows,
                std::string& error)
{
    SqliteStatement insert(db, sql);
    if (!insert.IsValid()) {
        error = db.LastError();
        return false;
    }
    long long id = 1;
    for (const std::string& row : rows) {
        if (!insert.BindInt(1, id++) || !insert.BindText(2, row) || !insert.Step() ||
            !insert.Reset()) {
            error = db.LastError();
            return false;
        }
    }
    return true;
}

bool Fill(SqliteDb& db, const std::vector<std::string>& tips,
          const std::vector<std::string>& figures, std::string& error)
{
    // No primary key on id: rowid order is insertion order, the order the program reads.
    if (!db.Exec("begin;"
                 "create table tavro_tip (id integer not null, baby text not null);"
                 "create table tavro_baby (id integer not null, height text not null);")) {
        error = db.LastError();
        return false;
    }
    if (!InsertRows(db, "insert into tavro_tip (id, baby) values (?, ?);", tips, error) ||
        !InsertRows(db, "insert into tavro_baby (id, height) values (?, ?);", figures, error))
        return false;
    if (!db.Exec("commit;")) {
        error = db.LastError();
        return false;
    }
    return true;
}

} // namespace

bool WriteContentDatabase(const std::vector<std::string>& tips,
                          const std::vector<std::string>& figures, const fs::path& out,
                          std::string& error)
{
    std::error_code ec;
    if (!out.parent_path().empty())
        fs::create_directories(out.parent_path(), ec);
    const fs::path temp = fs::path(out).concat(".tmp");
    fs::remove(temp, ec);

    bool ok = false;
    {
        SqliteDb db;
        if (!db.Open(temp.string(), SqliteDb::Mode::ReadWriteCreate))
            error = "cannot create " + temp.string();
        else
            ok = Fill(db, tips, figures, error);
    }
    if (ok) {
        fs::rename(temp, out, ec);
        if (ec) {
            error = "cannot rename " + temp.string() + " to " + out.string() + ": " + ec.message();
            ok = false;
        }
    }
    if (!ok)
        fs::remove(temp, ec);
    return ok;
}
