#pragma once

// A program folder with an installed tree and a staged update, the keys that sign it, and a
// file system that fails or dies at a chosen step, for the updater's tests.

#include "update/install_journal.h"
#include "updater/install_transaction.h"
#include "updater/staged_update.h"
#include "updater/updater.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

const std::string kElf = std::string("\x7f"
                                     "ELF",
                                     4) +
                         "binary";

struct KeyPair
{
    PublicKey publicKey{};
    SecretKey secretKey{};
    KeyPair() { MakeKeyPair(publicKey, secretKey); }
};

// Every file and folder below the program folder except the staging folder, the updater's
// private folder (both cleared by its run) and the log, with each file's bytes and mode:
// two equal snapshots are the same tree byte for byte.
using Snapshot = std::map<std::string, std::string>;

inline Snapshot TakeSnapshot(const fs::path& root)
{
    Snapshot snapshot;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        if (relative == "Release/Update.staging" || relative == "Release/update.kept" ||
            relative == "Release/update.log") {
            if (it->is_directory())
                it.disable_recursion_pending();
            continue;
        }
        struct stat st
        {};
        lstat(it->path().c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            snapshot[relative + "/"] = "folder";
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            snapshot[relative] = "link:" + fs::read_symlink(it->path()).string();
            continue;
        }
        std::ifstream in(it->path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        snapshot[relative] = std::to_string(st.st_mode & 07777) + ":" + bytes;
    }
    return snapshot;
}

struct ListEntry
{
    std::string p;
    std::string content;
};

// An installed version 4.0.0 and, staged beside it, a version 4.0.1 that replaces a
// database (mode 0600), a skin file and the updater itself, and adds an executable and an
// image in a folder that does not exist yet. The program itself is listed by both at the
// same version and stays.
class UpdaterTest : public ::testing::Test
{
protected:
    TempProgramDir dir;
    InstallLayout layout{dir.Path().string()};
    KeyPair key;

    std::vector<ListEntry> m_new = {
        {"Release\\data\\tavro_tip.db", "new tips"}, {"Skin\\Default.skn", "new skin"},
        {"Release\\Update", kElf + " new updater"},  {"Release\\Helper", kElf + " new helper"},
        {"Skin\\art\\moon.svg", "<svg/>"},
    };

    void SetUp() override
    {
        dir.Write("Release/Tavro", kElf + " program");
        dir.Write("Release/Update", kElf + " old updater");
        dir.Write("Release/data/tavro_tip.db", "old tips");
        dir.Write("Skin/Default.skn", "old skin");
        dir.Write("Release/conf/userdata.xml", "<profile/>");
        dir.Write("Release/version.xml", InstalledListText());
        fs::permissions(dir.Sub("Release/Tavro"), fs::perms(0755));
        fs::permissions(dir.Sub("Release/Update"), fs::perms(0755));
        fs::permissions(dir.Sub("Release/data/tavro_tip.db"), fs::perms(0600));
        Stage(m_new);
    }

    static std::string FileEntry(const std::string& p, const std::string& v,
                                 const std::string& content)
    {
        return "<file p=\"" + p + "\" v=\"" + v + "\" sha256=\"" + Sha256Hex(content) +
               "\" size=\"" + std::to_string(content.size()) + "\"/>\r\n";
    }

    static std::string InstalledListText()
    {
        return "<version v=\"4.0.0\" made=\"2026-11-01T00:00:00Z\" "
               "expires=\"2027-02-01T00:00:00Z\">\r\n" +
               FileEntry("Release\\Tavro", "4.0.0", kElf + " program") +
               FileEntry("Release\\Update", "4.0.0", kElf + " old updater") +
               FileEntry("Release\\data\\tavro_tip.db", "4.0.0", "old tips") +
               FileEntry("Skin\\Default.skn", "4.0.0", "old skin") + "</version>\r\n";
    }

    std::string ListText(const std::vector<ListEntry>& entries,
                         const std::string& version = "4.0.1",
                         const std::string& made = "2026-12-01T00:00:00Z") const
    {
        std::string list = "<?xml version=\"1.0\"?>\r\n<version v=\"" + version + "\" made=\"" +
                           made + "\" expires=\"2027-03-01T00:00:00Z\">\r\n";
        list += FileEntry("Release\\Tavro", "4.0.0", kElf + " program");
        for (const auto& e : entries)
            list += FileEntry(e.p, "4.0.1", e.content);
        return list + "</version>\r\n";
    }

    // Stages `entries` under a list signed with the fixture's key, as the worker does.
    void Stage(const std::vector<ListEntry>& entries, const std::string& version = "4.0.1",
               const std::string& made = "2026-12-01T00:00:00Z")
    {
        const std::string list = ListText(entries, version, made);
        dir.Write("Release/Update.staging/Release/version.xml", list);
        dir.Write("Release/Update.staging/Release/version.xml.sig", SignList(list, key.secretKey));
        std::string files = "<List>\r\n";
        for (const auto& e : entries) {
            dir.Write("Release/Update.staging/" + ToSlashes(e.p), e.content);
            files += "<File p=\"" + e.p + "\" v=\"4.0.1\" />\r\n";
        }
        dir.Write("Release/Update.staging/update.xml", files + "</List>\r\n");
    }

    static std::string ToSlashes(std::string p)
    {
        std::replace(p.begin(), p.end(), '\\', '/');
        return p;
    }

    // The tree a complete install must give under the creation mask `mask`: replaced files
    // keep their modes, new ones are 0755 or 0644, all less the mask.
    Snapshot ExpectedNewTree(unsigned mask = 022)
    {
        const Snapshot before = TakeSnapshot(dir.Path());
        Snapshot expected = before;
        const auto masked = [mask](unsigned mode) { return std::to_string(mode & ~mask) + ":"; };
        expected["Release/data/tavro_tip.db"] = masked(0600) + "new tips";
        expected["Skin/Default.skn"] = masked(ModeOf(before.at("Skin/Default.skn"))) + "new skin";
        expected["Release/Update"] = masked(0755) + kElf + " new updater";
        expected["Release/Helper"] = masked(0755) + kElf + " new helper";
        expected["Skin/art/"] = "folder";
        expected["Skin/art/moon.svg"] = masked(0644) + "<svg/>";
        expected["Release/version.xml"] = masked(ModeOf(before.at("Release/version.xml"))) +
                                          dir.Read("Release/Update.staging/Release/version.xml");
        return expected;
    }

    static unsigned ModeOf(const std::string& entry)
    {
        return static_cast<unsigned>(std::stoul(entry.substr(0, entry.find(':'))));
    }

    // The tree without the test's own copy of the staging folder.
    Snapshot Snap() const
    {
        Snapshot now = TakeSnapshot(dir.Path());
        std::erase_if(now, [](const auto& e) { return e.first.rfind("pristine-staging", 0) == 0; });
        return now;
    }

    // Writes the old tree back after an install, for the next round of a test.
    void RestoreOld(const Snapshot& old)
    {
        fs::remove_all(layout.Kept());
        fs::remove(layout.Journal());
        fs::remove(dir.Sub("Release/Helper"));
        fs::remove_all(dir.Sub("Skin/art"));
        for (const auto& [path, content] : old) {
            if (path.back() == '/')
                continue;
            const auto colon = content.find(':');
            dir.Write(path, content.substr(colon + 1));
            fs::permissions(dir.Sub(path), fs::perms(std::stoi(content.substr(0, colon))));
        }
        ASSERT_EQ(Snap(), old);
    }

    // A fresh copy of the same held staging folder for each round.
    fs::path KeepPristineStaging()
    {
        const fs::path pristine = dir.Sub("pristine-staging");
        fs::copy(layout.Held(), pristine, fs::copy_options::recursive);
        return pristine;
    }
    void RestoreStaging(const fs::path& pristine)
    {
        fs::remove_all(layout.Kept());
        fs::create_directory(layout.Kept());
        fs::copy(pristine, layout.Held(), fs::copy_options::recursive);
    }

    StagedUpdate Checked()
    {
        const StagedCheck check = CheckStagedUpdate(SystemInstallFs(), layout, key.publicKey);
        EXPECT_TRUE(check.update) << check.error;
        return check.update.value_or(StagedUpdate{});
    }

    std::vector<std::string> m_log;
    InstallLog Log()
    {
        return [this](const std::string& line) { m_log.push_back(line); };
    }
};

// The real file system with one step made to fail, with every step from the Nth on doing
// nothing, as when the updater is killed there, or with no room to write a file.
class FaultyFs final : public IInstallFs
{
public:
    enum class Fault
    {
        FailOnce,
        DieAt,
        DiskFull // no file can be written (failAt unused)
    };
    FaultyFs(int failAt, Fault fault) : m_failAt(failAt), m_fault(fault) {}
    int Changes() const { return m_changes; }

    FileKind Kind(const std::string& p) override { return Real().Kind(p); }
    std::optional<std::string> ReadSmall(const std::string& p, std::size_t n) override
    {
        return Real().ReadSmall(p, n);
    }
    std::string ReadHead(const std::string& p, std::size_t n) override
    {
        return Real().ReadHead(p, n);
    }
    std::optional<std::string> Sha256Hex(const std::string& p) override
    {
        return Real().Sha256Hex(p);
    }
    std::optional<unsigned> Mode(const std::string& p) override { return Real().Mode(p); }
    unsigned CreationMask() override { return Real().CreationMask(); }

    bool WriteAtomically(const std::string& p, std::string_view c) override
    {
        return Change([&] { return m_fault != Fault::DiskFull && Real().WriteAtomically(p, c); });
    }
    bool SetMode(const std::string& p, unsigned m) override
    {
        return Change([&] { return Real().SetMode(p, m); });
    }
    bool Rename(const std::string& a, const std::string& b) override
    {
        return Change([&] { return Real().Rename(a, b); });
    }
    bool RemoveFile(const std::string& p) override
    {
        return Change([&] { return Real().RemoveFile(p); });
    }
    bool MakeFolder(const std::string& p) override
    {
        return Change([&] { return Real().MakeFolder(p); });
    }
    bool MakePrivateFolder(const std::string& p) override
    {
        return Change([&] { return Real().MakePrivateFolder(p); });
    }
    bool RemoveEmptyFolder(const std::string& p) override
    {
        return Change([&] { return Real().RemoveEmptyFolder(p); });
    }
    bool RemoveTree(const std::string& p) override
    {
        return Change([&] { return Real().RemoveTree(p); });
    }
    bool SyncFile(const std::string& p) override
    {
        return Change([&] { return Real().SyncFile(p); });
    }
    bool SyncFolder(const std::string& p) override
    {
        return Change([&] { return Real().SyncFolder(p); });
    }

private:
    static IInstallFs& Real() { return SystemInstallFs(); }
    bool Change(const std::function<bool()>& change)
    {
        ++m_changes;
        if (m_changes == m_failAt || (m_fault == Fault::DieAt && m_changes > m_failAt))
            return false;
        return change();
    }
    int m_failAt;
    Fault m_fault;
    int m_changes = 0;
};
