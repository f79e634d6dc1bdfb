#include "release_tree.h"

#include "host/file_io.h"
#include "host/html_escape.h"
#include "host/xml_text.h"
#include "update/install_path.h"
#include "update/version_list.h"

#include <tinyxml.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxListBytes = 16u * 1024 * 1024;

// "p" to "v" of the previous tree's installed list; empty when it has none.
std::map<std::string, std::string> PreviousVersions(const fs::path& previous)
{
    std::map<std::string, std::string> versions;
    if (previous.empty())
        return versions;
    const auto text = ReadWholeFile((previous / "Release/version.xml").string(), kMaxListBytes);
    TiXmlDocument doc;
    if (!text || !ParseXmlText(doc, *text) || !doc.FirstChildElement())
        throw std::runtime_error("cannot read " + (previous / "Release/version.xml").string());
    for (const TiXmlElement* e = doc.FirstChildElement()->FirstChildElement(); e;
         e = e->NextSiblingElement()) {
        const char* p = e->Attribute("p");
        const char* v = e->Attribute("v");
        if (p && v)
            versions.emplace(p, v);
    }
    return versions;
}

} // namespace

std::vector<std::pair<std::string, std::string>> TreeFiles(const fs::path& tree)
{
    if (!fs::is_directory(tree / "Release"))
        throw std::runtime_error(tree.string() + " is not a program tree (no Release folder)");
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& item : fs::recursive_directory_iterator(tree)) {
        const std::string relative = fs::relative(item.path(), tree).generic_string();
        // Left out only when the tree really holds it there: a single name with backslashes
        // that reads as the profile is refused below like any other bad name.
        if (relative.find('\\') == std::string::npos && IsProgramOwnPath(relative))
            continue;
        if (item.is_symlink())
            throw std::runtime_error(item.path().string() + " is a link; a release carries files");
        if (!item.is_regular_file())
            continue;
        std::string p = relative;
        std::replace(p.begin(), p.end(), '/', '\\');
        // The name as the list carries it, backslashes and all: "..\\x" is no file name.
        if (!IsInstallablePath(relative) || !IsInstallablePath(p))
            throw std::runtime_error("\"" + relative + "\" is not a path an update may install");
        files.emplace_back(relative, p);
    }
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    return files;
}

std::string InstalledListText(const fs::path& tree, const std::string& version)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<version v=\"" +
                       HtmlEscape(version) + "\">\n";
    for (const auto& [relative, p] : TreeFiles(tree))
        text += "    <file p=\"" + HtmlEscape(p) + "\" v=\"" + HtmlEscape(version) + "\" />\n";
    return text + "</version>\n";
}

std::vector<ReleaseEntry> CollectRelease(const ReleaseInput& input)
{
    if (!CompareVersions(input.version, input.version))
        throw std::runtime_error("the version \"" + input.version +
                                 "\" is not dotted numbers (such as 4.0.1)");
    if (input.validDays <= 0)
        throw std::runtime_error("the list must hold for at least one day");
    const auto previousVersions = PreviousVersions(input.previous);

    std::vector<ReleaseEntry> entries;
    for (const auto& [relative, p] : TreeFiles(input.tree)) {
        const fs::path item = input.tree / relative;
        const auto hash = Sha256FileHex(item.string());
        if (!hash)
            throw std::runtime_error("cannot read " + item.string());
        std::string v = input.version;
        const auto old = previousVersions.find(p);
        if (old != previousVersions.end() &&
            Sha256FileHex((input.previous / relative).string()) == hash)
            v = old->second;
        entries.push_back({p, v, *hash, static_cast<std::uint64_t>(fs::file_size(item))});
    }
    return entries;
}

std::string VersionListText(const ReleaseInput& input, const std::vector<ReleaseEntry>& entries)
{
    const std::int64_t expires = input.made + std::int64_t(input.validDays) * 86400;
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<version v=\"" +
                       HtmlEscape(input.version) + "\" made=\"" + FormatUtcTime(input.made) +
                       "\" expires=\"" + FormatUtcTime(expires) + "\">\n";
    for (const ReleaseEntry& e : entries)
        text += "    <file p=\"" + HtmlEscape(e.p) + "\" v=\"" + HtmlEscape(e.v) + "\" sha256=\"" +
                e.sha256 + "\" size=\"" + std::to_string(e.size) + "\" />\n";
    return text + "</version>\n";
}

void WriteServerTree(const ReleaseInput& input, const SecretKey& key, const fs::path& out)
{
    if (fs::exists(out) && !fs::is_empty(out))
        throw std::runtime_error(out.string() + " exists and is not empty");
    const auto entries = CollectRelease(input);
    const std::string list = VersionListText(input, entries);
    // The list's own reading is the check: what the program would refuse is never written.
    const auto reading = ReadSignedVersionList(list);
    if (!reading.list)
        throw std::runtime_error("the version list would be refused: " + reading.refusal);
    for (const ReleaseEntry& e : entries) {
        // The rule's path has no "..", no root and no drive, so it stays below `out`.
        const std::string relative = InstallableListPath(e.p).value();
        fs::create_directories((out / relative).parent_path());
        fs::copy_file(input.tree / relative, out / relative);
    }
    fs::create_directories(out / "Release");
    if (!WriteFileAtomically((out / "Release/version.xml").string(), list).Ok() ||
        !WriteFileAtomically((out / "Release/version.xml.sig").string(), SignList(list, key) + "\n")
             .Ok())
        throw std::runtime_error("cannot write the version list into " + out.string());
}
