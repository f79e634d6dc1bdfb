#pragma once

// The tip database: the tip for each day of pregnancy and the baby's figures for each
// week, read from Release/data/tavro_tip.db below the program folder.
//
// The object owns its connection: the application object creates one at start-up, which
// opens the file read-only, and keeps it for the rest of the run. A failed open is not
// retried; every query then fails.

#include "remind/sqlite_db.h"

#include <string>
#include <vector>

class CTavroAppData;

class CTipDatabase
{
public:
    // Opens the database below the given program folder.
    explicit CTipDatabase(const std::wstring& programDir);
    CTipDatabase(const CTipDatabase&) = delete;
    CTipDatabase& operator=(const CTipDatabase&) = delete;

    // Row nDay of "tavro_tip", counted from 1 in stored order. Empty when there is no such
    // row; "false" when the query fails.
    std::wstring QueryTip(int nDay);
    // Row nWeek of "tavro_baby". A failed query shows "查询婴儿状态by周错误" first, unless
    // the caller has told the user already (reportFailure false).
    std::wstring QueryBaby(int nWeek, bool reportFailure = true);

    bool IsOpen() const { return m_bOpen; }
    const std::string& Path() const { return m_strPath; }

private:
    // sqlite3_exec's row callback: collects the second column of every row.
    static int OnRow(void* user, int columns, char** values, char** names);
    std::wstring Query(const char* statement, int n, bool reportFailure);

    SqliteDb m_db;
    bool m_bOpen = false;
    std::string m_strPath;
    // One entry per row, so a line feed inside a text never moves the rows after it.
    std::vector<std::wstring> m_strRows;
};

// The reminder window's shorthands: the tip of the day and the figures of the week, for
// the calendar values as they stand in the given object.
std::wstring GetTipOfDay(CTipDatabase& db, const CTavroAppData& app);
std::wstring GetBabyOfWeek(CTipDatabase& db, const CTavroAppData& app, bool reportFailure = true);

// The database file below a program folder, as the UTF-8 name SQLite takes.
std::string TipDatabasePath(const std::wstring& programDir);
// Removes every backslash-r-backslash-n escape from a stored text.
std::wstring RemoveEscapedLineBreaks(std::wstring text);
// Entry n, counted from 1; empty for 0, negative numbers and numbers beyond the rows.
std::wstring PickRow(const std::vector<std::wstring>& rows, int n);
