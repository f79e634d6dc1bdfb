#pragma once

// The update check: once per start the worker compares the desktop server's version list
// with the installed one, downloads every file whose version differs into the staging
// folder, writes the list of staged files and a copy of the server's list with its
// signature, and reports that an update is ready. It installs nothing and writes nothing
// outside the staging folder.

#include "update/http_client.h"
#include "update/update_signing.h"

#include <atomic>
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

// Byte caps: a list of a few thousand files is well under a megabyte; the largest file the
// program ships (the web module) is tens of megabytes.
inline constexpr std::size_t kMaxListBytes = 4u * 1024 * 1024;
inline constexpr std::size_t kMaxSignatureBytes = 1024;
inline constexpr std::size_t kMaxFileBytes = 256u * 1024 * 1024;

struct UpdateSettings
{
    std::wstring programDir;
    // The desktop server's base address, ending in "/quelmo/".
    std::wstring serverBase;
    PublicKey key{};
    HttpLimits limits;
    std::size_t maxListBytes = kMaxListBytes;
    std::size_t maxFileBytes = kMaxFileBytes;
    const std::atomic<bool>* cancel = nullptr;
    // The connection the requests share; RunUpdateCheck sets its own for its requests.
    HttpSession* session = nullptr;
};

// The program's own settings: its folder, the configured desktop server and the trusted key.
UpdateSettings DefaultUpdateSettings();

enum class UpdateOutcome
{
    NoInstalledList, // missing or unreadable: nothing written
    NoServerList,    // unavailable, not XML or badly signed: nothing written
    SameVersion,     // the roots' "v" are equal: nothing written
    Incomplete,      // some staged file did not arrive (or the program quit): not marked ready
    Ready,           // every staged file arrived; the staged list is written
};

// One run of the check. The caller tells the parent window when it answers Ready.
UpdateOutcome RunUpdateCheck(const UpdateSettings& settings);

// Downloads url to path: written under a temporary name and renamed, only when the request
// succeeded with a 2xx status, the body is whole and its SHA-256 is `sha256` (lowercase hex).
bool DownloadFile(const std::wstring& url, const std::string& path, std::string_view sha256,
                  const UpdateSettings& settings);

// A path from a version list as a relative path with '/' separators, or nothing when it is
// empty, absolute, names a folder or climbs out with "..".
std::optional<std::string> SafeRelativePath(std::string_view p);

// An absent attribute compares equal to another absent one and unequal to any text.
using Attribute = std::optional<std::string>;

// One server entry to stage: its attributes and, when the path is safe, where it goes
// below the staging folder.
struct PlannedFile
{
    Attribute p;
    Attribute v;
    Attribute sha256;
    std::optional<std::string> relative;
};

struct UpdatePlan
{
    bool differentVersion = false;  // the roots' "v" differ as exact text
    std::vector<PlannedFile> files; // in the server's order, duplicates included
};

// Parses the server list's bytes as the worker does.
bool ParseServerList(TiXmlDocument& doc, std::string_view bytes);
// What to stage; nothing when either list has no root element.
std::optional<UpdatePlan> PlanUpdate(const TiXmlDocument& server, const TiXmlDocument& installed);
// The text of "update.xml": a "List" with one "File" per entry, "p" then "v".
std::string StagedFileListText(const std::vector<PlannedFile>& files);
