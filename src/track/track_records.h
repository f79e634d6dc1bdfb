#pragma once

// The user's own records of movements and contractions: one SQLite file beside the profile,
// written one press per transaction with the write-ahead log synced at each commit, so that
// a kill or a power cut loses at most the press in flight.

#include "remind/sqlite_db.h"
#include "track/track_rules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TrackRecords
{
public:
    enum class OpenState
    {
        Opened,
        // The file could not be read as records; it was moved aside and a fresh one started.
        SetAside,
        Failed,
    };

    // Opens or creates the records. A file that is not a database, or a damaged one, is
    // renamed to "<name>.unreadable" (with its log) and a fresh one is made in its place.
    OpenState Open(const std::string& path);
    bool IsOpen() const { return m_db.IsOpen(); }
    // The name the unreadable file was given by the last Open, if it set one aside.
    const std::string& SetAsideName() const { return m_setAside; }

    std::optional<KickSession> RunningKickSession() const;
    // One press: starts a session when none runs, otherwise counts; the tenth press ends
    // the session. Nothing when the press could not be stored.
    std::optional<KickSession> PressKick(std::int64_t now);
    bool EndKickSession(std::int64_t id, std::int64_t ended, KickOutcome outcome);
    bool DiscardKickSession(std::int64_t id);
    // Sessions that started at or after `since`, oldest first.
    std::vector<KickSession> KickSessionsSince(std::int64_t since) const;

    // The series that new contractions join; 0 before the first one.
    std::int64_t CurrentSeries() const;
    std::vector<Contraction> SeriesContractions(std::int64_t series) const;
    // Ends the contraction that lasts, or starts one (and a series when there is none).
    std::optional<Contraction> ToggleContraction(std::int64_t now);
    // Starts an empty series; the earlier ones stay.
    bool StartNewSeries(std::int64_t now);

    // Both records as one table, UTF-8 with a byte-order mark and a header row, local times.
    std::string ExportCsv() const;

private:
    bool CreateSchema();
    std::optional<KickSession> KickSessionById(std::int64_t id) const;
    std::vector<KickSession> QueryKickSessions(const char* sql, std::int64_t value) const;

    SqliteDb m_db;
    std::string m_setAside;
};
