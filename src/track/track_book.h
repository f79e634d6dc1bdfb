#pragma once

// What the two windows share: the records, opened when first needed, and the watch over a
// running movement session, which ends it after two hours whether or not its window is
// open. Nothing here runs while no session does.

#include "track/track_records.h"

#include <QLoggingCategory>
#include <QPoint>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>
#include <string>

class TrackBook
{
public:
    // The records live in "<programDir>/Release/conf/records.db"; the folder is read when
    // they are first needed, so it may be set after this object is made.
    explicit TrackBook(const std::wstring& programDir);

    // The open records, or null when they cannot be had (the user was told once).
    TrackRecords* Records();
    // At start: a session left running by an earlier run is watched again, or ended if its
    // two hours are over. Records that were never made are not made here.
    void Resume();

    // Ends the running session if its two hours are over (the user is told to go to
    // hospital), then watches what runs. Called after every change to the session.
    void CheckKickSession();
    bool IsWatching() const { return m_watch.isActive(); }

    // Writes both records as a table to a file the user picks; tells her how it went.
    void Export();

    // Told after a session ended by itself, so that an open window shows it.
    std::function<void()> onKickSessionEnded;

    std::string Path() const;

    // Where each window (by its form's name) was when it was last closed: the windows are
    // destroyed when closed, and one opened again comes back where she left it.
    std::optional<QPoint> Place(const std::wstring& window) const;
    void SetPlace(const std::wstring& window, QPoint place) { m_places[window] = place; }

private:
    const std::wstring& m_programDir;
    TrackRecords m_records;
    bool m_bTried = false;
    QTimer m_watch;
    std::map<std::wstring, QPoint> m_places;
};

// What the tools did, for the trace.
Q_DECLARE_LOGGING_CATEGORY(lcTrack)

// The words the windows and the box share.
inline constexpr const wchar_t* kGoToHospital = L"请立即去医院";
