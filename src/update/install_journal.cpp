#include "update/install_journal.h"

#include "host/text_codec.h"

#include <filesystem>

bool UnfinishedInstallFound(const std::wstring& programDir)
{
    if (programDir.empty())
        return false;
    std::error_code error;
    const std::filesystem::path journal(WideToUtf8(programDir) + std::string(kInstallJournalTail));
    return std::filesystem::symlink_status(journal, error).type() !=
               std::filesystem::file_type::not_found &&
           !error;
}
