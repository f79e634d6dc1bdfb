#include "updater/staged_update.h"

#include "host/paths.h"

#include <algorithm>
#include <map>
#include <set>
#include <tinyxml.h>

namespace {

// Version lists are small; anything bigger is not one of ours.
constexpr std::size_t kMaxListBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxSignatureBytes = 1024;

bool IsLowerHex64(const std::string& text)
{
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string Attribute(const TiXmlElement* element, const char* name)
{
    const char* value = element->Attribute(name);
    return value ? value : "";
}

StagedCheck Refused(std::string error) { return StagedCheck{std::nullopt, std::move(error)}; }

} // namespace

std::string SafeRelativePath(const std::string& listPath)
{
    const std::string path = ToForwardSlashes(listPath);
    if (path.empty() || path.front() == '/')
        return {};
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return {};
        start = end + 1;
    }
    // A drive letter ("C:") is absolute on the other platform.
    if (path.size() >= 2 && path[1] == ':')
        return {};
    if (std::any_of(path.begin(), path.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return {};
    const auto isUnder = [&path](std::string_view tail) {
        const std::string folder(tail.substr(1));
        return path == folder || path.rfind(folder + "/", 0) == 0;
    };
    if (isUnder(kStagingTail) || isUnder(kJournalTail) || isUnder(kKeptTail) || isUnder(kLogTail) ||
        path == kInstalledListPath || path == kProfilePath)
        return {};
    return path;
}

unsigned NewFileMode(const std::string& head)
{
    const bool executable = head.rfind("\x7f"
                                       "ELF",
                                       0) == 0 ||
                            head.rfind("#!", 0) == 0;
    return executable ? 0755u : 0644u;
}

StagedCheck CheckStagedUpdate(IInstallFs& fs, const InstallLayout& layout, const PublicKey& key)
{
    const auto list = fs.ReadSmall(layout.StagedList(), kMaxListBytes);
    if (!list)
        return Refused("no staged version list");
    const auto signature = fs.ReadSmall(layout.StagedSignature(), kMaxSignatureBytes);
    if (!signature)
        return Refused("the staged version list has no signature");
    if (!VerifyListSignature(*list, *signature, key))
        return Refused("the staged version list's signature is not good");

    TiXmlDocument listDoc;
    listDoc.Parse(list->c_str());
    const TiXmlElement* listRoot = listDoc.FirstChildElement();
    if (!listRoot)
        return Refused("the staged version list is not XML");

    // A path listed twice was downloaded twice, and the second copy is the one staged.
    std::map<std::string, std::string> signedHash;
    for (const TiXmlElement* e = listRoot->FirstChildElement(); e; e = e->NextSiblingElement())
        signedHash[Attribute(e, "p")] = Attribute(e, "sha256");

    const auto stagedFiles = fs.ReadSmall(layout.StagedFileList(), kMaxListBytes);
    if (!stagedFiles)
        return Refused("no staged file list");
    TiXmlDocument filesDoc;
    filesDoc.Parse(stagedFiles->c_str());
    const TiXmlElement* filesRoot = filesDoc.FirstChildElement();
    if (!filesRoot)
        return Refused("the staged file list is not XML");

    StagedUpdate update;
    update.version = Attribute(listRoot, "v");
    std::set<std::string> seen;
    for (const TiXmlElement* e = filesRoot->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string listed = Attribute(e, "p");
        const std::string path = SafeRelativePath(listed);
        if (path.empty())
            return Refused("refused path \"" + listed + "\"");
        if (!seen.insert(path).second)
            continue;
        const auto hash = signedHash.find(listed);
        if (hash == signedHash.end())
            return Refused("\"" + listed + "\" is not in the signed list");
        if (!IsLowerHex64(hash->second))
            return Refused("\"" + listed + "\" has no SHA-256 in the signed list");
        const std::string staged = layout.StagedCopy(path);
        if (fs.Kind(staged) != FileKind::Regular)
            return Refused("\"" + listed + "\" was not staged as a regular file");
        if (fs.Sha256Hex(staged) != hash->second)
            return Refused("\"" + listed + "\" differs from the signed list");

        // Every folder on the way must be a real folder of the program folder (a link could
        // lead the write outside it) or not exist yet.
        for (std::size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            const FileKind kind = fs.Kind(layout.Installed(path.substr(0, slash)));
            if (kind != FileKind::Folder && kind != FileKind::Missing)
                return Refused("\"" + listed + "\" lies below something that is not a folder");
        }

        StagedFile file;
        file.path = path;
        const std::string target = layout.Installed(path);
        switch (fs.Kind(target)) {
        case FileKind::Missing:
            file.mode = NewFileMode(fs.ReadHead(staged, 4));
            break;
        case FileKind::Regular:
            file.replaces = true;
            file.mode = fs.Mode(target).value_or(0644u);
            break;
        default:
            return Refused("\"" + listed + "\" would replace something that is not a file");
        }
        update.files.push_back(std::move(file));
    }
    const std::string installedList = layout.Installed(kInstalledListPath);
    update.replacesList = fs.Kind(installedList) == FileKind::Regular;
    update.listMode = fs.Mode(installedList).value_or(0644u);
    return StagedCheck{std::move(update), {}};
}
