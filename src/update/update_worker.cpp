#include "update/update_worker.h"

#include "update/staging.h"

#include "host/endpoints.h"
#include "host/file_io.h"
#include "host/host_utils.h"
#include "host/paths.h"
#include "host/text_codec.h"
#include "host/xml_text.h"

#include <tinyxml.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;

namespace {

Attribute AttributeOf(const TiXmlElement* element, const char* name)
{
    const char* value = element->Attribute(name);
    return value ? Attribute(value) : std::nullopt;
}

bool Cancelled(const UpdateSettings& settings)
{
    return settings.cancel && settings.cancel->load();
}

HttpLimits LimitsWithCap(const UpdateSettings& settings, std::size_t cap)
{
    HttpLimits limits = settings.limits;
    limits.maxBodyBytes = cap;
    return limits;
}

// The body of a successful 2xx text-mode GET; nothing otherwise.
std::unique_ptr<HttpClient> FetchText(const std::wstring& url, const UpdateSettings& settings,
                                      std::size_t cap)
{
    auto client = std::make_unique<HttpClient>(url);
    client->SetLimits(LimitsWithCap(settings, cap));
    client->SetCancelFlag(settings.cancel);
    client->SetSession(settings.session);
    if (!client->SendHttpRequest(true, L"GET", false) || client->GetStatusCode() / 100 != 2)
        return nullptr;
    return client;
}

std::string Lowercase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

UpdateSettings DefaultUpdateSettings()
{
    UpdateSettings settings;
    settings.programDir = GetProgramDir();
    settings.serverBase = DesktopServer() + L"/quelmo/";
    settings.key = TrustedUpdateKey();
    return settings;
}

bool ParseServerList(TiXmlDocument& doc, std::string_view bytes)
{
    // UTF-8 from the server, read by the XML library in the legacy narrow encoding.
    return ParseXmlText(doc, WideToAnsi(Utf8ToWide(bytes)));
}

std::optional<UpdatePlan> PlanUpdate(const TiXmlDocument& server, const TiXmlDocument& installed)
{
    const TiXmlElement* serverRoot = server.FirstChildElement();
    const TiXmlElement* installedRoot = installed.FirstChildElement();
    if (!serverRoot || !installedRoot)
        return std::nullopt;
    UpdatePlan plan;
    plan.differentVersion = AttributeOf(serverRoot, "v") != AttributeOf(installedRoot, "v");
    if (!plan.differentVersion)
        return plan;
    // The first installed entry of each path, looked up once per server entry.
    std::unordered_map<std::string, Attribute> installedByPath;
    std::optional<Attribute> installedWithoutPath;
    for (const TiXmlElement* i = installedRoot->FirstChildElement(); i;
         i = i->NextSiblingElement()) {
        const Attribute pI = AttributeOf(i, "p");
        if (pI)
            installedByPath.emplace(*pI, AttributeOf(i, "v"));
        else if (!installedWithoutPath)
            installedWithoutPath = AttributeOf(i, "v");
    }
    for (const TiXmlElement* s = serverRoot->FirstChildElement(); s; s = s->NextSiblingElement()) {
        const Attribute pS = AttributeOf(s, "p");
        const Attribute vS = AttributeOf(s, "v");
        std::optional<Attribute> vI = installedWithoutPath;
        if (pS) {
            const auto found = installedByPath.find(*pS);
            vI = found == installedByPath.end() ? std::nullopt : std::optional(found->second);
        }
        if (!vI || *vI != vS)
            plan.files.push_back(
                {pS, vS, AttributeOf(s, "sha256"), pS ? SafeRelativePath(*pS) : std::nullopt});
    }
    return plan;
}

std::string StagedFileListText(const std::vector<PlannedFile>& files)
{
    TiXmlDocument doc;
    auto* list = new TiXmlElement("List");
    doc.LinkEndChild(list);
    for (const PlannedFile& file : files) {
        auto* element = new TiXmlElement("File");
        if (file.p)
            element->SetAttribute("p", file.p->c_str());
        if (file.v)
            element->SetAttribute("v", file.v->c_str());
        list->LinkEndChild(element);
    }
    TiXmlPrinter printer;
    doc.Accept(&printer);
    return printer.Str();
}

std::optional<std::string> SafeRelativePath(std::string_view p)
{
    std::string path = ToForwardSlashes(std::string(p));
    if (path.empty() || path.front() == '/' || path.back() == '/' ||
        path.find('\0') != std::string::npos)
        return std::nullopt;
    // A drive letter ("C:...") is absolute on Windows, where the same lists are used.
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])))
        return std::nullopt;
    for (const auto& part : fs::path(path)) {
        if (part == "..")
            return std::nullopt;
    }
    // "." or "a/." would name a folder (the staging folder itself, found by fuzzing).
    const fs::path normal = fs::path(path).lexically_normal();
    if (normal.empty() || normal == "." || !normal.has_filename() || normal.filename() == ".")
        return std::nullopt;
    return normal.generic_string();
}

namespace {

// Downloads url and, when its SHA-256 is `sha256`, hands the body to `writer`, which stages
// it at path. False when the request failed, was not answered with a 2xx status or the hash
// differs (libcurl already fails a body shorter than its Content-Length; the hash catches
// the rest: a short body without a length, or the wrong file). The hash is taken here
// rather than on the writer's thread, which would then take longer than the downloads.
bool DownloadInto(StagedFileWriter& writer, const std::wstring& url, const std::string& path,
                  std::string_view sha256, const UpdateSettings& settings)
{
    HttpClient client(url);
    client.SetLimits(LimitsWithCap(settings, settings.maxFileBytes));
    client.SetCancelFlag(settings.cancel);
    client.SetSession(settings.session);
    if (!client.SendHttpRequest(false, L"GET", true) || client.GetStatusCode() / 100 != 2)
        return false;
    const auto size = static_cast<std::size_t>(client.m_rawContentLength);
    const std::string_view body(reinterpret_cast<const char*>(client.m_rawContent.get()), size);
    if (Sha256Hex(body) != Lowercase(std::string(sha256)))
        return false;
    writer.Add(std::move(client.m_rawContent), size, path);
    return true;
}

} // namespace

bool DownloadFile(const std::wstring& url, const std::string& path, std::string_view sha256,
                  const UpdateSettings& settings)
{
    StagedFileWriter writer(settings.cancel);
    const bool handedOver = DownloadInto(writer, url, path, sha256, settings);
    return writer.Finish() && handedOver;
}

UpdateOutcome RunUpdateCheck(const UpdateSettings& given)
{
    // One connection for the list, its signature and every file.
    HttpSession session;
    UpdateSettings settings = given;
    settings.session = &session;
    const std::string root = WideToAnsi(settings.programDir);
    const std::string staging = root + WideToAnsi(kStagingTail);
    const std::wstring listUrl = settings.serverBase + kServerListPath;

    // The list counts only when its exact bytes carry a good signature. The short signature
    // comes first: as the first answer on a connection it is not held back by a server that
    // waits for our delayed acknowledgement before it sends a small last piece (40 ms).
    const auto signature = FetchText(listUrl + L".sig", settings, kMaxSignatureBytes);
    std::unique_ptr<HttpClient> list;
    if (signature)
        list = FetchText(listUrl, settings, settings.maxListBytes);
    const bool signedList =
        list &&
        VerifyListSignature(list->GetResponseBytes(), signature->GetResponseBytes(), settings.key);
    TiXmlDocument serverDoc;
    if (signedList)
        ParseServerList(serverDoc, list->GetResponseBytes());

    TiXmlDocument installedDoc;
    const auto installedText = ReadWholeFile(root + WideToAnsi(kInstalledListTail), kMaxListBytes);
    if (!installedText || !ParseXmlText(installedDoc, *installedText) ||
        !installedDoc.FirstChildElement())
        return UpdateOutcome::NoInstalledList;
    const auto plan = PlanUpdate(serverDoc, installedDoc);
    if (!plan)
        return UpdateOutcome::NoServerList;
    if (!plan->differentVersion)
        return UpdateOutcome::SameVersion;

    // A staged list from an earlier, unfinished run must not make this one look ready.
    std::error_code ignored;
    fs::remove(staging + "/" + kStagedVersionList, ignored);
    fs::remove(staging + "/" + kStagedVersionList + kSignatureSuffix, ignored);

    // Each file is written while the next one downloads.
    StagedFileWriter writer(settings.cancel);
    bool allArrived = true;
    for (const PlannedFile& file : plan->files) {
        if (Cancelled(settings)) {
            allArrived = false;
            break;
        }
        const bool arrived =
            file.relative && file.sha256 &&
            DownloadInto(writer,
                         ToForwardSlashes(settings.serverBase + L"Bin\\" + AnsiToWide(*file.p)),
                         staging + "/" + *file.relative, *file.sha256, settings);
        allArrived = allArrived && arrived;
    }
    allArrived = writer.Finish() && allArrived;

    if (!WriteStagedFile(staging + "/" + kStagedFileList, StagedFileListText(plan->files)))
        allArrived = false;
    if (!allArrived || Cancelled(settings))
        return UpdateOutcome::Incomplete;
    // The exact bytes received, so that the updater can check the signature again.
    const std::string stagedList = staging + "/" + kStagedVersionList;
    if (!WriteStagedFile(stagedList + kSignatureSuffix, signature->GetResponseBytes()) ||
        !WriteStagedFile(stagedList, list->GetResponseBytes()))
        return UpdateOutcome::Incomplete;
    return UpdateOutcome::Ready;
}
