#include "updater/install_transaction.h"

#include "update/install_path.h"

#include <set>
#include <sstream>

namespace {

constexpr const char* kJournalHeader = "tavro-install-journal 1";
constexpr std::size_t kMaxJournalBytes = 4 * 1024 * 1024;

std::string ParentOf(const std::string& relative)
{
    const auto slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

// Makes the missing folders on the way to `relative` below `base`.
bool MakeParents(IInstallFs& fs, const std::string& base, const std::string& relative)
{
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        const std::string folder = relative.substr(0, slash);
        const std::string full = base + "/" + folder;
        if (fs.Kind(full) == FileKind::Folder)
            continue;
        if (!fs.MakeFolder(full))
            return false;
    }
    return true;
}

// Puts every kept file back and removes what was added. Each step can be repeated, so a
// way back cut short is simply run again.
bool RollBack(IInstallFs& fs, const InstallLayout& layout, const InstallJournal& journal,
              const InstallLog& log)
{
    bool ok = true;
    for (auto it = journal.files.rbegin(); it != journal.files.rend(); ++it) {
        const std::string target = layout.Installed(it->path);
        if (it->replaces) {
            const std::string kept = layout.KeptCopy(it->path);
            if (fs.Kind(kept) == FileKind::Regular && !fs.Rename(kept, target)) {
                log("cannot put back " + it->path);
                ok = false;
            }
        } else if (!fs.RemoveFile(target)) {
            log("cannot remove the added " + it->path);
            ok = false;
        }
    }
    for (auto it = journal.madeFolders.rbegin(); it != journal.madeFolders.rend(); ++it) {
        if (!fs.RemoveEmptyFolder(layout.Installed(*it))) {
            log("cannot remove the added folder " + *it);
            ok = false;
        }
    }
    if (!ok)
        return false;
    if (!fs.RemoveTree(layout.Kept()) || !fs.RemoveFile(layout.Journal())) {
        log("cannot remove the journal or the kept files");
        return false;
    }
    return true;
}

// After the commit: the new files are in place, only the leftovers go.
bool Finish(IInstallFs& fs, const InstallLayout& layout, const InstallLog& log)
{
    const bool ok = fs.RemoveTree(layout.Kept()) && fs.RemoveTree(layout.Staging()) &&
                    fs.RemoveFile(layout.Journal());
    if (!ok)
        log("installed, but cannot clear the kept files, the staging folder or the journal");
    return ok;
}

// The held files' content must be on the disk before they can be committed: a power cut
// after the commit must not leave empty files in the new version. They get their modes
// here, where only the private folder changes.
bool PrepareHeldFiles(IInstallFs& fs, const InstallLayout& layout, const StagedUpdate& update,
                      const InstallLog& log)
{
    for (const auto& file : update.files) {
        const std::string held = layout.StagedCopy(file.path);
        if (!fs.SetMode(held, file.mode) || !fs.SyncFile(held)) {
            log("cannot prepare the staged " + file.path);
            return false;
        }
    }
    if (!fs.SetMode(layout.StagedList(), update.listMode) || !fs.SyncFile(layout.StagedList())) {
        log("cannot prepare the staged version list");
        return false;
    }
    return true;
}

// Every folder to make and every file to move in, the version list last.
InstallJournal PlanJournal(IInstallFs& fs, const InstallLayout& layout, const StagedUpdate& update)
{
    InstallJournal journal;
    std::set<std::string> planned;
    for (const auto& file : update.files) {
        for (std::size_t slash = file.path.find('/'); slash != std::string::npos;
             slash = file.path.find('/', slash + 1)) {
            const std::string folder = file.path.substr(0, slash);
            if (fs.Kind(layout.Installed(folder)) != FileKind::Folder &&
                planned.insert(folder).second)
                journal.madeFolders.push_back(folder);
        }
        journal.files.push_back({file.path, file.replaces});
    }
    journal.files.push_back({std::string(kInstalledListPath), update.replacesList});
    return journal;
}

// Makes the folders, sets each replaced file aside and moves its new copy in, then makes
// the renames durable. Empty when done, otherwise what failed.
std::string MoveIntoPlace(IInstallFs& fs, const InstallLayout& layout,
                          const InstallJournal& journal)
{
    for (const auto& folder : journal.madeFolders) {
        if (!fs.MakeFolder(layout.Installed(folder)))
            return "cannot make the folder " + folder;
    }
    std::set<std::string> touchedFolders;
    for (const auto& entry : journal.files) {
        const std::string target = layout.Installed(entry.path);
        if (entry.replaces) {
            const std::string kept = layout.KeptCopy(entry.path);
            if (!MakeParents(fs, layout.programDir, layout.Relative(kept)))
                return "cannot make the kept folder for " + entry.path;
            if (!fs.Rename(target, kept))
                return "cannot set aside " + entry.path;
        }
        if (!fs.Rename(layout.StagedCopy(entry.path), target))
            return "cannot move in " + entry.path;
        touchedFolders.insert(ParentOf(entry.path));
    }
    for (const auto& folder : touchedFolders) {
        if (!fs.SyncFolder(folder.empty() ? layout.programDir : layout.Installed(folder)))
            return "cannot flush the folder " + folder;
    }
    return {};
}

// Whether every path a journal names is reached without a link, so that acting on it
// (removing added files, putting kept ones back) stays inside the program folder.
bool ReachedWithoutLinks(IInstallFs& fs, const InstallLayout& layout, const InstallJournal& journal)
{
    const auto reached = [&](const std::string& path) {
        return KindWithoutLinks(fs, layout.programDir, path) != FileKind::Other;
    };
    for (const auto& folder : journal.madeFolders) {
        if (!reached(folder))
            return false;
    }
    for (const auto& entry : journal.files) {
        if (!reached(entry.path) || !reached(layout.Relative(layout.KeptCopy(entry.path))))
            return false;
    }
    return reached(layout.Relative(layout.Kept()));
}

} // namespace

std::string FormatJournal(const InstallJournal& journal)
{
    std::string text = std::string(kJournalHeader) + "\n";
    text += journal.committed ? "state\tcommitted\n" : "state\tinstalling\n";
    for (const auto& folder : journal.madeFolders)
        text += "folder\t" + folder + "\n";
    for (const auto& entry : journal.files)
        text +=
            std::string("file\t") + (entry.replaces ? "replace\t" : "add\t") + entry.path + "\n";
    text += "end\n";
    return text;
}

std::optional<InstallJournal> ParseJournal(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kJournalHeader)
        return std::nullopt;
    InstallJournal journal;
    if (!std::getline(in, line))
        return std::nullopt;
    if (line == "state\tcommitted")
        journal.committed = true;
    else if (line != "state\tinstalling")
        return std::nullopt;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        if (line.rfind("folder\t", 0) == 0) {
            const auto folder = InstallableListPath(line.substr(7));
            if (!folder)
                return std::nullopt;
            journal.madeFolders.push_back(*folder);
        } else if (line.rfind("file\treplace\t", 0) == 0 || line.rfind("file\tadd\t", 0) == 0) {
            const bool replaces = line[5] == 'r';
            const std::string listed = line.substr(replaces ? 13 : 9);
            // The version list is installed by the transaction but is no update's file.
            const auto path =
                listed == kInstalledListPath ? std::optional(listed) : InstallableListPath(listed);
            if (!path)
                return std::nullopt;
            journal.files.push_back({*path, replaces});
        } else {
            return std::nullopt;
        }
    }
    if (!ended)
        return std::nullopt;
    return journal;
}

InstallResult InstallStagedUpdate(IInstallFs& fs, const InstallLayout& layout,
                                  const StagedUpdate& update, const InstallLog& log)
{
    if (!PrepareHeldFiles(fs, layout, update, log))
        return InstallResult::RolledBack;
    InstallJournal journal = PlanJournal(fs, layout, update);
    if (!fs.WriteAtomically(layout.Journal(), FormatJournal(journal))) {
        log("cannot write the journal");
        return InstallResult::RolledBack;
    }

    const auto fail = [&](const std::string& what) {
        log(what + "; rolling back");
        if (RollBack(fs, layout, journal, log)) {
            log("rolled back to the installed version");
            return InstallResult::RolledBack;
        }
        log("the way back failed; the journal stays for the next run");
        return InstallResult::Broken;
    };
    if (std::string failure = MoveIntoPlace(fs, layout, journal); !failure.empty())
        return fail(failure);

    journal.committed = true;
    if (!fs.WriteAtomically(layout.Journal(), FormatJournal(journal)))
        return fail("cannot mark the journal committed");
    log("installed version " + update.version);
    Finish(fs, layout, log);
    return InstallResult::Installed;
}

RecoveryResult RecoverInterruptedInstall(IInstallFs& fs, const InstallLayout& layout,
                                         const InstallLog& log)
{
    if (fs.Kind(layout.Journal()) == FileKind::Missing)
        return RecoveryResult::NothingToDo;
    const auto text = fs.ReadSmall(layout.Journal(), kMaxJournalBytes);
    const auto journal = text ? ParseJournal(*text) : std::nullopt;
    if (journal && journal->committed) {
        log("finishing an install that was cut short after its commit");
        Finish(fs, layout, log);
        return RecoveryResult::Finished;
    }
    if (journal && !ReachedWithoutLinks(fs, layout, *journal)) {
        log("the journal names a path reached through a link");
    } else if (journal) {
        log("rolling back an install that was cut short");
        if (RollBack(fs, layout, *journal, log)) {
            // What was staged is partly used up; the next check downloads it again.
            fs.RemoveTree(layout.Staging());
            return RecoveryResult::RolledBack;
        }
    } else {
        log("the journal cannot be read");
    }
    // Set aside, so that the program's next start does not hand over here again and again.
    if (!fs.Rename(layout.Journal(), layout.Journal() + ".failed"))
        fs.RemoveFile(layout.Journal());
    log("the journal is set aside as " + layout.Journal() + ".failed");
    return RecoveryResult::Failed;
}
