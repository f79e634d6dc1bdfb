#include "update/update_worker.h"

#include "update/staging.h"
#include "update/update_log.h"

#include "host/diagnostics.h"
#include "host/endpoints.h"
#include "host/file_io.h"
#include "host/host_utils.h"
#include "host/paths.h"
#include "host/text_codec.h"
#include "host/xml_text.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kWho = "worker";

bool Cancelled(const UpdateSettings& settings)
{
    return settings.cancel && settings.cancel->load();
}

HttpLimits LimitsWithCap(const UpdateSettings& settings, std::uint64_t cap)
{
    HttpLimits limits = settings.limits;
    limits.maxBodyBytes = static_cast<std::size_t>(std::min<std::uint64_t>(cap, SIZE_MAX));
    return limits;
}

// A text-mode GET: the client when it answered, and its body then holds the response.
std::unique_ptr<HttpClient> FetchText(const std::wstring& url, const UpdateSettings& settings,
                                      std::size_t cap)
{
    auto client = std::make_unique<HttpClient>(url);
    client->SetLimits(LimitsWithCap(settings, cap));
    client->SetCancelFlag(settings.cancel);
    client->SetSession(settings.session);
    if (!client->SendHttpRequest(true, L"GET", false))
        return nullptr;
    return client;
}

bool Succeeded(const std::unique_ptr<HttpClient>& client)
{
    return client && client->GetStatusCode() / 100 == 2;
}

std::string Lowercase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Mebibytes(std::uint64_t bytes)
{
    return std::to_string((bytes + 1024 * 1024 - 1) / (1024 * 1024)) + " MiB";
}

void Log(const std::string& root, const std::string& line) { LogUpdateLine(root, kWho, line); }

} // namespace

UpdateSettings DefaultUpdateSettings(const PublicKey& key)
{
    UpdateSettings settings;
    settings.programDir = GetProgramDir();
    settings.serverBase = DesktopServer() + L"/quelmo/";
    settings.key = key;
    return settings;
}

bool ParseServerList(TiXmlDocument& doc, std::string_view bytes)
{
    // UTF-8 from the server, read by the XML library in the legacy narrow encoding.
    return ParseXmlText(doc, WideToAnsi(Utf8ToWide(bytes)));
}

std::vector<ListedFile> FilesToStage(const SignedVersionList& server,
                                     const TiXmlDocument& installed)
{
    // The first installed entry of each path, looked up once per server entry.
    std::unordered_map<std::string, std::string> installedByPath;
    if (const TiXmlElement* root = installed.FirstChildElement()) {
        for (const TiXmlElement* i = root->FirstChildElement(); i; i = i->NextSiblingElement()) {
            const char* p = i->Attribute("p");
            const char* v = i->Attribute("v");
            if (p)
                installedByPath.emplace(p, v ? v : "");
        }
    }
    std::vector<ListedFile> files;
    for (const ListedFile& file : server.files) {
        const auto found = installedByPath.find(file.p);
        if (found == installedByPath.end() || found->second != file.v)
            files.push_back(file);
    }
    return files;
}

std::string StagedFileListText(const std::vector<ListedFile>& files)
{
    TiXmlDocument doc;
    auto* list = new TiXmlElement("List");
    doc.LinkEndChild(list);
    for (const ListedFile& file : files) {
        auto* element = new TiXmlElement("File");
        element->SetAttribute("p", file.p.c_str());
        element->SetAttribute("v", file.v.c_str());
        list->LinkEndChild(element);
    }
    TiXmlPrinter printer;
    doc.Accept(&printer);
    return printer.Str();
}

std::string DownloadFile(const std::wstring& url, const std::string& folder,
                         const std::string& relative, std::string_view sha256, std::uint64_t size,
                         const UpdateSettings& settings)
{
    StagedFileStream stream(folder, relative);
    HttpClient client(url);
    client.SetLimits(LimitsWithCap(settings, size));
    client.SetCancelFlag(settings.cancel);
    client.SetSession(settings.session);
    client.SetBodySink(&stream);
    const bool answered = client.SendHttpRequest(false, L"GET", true);
    if (client.GetStatusCode() != 0 && client.GetStatusCode() / 100 != 2)
        return "status " + std::to_string(client.GetStatusCode());
    if (client.BodyOverCap())
        return "more than its " + std::to_string(size) + " bytes";
    if (!answered)
        return Cancelled(settings) ? "stopped: the program quits"
                                   : "no whole answer (cut, too slow or not written)";
    if (stream.Size() != size)
        return "short: " + std::to_string(stream.Size()) + " of " + std::to_string(size) + " bytes";
    if (stream.Hex() != Lowercase(std::string(sha256)))
        return "its SHA-256 differs from the signed list";
    if (!stream.Commit())
        return "it could not be written";
    return {};
}

UpdateOutcome RunUpdateCheck(const UpdateSettings& given)
{
    // One connection for the list, its signature and every file.
    HttpSession session;
    UpdateSettings settings = given;
    settings.session = &session;
    const std::string root = WideToAnsi(settings.programDir);
    const std::string staging = root + WideToAnsi(kStagingTail);
    // Staged files are named from the program folder, so that no folder on the way, the
    // staging folder included, can be a link elsewhere.
    const std::string stagingRelative = WideToAnsi(kStagingTail).substr(1) + "/";
    const std::wstring listUrl = settings.serverBase + kServerListPath;

    // The list counts only when its exact bytes carry a good signature. The short signature
    // comes first: as the first answer on a connection it is not held back by a server that
    // waits for our delayed acknowledgement before it sends a small last piece (40 ms).
    const auto signature = FetchText(listUrl + L".sig", settings, kMaxSignatureBytes);
    std::unique_ptr<HttpClient> list;
    if (signature)
        list = FetchText(listUrl, settings, settings.maxListBytes);
    if (!Succeeded(list)) {
        // An unreachable server is no refusal: the trace says it, the log stays quiet.
        HostWarning("update worker: the server's version list is unavailable");
        return UpdateOutcome::NoServerList;
    }
    if (!Succeeded(signature)) {
        Log(root, "refused the server's list: it is not signed");
        return UpdateOutcome::NoServerList;
    }
    if (!VerifyListSignature(list->GetResponseBytes(), signature->GetResponseBytes(),
                             settings.key)) {
        Log(root, "refused the server's list: its signature is not good");
        return UpdateOutcome::NoServerList;
    }

    TiXmlDocument installedDoc;
    const auto installedText = ReadWholeFile(root + WideToAnsi(kInstalledListTail), kMaxListBytes);
    if (!installedText || !ParseXmlText(installedDoc, *installedText) ||
        !installedDoc.FirstChildElement()) {
        Log(root, "no update: the installed version list cannot be read");
        return UpdateOutcome::NoInstalledList;
    }
    const TiXmlElement* installedRoot = installedDoc.FirstChildElement();
    const std::string installedVersion =
        installedRoot->Attribute("v") ? installedRoot->Attribute("v") : "";

    // Refused whole, before any download, when a path is not installable: a list naming a
    // folder or the profile is never fetched again and again.
    const auto reading =
        ReadSignedVersionList(list->GetResponseBytes(), [&root](const std::string& relative) {
            std::error_code ignored;
            return fs::is_directory(root + "/" + relative, ignored);
        });
    if (!reading.list) {
        Log(root, "refused the server's list: " + reading.refusal);
        return UpdateOutcome::Refused;
    }
    const SignedVersionList& server = *reading.list;
    if (server.expires < static_cast<std::int64_t>(std::time(nullptr))) {
        Log(root, "no update: the server's list is stale (version " + server.version + " expired " +
                      FormatUtcTime(server.expires) + ")");
        return UpdateOutcome::Expired;
    }
    if (!IsNewerVersion(server.version, installedVersion)) {
        Log(root, "no update: the server's version " + server.version +
                      " is not newer than the installed " + installedVersion);
        return UpdateOutcome::NotNewer;
    }
    const auto installedMade =
        ParseUtcTime(installedRoot->Attribute("made") ? installedRoot->Attribute("made") : "");
    if (installedMade && server.made < *installedMade) {
        Log(root, "no update: the server's list " + server.version + " was made " +
                      FormatUtcTime(server.made) + ", before the installed " + installedVersion +
                      " (" + FormatUtcTime(*installedMade) + ")");
        return UpdateOutcome::NotNewer;
    }

    const std::vector<ListedFile> files = FilesToStage(server, installedDoc);
    std::uint64_t total = 0;
    for (const ListedFile& file : files)
        total += file.size;
    if (total > settings.maxUpdateBytes) {
        Log(root, "refused the server's list " + server.version + ": its " + Mebibytes(total) +
                      " are over the " + Mebibytes(settings.maxUpdateBytes) +
                      " an update may carry");
        return UpdateOutcome::Refused;
    }
    std::error_code spaceError;
    const fs::space_info space = fs::space(root, spaceError);
    if (spaceError || space.available < total || space.available - total < settings.spareBytes) {
        Log(root, "no update: version " + server.version + " needs " + Mebibytes(total) + " and " +
                      Mebibytes(settings.spareBytes) + " to spare, the disk has " +
                      (spaceError ? std::string("an unknown amount") : Mebibytes(space.available)) +
                      " free");
        return UpdateOutcome::Refused;
    }

    // A staged list from an earlier, unfinished run must not make this one look ready.
    std::error_code ignored;
    fs::remove(staging + "/" + kStagedVersionList, ignored);
    fs::remove(staging + "/" + kStagedVersionList + kSignatureSuffix, ignored);

    bool allArrived = true;
    for (const ListedFile& file : files) {
        if (Cancelled(settings)) {
            allArrived = false;
            break;
        }
        const std::string failure =
            DownloadFile(ToForwardSlashes(settings.serverBase + L"Bin\\" + AnsiToWide(file.p)),
                         root, stagingRelative + file.relative, file.sha256, file.size, settings);
        if (!failure.empty() && !Cancelled(settings))
            Log(root, "\"" + file.p + "\" of version " + server.version + " failed: " + failure);
        allArrived = allArrived && failure.empty();
    }

    if (!WriteStagedFile(root, stagingRelative + kStagedFileList, StagedFileListText(files)))
        allArrived = false;
    if (!allArrived || Cancelled(settings))
        return UpdateOutcome::Incomplete;
    // The exact bytes received, so that the updater can check the signature again.
    const std::string stagedList = stagingRelative + kStagedVersionList;
    if (!WriteStagedFile(root, stagedList + kSignatureSuffix, signature->GetResponseBytes()) ||
        !WriteStagedFile(root, stagedList, list->GetResponseBytes())) {
        Log(root, "version " + server.version +
                      " could not be staged: the staging folder cannot be written");
        return UpdateOutcome::Incomplete;
    }
    return UpdateOutcome::Ready;
}
