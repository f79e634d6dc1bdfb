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

// Every file and folder below the program folder except the staging folder and the log,
// with each file's bytes and mode: two equal snapshots are the same tree byte for byte.
using Snapshot = std::map<std::string, std::string>;

inline Snapshot TakeSnapshot(const fs::path& root)
{
    Snapshot snapshot;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        if (relative == "Release/Update.staging" || relative == "Release/update.log") {
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
// image in a folder that does not exist yet.
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
        dir.Write("Release/version.xml", "<version v=\"4.0.0\"/>");
        fs::permissions(dir.Sub("Release/Tavro"), fs::perms(0755));
        fs::permissions(dir.Sub("Release/Update"), fs::perms(0755));
        fs::permissions(dir.Sub("Release/data/tavro_tip.db"), fs::perms(0600));
        Stage(m_new);
    }

    std::string ListText(const std::vector<ListEntry>& entries) const
    {
        std::string list = "<?xml version=\"1.0\"?>\r\n<version v=\"4.0.1\">\r\n";
        list += "<file p=\"Release\\Tavro\" v=\"4.0.0\" sha256=\"" + Sha256Hex(kElf + " program") +
                "\"/>\r\n";
        for (const auto& e : entries)
            list +=
                "<file p=\"" + e.p + "\" v=\"4.0.1\" sha256=\"" + Sha256Hex(e.content) + "\"/>\r\n";
        return list + "</version>\r\n";
    }

    void Stage(const std::vector<ListEntry>& entries)
    {
        const std::string list = ListText(entries);
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

    // The tree a complete install must give.
    Snapshot ExpectedNewTree()
    {
        const Snapshot before = TakeSnapshot(dir.Path());
        Snapshot expected = before;
        expected["Release/data/tavro_tip.db"] = "384:new tips"; // 0600 kept
        expected["Skin/Default.skn"] = ModeOf(before.at("Skin/Default.skn")) + "new skin";
        expected["Release/Update"] = "493:" + kElf + " new updater"; // 0755 kept
        expected["Release/Helper"] = "493:" + kElf + " new helper";  // new executable: 0755
        expected["Skin/art/"] = "folder";
        expected["Skin/art/moon.svg"] = "420:<svg/>"; // new file: 0644
        expected["Release/version.xml"] = ModeOf(before.at("Release/version.xml")) +
                                          dir.Read("Release/Update.staging/Release/version.xml");
        return expected;
    }

    static std::string ModeOf(const std::string& entry)
    {
        return entry.substr(0, entry.find(':') + 1);
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

    // A fresh copy of the same staging folder for each round.
    fs::path KeepPristineStaging()
    {
        const fs::path pristine = dir.Sub("pristine-staging");
        fs::copy(layout.Staging(), pristine, fs::copy_options::recursive);
        return pristine;
    }
    void RestoreStaging(const fs::path& pristine)
    {
        fs::remove_all(layout.Staging());
        fs::copy(pristine, layout.Staging(), fs::copy_options::recursive);
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

// The real file system with one step made to fail, or with every step from the Nth on
// doing nothing, as when the updater is killed there.
class FaultyFs final : public IInstallFs
{
public:
    enum class Fault
    {
        FailOnce,
        DieAt
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

    bool WriteAtomically(const std::string& p, std::string_view c) override
    {
        return Change([&] { return Real().WriteAtomically(p, c); });
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
