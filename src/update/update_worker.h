#pragma once

// The update check: once per start the worker compares the desktop server's signed version
// list with the installed one and, when it is fresh and newer, downloads every file whose
// version differs into the staging folder, writes the list of staged files and a copy of the
// server's list with its signature, and reports that an update is ready. It installs nothing and
// writes nothing outside the staging folder.

#include "update/http_client.h"
#include "update/update_signing.h"
#include "update/version_list.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TiXmlDocument;

// The staging folder below the program folder. On Windows it is "Release\Update", beside
// "Update.exe"; here the updater is "Release/Update" itself, so the folder needs a name of
// its own.
inline constexpr const wchar_t* kStagingTail = L"/Release/Update.staging";
inline constexpr const wchar_t* kInstalledListTail = L"/Release/version.xml";
// Below the staging folder: the list of staged files and the staged copy of the server's
// list, which lies where the installed list lies below the program folder.
inline constexpr const char* kStagedFileList = "update.xml";
inline constexpr const char* kStagedVersionList = "Release/version.xml";
inline constexpr const char* kSignatureSuffix = ".sig";
// Below the server's base address.
inline constexpr const wchar_t* kServerListPath = L"Bin/Release/version.xml";

// Byte caps: a list of a few thousand files is well under a megabyte. A whole update may
// carry at most kMaxUpdateBytes, and the program folder's disk must hold it with
// kSpareBytes to spare.
inline constexpr std::size_t kMaxListBytes = 4u * 1024 * 1024;
inline constexpr std::size_t kMaxSignatureBytes = 1024;
inline constexpr std::uint64_t kMaxUpdateBytes = 1024ull * 1024 * 1024;
inline constexpr std::uint64_t kSpareBytes = 64ull * 1024 * 1024;

struct UpdateSettings
{
    std::wstring programDir;
    // The desktop server's base address, ending in "/quelmo/".
    std::wstring serverBase;
    PublicKey key{};
    HttpLimits limits;
    std::size_t maxListBytes = kMaxListBytes;
    std::uint64_t maxUpdateBytes = kMaxUpdateBytes;
    std::uint64_t spareBytes = kSpareBytes;
    const std::atomic<bool>* cancel = nullptr;
    // The connection the requests share; RunUpdateCheck sets its own for its requests.
    HttpSession* session = nullptr;
};

// The program's own settings: its folder, the configured desktop server and `key`.
UpdateSettings DefaultUpdateSettings(const PublicKey& key);

enum class UpdateOutcome
{
    NoInstalledList, // missing or unreadable: nothing written
    NoServerList,    // unavailable, unsigned or badly signed: nothing written
    Refused,         // signed but not installable (a refused path, no sizes, too big): nothing
    Expired,         // the list's time is over: nothing written
    NotNewer,        // older or equal, or made before the installed list: nothing written
    Incomplete,      // some staged file did not arrive (or the program quit): not marked ready
    Ready,           // every staged file arrived; the staged list is written
};

// One run of the check. The caller tells the parent window when it answers Ready. Every
// refusal and every failed file leaves a line in the trace and the update log.
UpdateOutcome RunUpdateCheck(const UpdateSettings& settings);

// Downloads url to `folder`/`relative`, streamed: written under a temporary name as it
// arrives and renamed only when the request succeeded with a 2xx status and exactly `size`
// bytes whose SHA-256 is `sha256` (lowercase hex). The transfer stops the moment it passes
// `size`. The folders on the way are made and checked as for WriteStagedFile. Empty on
// success, otherwise why the file failed.
std::string DownloadFile(const std::wstring& url, const std::string& folder,
                         const std::string& relative, std::string_view sha256, std::uint64_t size,
                         const UpdateSettings& settings);

// Parses the server list's bytes as the worker does.
bool ParseServerList(TiXmlDocument& doc, std::string_view bytes);
// The files of `server` to stage: each whose path the installed list lacks or lists with
// another "v", in the server's order, duplicates included.
std::vector<ListedFile> FilesToStage(const SignedVersionList& server,
                                     const TiXmlDocument& installed);
// The text of "update.xml": a "List" with one "File" per entry, "p" then "v".
std::string StagedFileListText(const std::vector<ListedFile>& files);
