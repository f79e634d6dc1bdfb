#include "remind/tip_database.h"

#include "host/file_io.h"
#include "host/host_utils.h"
#include "host/paths.h"
#include "host/services.h"
#include "host/text_codec.h"
#include "profile/app_data.h"

namespace {

constexpr const char* kTipStatement = "select id,baby from tavro_tip;";
constexpr const char* kBabyStatement = "select id,height from tavro_baby;";
constexpr const wchar_t* kEscapedLineBreak = L"\\r\\n";
constexpr const wchar_t* kFailed = L"false";
constexpr const wchar_t* kBabyQueryFailed = L"查询婴儿状态by周错误";
constexpr const wchar_t* kCaption = L"Tavro";

} // namespace

std::string TipDatabasePath(const std::wstring& programDir)
{
    // SQLite takes UTF-8 file names, whatever the machine's legacy encoding is.
    return WideToUtf8(programDir + kTipDatabaseTail);
}

std::wstring RemoveEscapedLineBreaks(std::wstring text)
{
    const std::wstring escape = kEscapedLineBreak;
    std::wstring::size_type at = 0;
    while ((at = text.find(escape, at)) != std::wstring::npos)
        text.erase(at, escape.size());
    return text;
}

std::wstring PickRow(const std::vector<std::wstring>& rows, int n)
{
    if (n <= 0 || static_cast<std::size_t>(n) > rows.size())
        return {};
    return rows[static_cast<std::size_t>(n) - 1];
}

CTipDatabase::CTipDatabase(const std::wstring& programDir) : m_strPath(TipDatabasePath(programDir))
{
    // Read-only: the program never writes here, and a missing file must stay missing
    // instead of turning into an empty database. Only a regular file: opening a FIFO in
    // its place would block the program.
    m_bOpen = IsRegularFile(m_strPath) && m_db.Open(m_strPath, SqliteDb::Mode::ReadOnly);
}

int CTipDatabase::OnRow(void* user, int columns, char** values, char**)
{
    const char* value = columns > 1 && values ? values[1] : nullptr;
    static_cast<CTipDatabase*>(user)->m_strRows.push_back(
        RemoveEscapedLineBreaks(value ? AnsiToWide(value) : std::wstring()));
    return 0;
}

std::wstring CTipDatabase::Query(const char* statement, int n, bool reportFailure)
{
    m_strRows.clear();
    const bool ran = m_bOpen && m_db.Exec(statement, &CTipDatabase::OnRow, this);
    std::wstring result = ran ? PickRow(m_strRows, n) : std::wstring(kFailed);
    // Cleared before the box: its nested event loop may run another query.
    m_strRows.clear();
    if (!ran && reportFailure)
        CurrentServices().messageBox->Show(kBabyQueryFailed, kCaption, BoxIcon::Warning);
    return result;
}

std::wstring CTipDatabase::QueryTip(int nDay) { return Query(kTipStatement, nDay, false); }

std::wstring CTipDatabase::QueryBaby(int nWeek, bool reportFailure)
{
    return Query(kBabyStatement, nWeek, reportFailure);
}

std::wstring GetTipOfDay(CTipDatabase& db, const CTavroAppData& app)
{
    return db.QueryTip(app.daysPregnant);
}

std::wstring GetBabyOfWeek(CTipDatabase& db, const CTavroAppData& app, bool reportFailure)
{
    return db.QueryBaby(app.pregnancyWeek, reportFailure);
}
