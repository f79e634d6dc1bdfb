#include "release_tree.h"

#include "host/file_io.h"
#include "host/html_escape.h"
#include "host/xml_text.h"

#include <tinyxml.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxListBytes = 16u * 1024 * 1024;

bool Excluded(const std::string& relative)
{
    return relative == "Release/version.xml" || relative == "Release/conf/userdata.xml" ||
           relative.rfind("Release/Update.staging/", 0) == 0;
}

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

std::vector<ReleaseEntry> CollectRelease(const ReleaseInput& input)
{
    if (!fs::is_directory(input.tree / "Release"))
        throw std::runtime_error(input.tree.string() +
                                 " is not a program tree (no Release folder)");
    if (input.version.empty())
        throw std::runtime_error("the version must not be empty");
    const auto previousVersions = PreviousVersions(input.previous);

    std::vector<ReleaseEntry> entries;
    for (const auto& item : fs::recursive_directory_iterator(input.tree)) {
        if (!item.is_regular_file())
            continue;
        const std::string relative = fs::relative(item.path(), input.tree).generic_string();
        if (Excluded(relative))
            continue;
        const auto hash = Sha256FileHex(item.path().string());
        if (!hash)
            throw std::runtime_error("cannot read " + item.path().string());
        std::string p = relative;
        std::replace(p.begin(), p.end(), '/', '\\');
        std::string v = input.version;
        const auto old = previousVersions.find(p);
        if (old != previousVersions.end() &&
            Sha256FileHex((input.previous / relative).string()) == hash)
            v = old->second;
        entries.push_back({p, v, *hash});
    }
    std::sort(entries.begin(), entries.end(),
              [](const ReleaseEntry& a, const ReleaseEntry& b) { return a.p < b.p; });
    return entries;
}

std::string VersionListText(const std::string& version, const std::vector<ReleaseEntry>& entries)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<version v=\"" +
                       HtmlEscape(version) + "\">\n";
    for (const ReleaseEntry& e : entries)
        text += "    <file p=\"" + HtmlEscape(e.p) + "\" v=\"" + HtmlEscape(e.v) + "\" sha256=\"" +
                e.sha256 + "\" />\n";
    return text + "</version>\n";
}

void WriteServerTree(const ReleaseInput& input, const SecretKey& key, const fs::path& out)
{
    if (fs::exists(out) && !fs::is_empty(out))
        throw std::runtime_error(out.string() + " exists and is not empty");
    const auto entries = CollectRelease(input);
    const std::string list = VersionListText(input.version, entries);
    for (const ReleaseEntry& e : entries) {
        std::string relative = e.p;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        fs::create_directories((out / relative).parent_path());
        fs::copy_file(input.tree / relative, out / relative);
    }
    fs::create_directories(out / "Release");
    if (!WriteFileAtomically((out / "Release/version.xml").string(), list).Ok() ||
        !WriteFileAtomically((out / "Release/version.xml.sig").string(), SignList(list, key) + "\n")
             .Ok())
        throw std::runtime_error("cannot write the version list into " + out.string());
}
