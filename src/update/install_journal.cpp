#include "update/install_journal.h"

#include "host/text_codec.h"
#include "update/update_worker.h"

#include <filesystem>

namespace {

// Whether anything (a link too) lies at the program folder followed by `tail`.
bool FoundBelow(const std::wstring& programDir, const std::string& tail)
{
    if (programDir.empty())
        return false;
    std::error_code error;
    const std::filesystem::path path(WideToUtf8(programDir) + tail);
    return std::filesystem::symlink_status(path, error).type() !=
               std::filesystem::file_type::not_found &&
           !error;
}

} // namespace

bool UnfinishedInstallFound(const std::wstring& programDir)
{
    return FoundBelow(programDir, std::string(kInstallJournalTail));
}

bool StagedUpdateFound(const std::wstring& programDir)
{
    return FoundBelow(programDir, WideToUtf8(kStagingTail));
}
