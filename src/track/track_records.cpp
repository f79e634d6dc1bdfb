#include "track/track_records.h"

#include "host/file_io.h"

#include <sqlite3.h>

#include <unistd.h>

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS kick_session ("
    " id INTEGER PRIMARY KEY, started INTEGER NOT NULL, ended INTEGER NOT NULL DEFAULT 0,"
    " count INTEGER NOT NULL DEFAULT 0, outcome INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS contraction_series ("
    " id INTEGER PRIMARY KEY, started INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS contraction ("
    " id INTEGER PRIMARY KEY, series INTEGER NOT NULL, started INTEGER NOT NULL,"
    " ended INTEGER NOT NULL DEFAULT 0);";

constexpr const char* kKickColumns = "SELECT id, started, ended, count, outcome FROM kick_session ";

bool IsUnreadable(int code)
{
    code &= 0xFF;
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

KickSession KickFromRow(const SqliteStatement& row)
{
    KickSession session;
    session.id = row.ColumnInt(0);
    session.started = row.ColumnInt(1);
    session.ended = row.ColumnInt(2);
    session.count = static_cast<int>(row.ColumnInt(3));
    const long long outcome = row.ColumnInt(4);
    session.outcome = outcome == 1   ? KickOutcome::ReachedTen
                      : outcome == 2 ? KickOutcome::TimedOut
                                     : KickOutcome::Running;
    return session;
}

// Runs `body` between BEGIN IMMEDIATE and COMMIT; anything that fails rolls it all back.
template <typename Body> bool InTransaction(SqliteDb& db, Body body)
{
    if (!db.Exec("BEGIN IMMEDIATE"))
        return false;
    if (body() && db.Exec("COMMIT"))
        return true;
    db.Exec("ROLLBACK");
    return false;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

const char* OutcomeText(KickOutcome outcome)
{
    switch (outcome) {
    case KickOutcome::ReachedTen:
        return "满10次";
    case KickOutcome::TimedOut:
        return "2小时未满10次";
    case KickOutcome::Running:
        break;
    }
    return "进行中";
}

} // namespace

TrackRecords::OpenState TrackRecords::Open(const std::string& path)
{
    m_db.Close();
    m_setAside.clear();
    // A FIFO or a folder in the file's place is refused without touching it.
    if (access(path.c_str(), F_OK) == 0 && !IsRegularFile(path))
        return OpenState::Failed;
    if (m_db.Open(path, SqliteDb::Mode::ReadWriteCreate) && CreateSchema())
        return OpenState::Opened;
    const int code = m_db.IsOpen() ? sqlite3_extended_errcode(m_db.Handle()) : SQLITE_CANTOPEN;
    m_db.Close();
    if (!IsUnreadable(code))
        return OpenState::Failed;
    const std::optional<std::string> aside = MoveAside(path, path + ".unreadable");
    if (!aside)
        return OpenState::Failed;
    // The log belongs to the damaged file; left here, it would be played into the new one.
    MoveAside(path + "-wal", *aside + "-wal");
    unlink((path + "-shm").c_str());
    m_setAside = *aside;
    if (m_db.Open(path, SqliteDb::Mode::ReadWriteCreate) && CreateSchema())
        return OpenState::SetAside;
    m_db.Close();
    return OpenState::Failed;
}

bool TrackRecords::CreateSchema()
{
    // The write-ahead log synced at every commit: each press is on the disk once stored.
    return m_db.Exec("PRAGMA journal_mode=WAL") && m_db.Exec("PRAGMA synchronous=FULL") &&
           m_db.Exec("PRAGMA busy_timeout=2000") &&
           // A few hundred rows a year: a small page cache keeps the windows light.
           m_db.Exec("PRAGMA cache_size=-256") && m_db.Exec(kSchema) &&
           m_db.Exec("SELECT count(*) FROM kick_session");
}

std::optional<KickSession> TrackRecords::KickSessionById(std::int64_t id) const
{
    const auto found = QueryKickSessions("WHERE id = ?1", id);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

std::vector<KickSession> TrackRecords::QueryKickSessions(const char* where,
                                                         std::int64_t value) const
{
    std::vector<KickSession> sessions;
    SqliteStatement query(m_db, std::string(kKickColumns) + where + " ORDER BY started, id");
    if (!query.IsValid() || !query.BindInt(1, value))
        return sessions;
    while (query.Step() && query.HasRow())
        sessions.push_back(KickFromRow(query));
    return sessions;
}

std::optional<KickSession> TrackRecords::RunningKickSession() const
{
    const auto running = QueryKickSessions("WHERE outcome = ?1", 0);
    if (running.empty())
        return std::nullopt;
    return running.back();
}

std::optional<KickSession> TrackRecords::PressKick(std::int64_t now)
{
    std::int64_t id = 0;
    const bool stored = InTransaction(m_db, [&] {
        if (const auto running = RunningKickSession()) {
            id = running->id;
            SqliteStatement update(m_db, "UPDATE kick_session SET count = count + 1,"
                                         " ended = CASE WHEN count + 1 >= ?2 THEN ?3 ELSE 0 END,"
                                         " outcome = CASE WHEN count + 1 >= ?2 THEN 1 ELSE 0 END"
                                         " WHERE id = ?1");
            return update.BindInt(1, id) && update.BindInt(2, kKicksToCount) &&
                   update.BindInt(3, now) && update.Step();
        }
        SqliteStatement insert(m_db, "INSERT INTO kick_session (started, count) VALUES (?1, 1)");
        if (!insert.BindInt(1, now) || !insert.Step())
            return false;
        id = sqlite3_last_insert_rowid(m_db.Handle());
        return true;
    });
    if (!stored)
        return std::nullopt;
    return KickSessionById(id);
}

bool TrackRecords::EndKickSession(std::int64_t id, std::int64_t ended, KickOutcome outcome)
{
    SqliteStatement update(m_db, "UPDATE kick_session SET ended = ?2, outcome = ?3 WHERE id = ?1");
    return update.BindInt(1, id) && update.BindInt(2, ended) &&
           update.BindInt(3, static_cast<int>(outcome)) && update.Step();
}

bool TrackRecords::DiscardKickSession(std::int64_t id)
{
    SqliteStatement remove(m_db, "DELETE FROM kick_session WHERE id = ?1");
    return remove.BindInt(1, id) && remove.Step();
}

std::vector<KickSession> TrackRecords::KickSessionsSince(std::int64_t since) const
{
    return QueryKickSessions("WHERE started >= ?1", since);
}

std::int64_t TrackRecords::CurrentSeries() const
{
    SqliteStatement query(m_db, "SELECT coalesce(max(id), 0) FROM contraction_series");
    if (!query.IsValid() || !query.Step() || !query.HasRow())
        return 0;
    return query.ColumnInt(0);
}

std::vector<Contraction> TrackRecords::SeriesContractions(std::int64_t series) const
{
    std::vector<Contraction> found;
    SqliteStatement query(m_db, "SELECT id, series, started, ended FROM contraction"
                                " WHERE series = ?1 ORDER BY started, id");
    if (!query.IsValid() || !query.BindInt(1, series))
        return found;
    while (query.Step() && query.HasRow())
        found.push_back(
            {query.ColumnInt(0), query.ColumnInt(1), query.ColumnInt(2), query.ColumnInt(3)});
    return found;
}

std::optional<Contraction> TrackRecords::ToggleContraction(std::int64_t now)
{
    std::int64_t series = 0;
    const bool stored = InTransaction(m_db, [&] {
        series = CurrentSeries();
        if (series == 0) {
            SqliteStatement insert(m_db, "INSERT INTO contraction_series (started) VALUES (?1)");
            if (!insert.BindInt(1, now) || !insert.Step())
                return false;
            series = sqlite3_last_insert_rowid(m_db.Handle());
        }
        SqliteStatement end(m_db, "UPDATE contraction SET ended = max(?2, started)"
                                  " WHERE series = ?1 AND ended = 0");
        if (!end.BindInt(1, series) || !end.BindInt(2, now) || !end.Step())
            return false;
        if (sqlite3_changes(m_db.Handle()) > 0)
            return true;
        SqliteStatement start(m_db, "INSERT INTO contraction (series, started) VALUES (?1, ?2)");
        return start.BindInt(1, series) && start.BindInt(2, now) && start.Step();
    });
    if (!stored)
        return std::nullopt;
    const std::vector<Contraction> all = SeriesContractions(series);
    if (all.empty())
        return std::nullopt;
    return all.back();
}

bool TrackRecords::StartNewSeries(std::int64_t now)
{
    return InTransaction(m_db, [&] {
        // A contraction still lasting is closed with the old series.
        SqliteStatement end(m_db,
                            "UPDATE contraction SET ended = max(?1, started) WHERE ended = 0");
        SqliteStatement insert(m_db, "INSERT INTO contraction_series (started) VALUES (?1)");
        return end.BindInt(1, now) && end.Step() && insert.BindInt(1, now) && insert.Step();
    });
}

std::string TrackRecords::ExportCsv() const
{
    std::string csv = "\xEF\xBB\xBF"
                      "记录,开始,结束,时长(秒),胎动次数,结果,距上次开始(秒),宫缩组\r\n";
    for (const KickSession& s : KickSessionsSince(0)) {
        csv += "数胎动," + CsvField(LocalDateTimeText(s.started)) + ',' +
               (s.IsRunning() ? std::string() : LocalDateTimeText(s.ended)) + ',' +
               (s.IsRunning() ? std::string() : std::to_string(s.Duration())) + ',' +
               std::to_string(s.count) + ',' + OutcomeText(s.outcome) + ",,\r\n";
    }
    SqliteStatement series(m_db, "SELECT id FROM contraction_series ORDER BY id");
    std::vector<std::int64_t> ids;
    while (series.IsValid() && series.Step() && series.HasRow())
        ids.push_back(series.ColumnInt(0));
    for (std::int64_t id : ids) {
        std::int64_t previous = 0;
        for (const Contraction& c : SeriesContractions(id)) {
            csv += "宫缩," + LocalDateTimeText(c.started) + ',' +
                   (c.IsRunning() ? std::string() : LocalDateTimeText(c.ended)) + ',' +
                   (c.IsRunning() ? std::string() : std::to_string(c.Length())) + ",,," +
                   (previous ? std::to_string(c.started - previous) : std::string()) + ',' +
                   std::to_string(id) + "\r\n";
            previous = c.started;
        }
    }
    return csv;
}
