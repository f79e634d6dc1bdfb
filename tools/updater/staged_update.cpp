#include "updater/staged_update.h"

#include "host/xml_text.h"
#include "update/install_path.h"
#include "update/version_list.h"

#include <map>

namespace {

StagedCheck Refused(std::string error) { return StagedCheck{std::nullopt, std::move(error)}; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// What the installed list says: its version, when it was made (older lists do not say),
// and each listed file's version by the path as listed (the first entry of a path counts,
// as for the worker).
struct InstalledList
{
    std::string version;
    std::optional<std::int64_t> made;
    std::map<std::string, std::string> fileVersions;
};

std::optional<InstalledList> ReadInstalledList(IInstallFs& fs, const InstallLayout& layout)
{
    if (KindWithoutLinks(fs, layout.programDir, std::string(kInstalledListPath)) !=
        FileKind::Regular)
        return std::nullopt;
    const auto text = fs.ReadSmall(layout.Installed(kInstalledListPath), kMaxListBytes);
    TiXmlDocument doc;
    if (!text || !ParseXmlText(doc, *text) || !doc.FirstChildElement())
        return std::nullopt;
    const TiXmlElement* root = doc.FirstChildElement();
    InstalledList list;
    list.version = root->Attribute("v") ? root->Attribute("v") : "";
    if (const char* made = root->Attribute("made"))
        list.made = ParseUtcTime(made);
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (const char* p = e->Attribute("p"))
            list.fileVersions.emplace(p, e->Attribute("v") ? e->Attribute("v") : "");
    }
    return list;
}

// The held list, when its signature is good and the path rule accepts it whole.
std::optional<SignedVersionList> ReadHeldList(IInstallFs& fs, const InstallLayout& layout,
                                              const PublicKey& key, std::string& error)
{
    const std::string relative = layout.Relative(layout.StagedList());
    const auto list = KindWithoutLinks(fs, layout.programDir, relative) == FileKind::Regular
                          ? fs.ReadSmall(layout.StagedList(), kMaxListBytes)
                          : std::nullopt;
    const auto signature =
        list ? fs.ReadSmall(layout.StagedSignature(), kMaxSignatureBytes) : std::nullopt;
    if (!list)
        error = "no staged version list";
    else if (!signature)
        error = "the staged version list has no signature";
    else if (!VerifyListSignature(*list, *signature, key))
        error = "the staged version list's signature is not good";
    if (!error.empty())
        return std::nullopt;
    VersionListReading reading = ReadSignedVersionList(*list);
    if (!reading.list)
        error = "the staged version list is refused: " + reading.refusal;
    return std::move(reading.list);
}

// Why an update of `staged` over `installed` is no update; empty when it is newer.
std::string NotNewer(const SignedVersionList& staged, const InstalledList& installed)
{
    if (!IsNewerVersion(staged.version, installed.version))
        return "the staged version " + staged.version + " is not newer than the installed " +
               installed.version;
    if (installed.made && staged.made < *installed.made)
        return "the staged list (version " + staged.version + ", made " +
               FormatUtcTime(staged.made) + ") was made before the installed one (version " +
               installed.version + ", made " + FormatUtcTime(*installed.made) + ")";
    return {};
}

// The listed files whose version differs from the installed list's, each path once; the
// last entry of a path is the one staged.
std::vector<ListedFile> FilesToInstall(const SignedVersionList& staged,
                                       const InstalledList& installed)
{
    std::vector<ListedFile> files;
    std::map<std::string, std::size_t> position;
    for (const ListedFile& file : staged.files) {
        const auto found = installed.fileVersions.find(file.p);
        if (found != installed.fileVersions.end() && found->second == file.v)
            continue;
        const auto [at, added] = position.emplace(file.relative, files.size());
        if (added)
            files.push_back(file);
        else
            files[at->second] = file;
    }
    return files;
}

// Checks one held file against the list and plans where it goes; empty error when good.
std::string PlanFile(IInstallFs& fs, const InstallLayout& layout, const ListedFile& listed,
                     unsigned creationMask, StagedFile& file)
{
    if (KindWithoutLinks(fs, layout.Held(), listed.relative) != FileKind::Regular)
        return Quoted(listed.p) + " was not staged as a regular file";
    const std::string held = layout.StagedCopy(listed.relative);
    if (fs.Sha256Hex(held) != listed.sha256)
        return Quoted(listed.p) + " differs from the signed list";
    file.path = listed.relative;
    const std::string target = layout.Installed(listed.relative);
    switch (KindWithoutLinks(fs, layout.programDir, listed.relative)) {
    case FileKind::Missing:
        file.mode = NewFileMode(fs.ReadHead(held, 4), creationMask);
        return {};
    case FileKind::Regular:
        file.replaces = true;
        file.mode = fs.Mode(target).value_or(0644u) & ~creationMask;
        return {};
    default:
        return Quoted(listed.p) + " would go through a link or over something that is not a file";
    }
}

} // namespace

unsigned NewFileMode(const std::string& head, unsigned creationMask)
{
    const bool executable = head.rfind("\x7f"
                                       "ELF",
                                       0) == 0 ||
                            head.rfind("#!", 0) == 0;
    return (executable ? 0755u : 0644u) & ~creationMask;
}

std::string HoldStagedUpdate(IInstallFs& fs, const InstallLayout& layout)
{
    if (KindWithoutLinks(fs, layout.programDir, layout.Relative(layout.Staging())) !=
        FileKind::Folder)
        return "the staging folder is not a folder of the program folder";
    // What an earlier run left there is no longer needed: a journal that needed it was
    // acted on before.
    if (!fs.RemoveTree(layout.Kept()) || !fs.MakePrivateFolder(layout.Kept()))
        return "cannot make the private folder " + layout.Kept();
    if (!fs.Rename(layout.Staging(), layout.Held()))
        return "cannot move the staging folder into the private folder";
    return {};
}

StagedCheck CheckStagedUpdate(IInstallFs& fs, const InstallLayout& layout, const PublicKey& key)
{
    if (std::string error = HoldStagedUpdate(fs, layout); !error.empty())
        return Refused(std::move(error));
    std::string error;
    const auto staged = ReadHeldList(fs, layout, key, error);
    if (!staged)
        return Refused(std::move(error));
    const auto installed = ReadInstalledList(fs, layout);
    if (!installed)
        return Refused("the installed version list cannot be read");
    if (std::string older = NotNewer(*staged, *installed); !older.empty())
        return Refused(std::move(older));

    const unsigned mask = fs.CreationMask();
    StagedUpdate update;
    update.version = staged->version;
    for (const ListedFile& listed : FilesToInstall(*staged, *installed)) {
        StagedFile file;
        if (std::string why = PlanFile(fs, layout, listed, mask, file); !why.empty())
            return Refused(std::move(why));
        update.files.push_back(std::move(file));
    }
    update.replacesList = true;
    update.listMode = fs.Mode(layout.Installed(kInstalledListPath)).value_or(0644u) & ~mask;
    return StagedCheck{std::move(update), {}};
}
