#include "update/update_worker.h"
#include "update/update_worker_thread.h"
#include "update/version_list.h"

#include "loopback_server.h"
#include "temp_program_dir.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const std::string kStaging = "Release/Update.staging";

struct ServerFile
{
    std::string p;
    std::string v;
    std::string content;
    Answer answer = Answer::Body;
    int status = 200;
    // Written into the list instead of the content's hash; "none" leaves the attribute out.
    std::string listedHash = {};
    // Written into the list instead of the content's size.
    std::string listedSize = {};
};

enum class ListFault
{
    None,
    Unsigned,
    OtherKey,
    Empty,
    NotXml,
    Missing,
    Expired,   // the list's time ran out yesterday
    MadeEarly, // the installed list was made after the server's
    NoRoom,    // the disk cannot hold the update with room to spare
};

// Every case runs against the installed files kInstalled.
struct Case
{
    const char* what;
    std::string installedV;
    std::string serverV;
    std::vector<ServerFile> server;
    UpdateOutcome outcome;
    ListFault listFault;
    // Found in the update log; empty: there is no log.
    std::string logged;
    // "p=v" of update.xml's entries, in order.
    std::vector<std::string> listed = {};
    // Files staged below the staging folder (update.xml and the staged list aside).
    std::map<std::string, std::string> staged = {};
};

struct KeyPair
{
    PublicKey publicKey{};
    SecretKey secretKey{};
    KeyPair() { MakeKeyPair(publicKey, secretKey); }
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every regular file below `folder`, by relative path, except what lies below `skip`.
std::map<std::string, std::string> Snapshot(const fs::path& folder, const std::string& skip = "")
{
    std::map<std::string, std::string> files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).generic_string();
        if (!skip.empty() && relative.rfind(skip, 0) == 0)
            continue;
        if (entry.is_regular_file())
            files[relative] = ReadFile(entry.path());
    }
    return files;
}

// Times around now: the lists a test serves are fresh unless a case says otherwise.
std::string UtcDaysFromNow(int days)
{
    return FormatUtcTime(static_cast<std::int64_t>(std::time(nullptr)) + days * 86400);
}

std::string ListText(const std::string& rootV, const std::vector<ServerFile>& files,
                     ListFault fault = ListFault::None)
{
    const std::string expires = UtcDaysFromNow(fault == ListFault::Expired ? -1 : 90);
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<version v=\"" + rootV +
                       "\" made=\"" + UtcDaysFromNow(-2) + "\" expires=\"" + expires + "\">\r\n";
    for (const ServerFile& f : files) {
        text += "    <file p=\"" + f.p + "\" v=\"" + f.v + "\"";
        const std::string hash = f.listedHash.empty() ? Sha256Hex(f.content) : f.listedHash;
        if (hash != "none")
            text += " sha256=\"" + hash + "\"";
        text += " size=\"" +
                (f.listedSize.empty() ? std::to_string(f.content.size()) : f.listedSize) + "\"";
        text += " />\r\n";
    }
    return text + "</version>\r\n";
}

std::string InstalledText(const std::string& rootV,
                          const std::vector<std::pair<std::string, std::string>>& files,
                          ListFault fault = ListFault::None)
{
    std::string text =
        "<version v=\"" + rootV + "\"" +
        (fault == ListFault::MadeEarly ? " made=\"" + UtcDaysFromNow(-1) + "\"" : "") + ">\n";
    for (const auto& [p, v] : files)
        text += "<file p=\"" + p + "\" v=\"" + v + "\" />\n";
    return text + "</version>\n";
}

std::vector<std::string> ListedEntries(const fs::path& updateXml)
{
    TiXmlDocument doc;
    if (!doc.LoadFile(updateXml.string().c_str()))
        return {"(unreadable)"};
    std::vector<std::string> entries;
    const TiXmlElement* root = doc.FirstChildElement();
    EXPECT_STREQ(root->Value(), "List");
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        EXPECT_STREQ(e->Value(), "File");
        entries.push_back(std::string(e->Attribute("p")) + "=" + e->Attribute("v"));
    }
    return entries;
}

const std::vector<std::pair<std::string, std::string>> kInstalled = {
    {"Release\\Tavro", "1"}, {"Release\\data\\tavro_tip.db", "1"}, {"Skin\\Default.skn", "1"}};

// A program folder, a server and a signing key for one case.
struct World
{
    UpdateSettings Settings() const
    {
        UpdateSettings settings;
        settings.programDir = m_dir.WidePath();
        settings.serverBase = m_server.Url("/quelmo/");
        settings.key = m_signer.publicKey;
        settings.limits.stallSeconds = 1;
        return settings;
    }

    void Serve(const Case& c)
    {
        const std::string list = c.listFault == ListFault::Empty ? ""
                                 : c.listFault == ListFault::NotXml
                                     ? "<<not xml>>"
                                     : ListText(c.serverV, c.server, c.listFault);
        if (c.listFault != ListFault::Missing)
            m_server.Set("/quelmo/Bin/Release/version.xml", {Answer::Body, list, 200, "text/xml"});
        const KeyPair other;
        if (c.listFault != ListFault::Unsigned)
            m_server.Set("/quelmo/Bin/Release/version.xml.sig",
                         {Answer::Body,
                          SignList(list, c.listFault == ListFault::OtherKey ? other.secretKey
                                                                            : m_signer.secretKey)});
        for (const ServerFile& f : c.server) {
            std::string path = "/quelmo/Bin/" + f.p;
            std::replace(path.begin(), path.end(), '\\', '/');
            m_server.Set(path, {f.answer, f.content, f.status});
            // Also where a client that folds "a/../b" asks for it, so that a climbing path
            // is really on offer.
            m_server.Set(fs::path(path).lexically_normal().generic_string(),
                         {f.answer, f.content, f.status});
        }
        m_listBytes = list;
    }

    TempProgramDir m_dir;
    LoopbackServer m_server;
    KeyPair m_signer;
    std::string m_listBytes;
};

TEST(UpdateWorker, StagesExactlyWhatDiffersAndMarksReadyOnlyWhenAllArrived)
{
    const std::vector<ServerFile> changedAndNew = {
        {"Release\\Tavro", "2", "new program"},
        {"Release\\data\\tavro_tip.db", "1", "same db"},
        {"Release\\data\\pic\\1.jpg", "1", "new picture"},
    };
    const std::map<std::string, std::string> bothStaged = {
        {"Release/Tavro", "new program"}, {"Release/data/pic/1.jpg", "new picture"}};
    const std::vector<std::string> bothListed = {"Release\\Tavro=2", "Release\\data\\pic\\1.jpg=1"};
    // The new program and a second file.
    auto plus = [](const ServerFile& second) {
        return std::vector<ServerFile>{{"Release\\Tavro", "2", "new program"}, second};
    };
    auto faulty = [&plus](Answer answer, int status = 200) {
        return plus({"Skin\\Default.skn", "2", "new skin", answer, status});
    };
    const std::vector<std::string> faultyListed = {"Release\\Tavro=2", "Skin\\Default.skn=2"};
    const std::map<std::string, std::string> goodOnly = {{"Release/Tavro", "new program"}};
    const std::vector<std::string> programListed = {"Release\\Tavro=2"};
    // The new program alone, listed with another hash or size.
    auto listedAs = [](std::string hash, std::string size) {
        return std::vector<ServerFile>{
            {"Release\\Tavro", "2", "new program", Answer::Body, 200, hash, size}};
    };
    const std::vector<ServerFile> twice = {{"Release\\Tavro", "2", "twice"},
                                           {"Release\\Tavro", "3", "twice"}};
    const std::vector<std::string> twiceListed = {"Release\\Tavro=2", "Release\\Tavro=3"};
    const std::map<std::string, std::string> twiceStaged = {{"Release/Tavro", "twice"}};
    const std::vector<ServerFile> unchanged = {{"Release\\Tavro", "1", "x"}};
    const std::vector<ServerFile> climbing = {{"Release\\Tavro", "2", "new program"},
                                              {"/tmp/evil", "1", "e"},
                                              {"C:\\evil", "1", "e"},
                                              {"..\\..\\evil", "1", "e"},
                                              {"Release\\..\\..\\evil", "1", "e"}};
    using enum UpdateOutcome;
    using LF = ListFault;

    // Installed and served versions, what is served, the outcome, the list's fault, what is
    // logged, and for a staging run what update.xml lists and what was staged.
    const Case cases[] = {
        {"changed and new files are staged, installed-only files left alone", "4.0.0", "4.0.1",
         changedAndNew, Ready, LF::None, "", bothListed, bothStaged},
        {"versions compare as numbers: 4.0.10 is newer than 4.0.9", "4.0.9", "4.0.10",
         changedAndNew, Ready, LF::None, "", bothListed, bothStaged},
        {"downgrade: an older signed list is no update", "4.0.1", "3.9.0", changedAndNew, NotNewer,
         LF::None, "3.9.0 is not newer than the installed 4.0.1"},
        {"an equal version is no update even though files differ", "4.0.1", "4.0.1", changedAndNew,
         NotNewer, LF::None, "is not newer"},
        {"a version that is not dotted numbers", "4.0.1", "4.0.2-a", changedAndNew, Refused,
         LF::None, "not dotted numbers"},
        {"an expired list", "4.0.0", "4.0.1", changedAndNew, Expired, LF::Expired, "stale"},
        {"a list made before the installed one", "4.0.0", "4.0.1", changedAndNew, NotNewer,
         LF::MadeEarly, "before the installed 4.0.0"},
        {"every file equal: an empty list, still ready", "4.0.0", "4.0.1", unchanged, Ready,
         LF::None, ""},
        {"duplicates are staged twice in order", "4.0.0", "4.0.1", twice, Ready, LF::None, "",
         twiceListed, twiceStaged},
        {"404 for a file", "4.0.0", "4.0.1", faulty(Answer::Body, 404), Incomplete, LF::None,
         "status 404", faultyListed, goodOnly},
        {"a 404 page longer than the file", "4.0.0", "4.0.1",
         plus({"Skin\\Default.skn", "2", std::string(500, 'e'), Answer::Body, 404, {}, "3"}),
         Incomplete, LF::None, "status 404", faultyListed, goodOnly},
        {"500 for a file", "4.0.0", "4.0.1", faulty(Answer::Body, 500), Incomplete, LF::None,
         "status 500", faultyListed, goodOnly},
        {"a body shorter than its length", "4.0.0", "4.0.1", faulty(Answer::Short), Incomplete,
         LF::None, "Default.skn", faultyListed, goodOnly},
        {"a server that stalls", "4.0.0", "4.0.1", faulty(Answer::Stall), Incomplete, LF::None,
         "Default.skn", faultyListed, goodOnly},
        {"a server that drips", "4.0.0", "4.0.1",
         plus({"Skin\\Default.skn", "2", std::string(4096, 'd'), Answer::Drip}), Incomplete,
         LF::None, "Default.skn", faultyListed, goodOnly},
        {"an endless body stops at the listed size", "4.0.0", "4.0.1", faulty(Answer::Endless),
         Incomplete, LF::None, "more than its 8 bytes", faultyListed, goodOnly},
        {"a file longer than its listed size", "4.0.0", "4.0.1", listedAs("", "4"), Incomplete,
         LF::None, "more than its 4 bytes", programListed},
        {"a file shorter than its listed size", "4.0.0", "4.0.1", listedAs("", "12"), Incomplete,
         LF::None, "short: 11 of 12", programListed},
        {"a redirect loop", "4.0.0", "4.0.1", faulty(Answer::RedirectLoop), Incomplete, LF::None,
         "Default.skn", faultyListed, goodOnly},
        {"a file whose hash differs", "4.0.0", "4.0.1", listedAs(Sha256Hex("other"), ""),
         Incomplete, LF::None, "SHA-256 differs", programListed},
        {"a file without a hash refuses the list", "4.0.0", "4.0.1", listedAs("none", ""), Refused,
         LF::None, "has no SHA-256"},
        {"a file without a size refuses the list", "4.0.0", "4.0.1", listedAs("", "-"), Refused,
         LF::None, "has no size"},
        {"absolute and climbing paths refuse the list before any download", "4.0.0", "4.0.1",
         climbing, Refused, LF::None, "refused path"},
        {"the profile refuses the list before any download", "4.0.0", "4.0.1",
         plus({"Release\\conf\\userdata.xml", "2", "mine"}), Refused, LF::None,
         "refused path \"Release\\conf\\userdata.xml\""},
        {"a folder on disk refuses the list before any download", "4.0.0", "4.0.1",
         plus({"Release", "2", "a file"}), Refused, LF::None, "refused path \"Release\""},
        {"an update over the size cap", "4.0.0", "4.0.1", listedAs("", "2000000000"), Refused,
         LF::None, "an update may carry"},
        {"a disk too small for the update", "4.0.0", "4.0.1", changedAndNew, Refused, LF::NoRoom,
         "to spare"},
        {"an unsigned list", "4.0.0", "4.0.1", changedAndNew, NoServerList, LF::Unsigned,
         "not signed"},
        {"a list signed by another key", "4.0.0", "4.0.1", changedAndNew, NoServerList,
         LF::OtherKey, "signature is not good"},
        {"an empty list", "4.0.0", "4.0.1", {}, Refused, LF::Empty, "not XML"},
        {"a list that is not XML", "4.0.0", "4.0.1", {}, Refused, LF::NotXml, "not XML"},
        {"no list on the server: no refusal, nothing logged",
         "4.0.0",
         "4.0.1",
         {},
         NoServerList,
         LF::Missing,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        const TempProgramDir& m_dir = w.m_dir;
        m_dir.Write("Release/version.xml", InstalledText(c.installedV, kInstalled, c.listFault));
        m_dir.Write("Release/Tavro", "old program");
        // Left by an earlier run that did not finish.
        m_dir.Write(kStaging + "/Release/version.xml", "stale");
        w.Serve(c);
        const auto outside = Snapshot(m_dir.Path(), kStaging);
        UpdateSettings settings = w.Settings();
        if (c.listFault == ListFault::NoRoom)
            settings.spareBytes = std::uint64_t(1) << 62;

        EXPECT_EQ(RunUpdateCheck(settings), c.outcome);

        auto after = Snapshot(m_dir.Path(), kStaging);
        const std::string log =
            after.count("Release/update.log") ? after["Release/update.log"] : "";
        after.erase("Release/update.log");
        EXPECT_EQ(after, outside) << "changed outside staging";
        if (c.logged.empty()) {
            EXPECT_EQ(log, "");
        } else {
            EXPECT_NE(log.find(c.logged), std::string::npos) << log;
            // One line per refusal or failed file.
            EXPECT_EQ(std::count(log.begin(), log.end(), '\n'),
                      c.outcome == UpdateOutcome::Incomplete
                          ? std::ptrdiff_t(c.listed.size()) - std::ptrdiff_t(c.staged.size())
                          : 1)
                << log;
        }
        const fs::path staging = m_dir.Sub(kStaging);
        auto staged = Snapshot(staging);
        const std::string stagedList =
            staged.count("Release/version.xml") ? staged["Release/version.xml"] : "(none)";
        const std::string stagedSig =
            staged.count("Release/version.xml.sig") ? staged["Release/version.xml.sig"] : "(none)";
        const bool hasFileList = staged.count("update.xml") > 0;
        staged.erase("Release/version.xml");
        staged.erase("Release/version.xml.sig");
        staged.erase("update.xml");
        EXPECT_EQ(staged, c.staged);

        const bool stagingRan =
            c.outcome == UpdateOutcome::Ready || c.outcome == UpdateOutcome::Incomplete;
        EXPECT_EQ(hasFileList, stagingRan);
        // A refused list costs no download.
        for (const ServerFile& f : c.server) {
            std::string path = "/quelmo/Bin/" + f.p;
            std::replace(path.begin(), path.end(), '\\', '/');
            if (!stagingRan) {
                EXPECT_EQ(w.m_server.RequestsFor(path), 0) << path;
            }
        }
        if (hasFileList) {
            EXPECT_EQ(ListedEntries(staging / "update.xml"), c.listed);
        }
        if (c.outcome == UpdateOutcome::Ready) {
            EXPECT_EQ(stagedList, w.m_listBytes);
            EXPECT_TRUE(VerifyListSignature(stagedList, stagedSig, w.m_signer.publicKey));
        } else {
            EXPECT_EQ(stagedList, stagingRan ? "(none)" : "stale");
            EXPECT_EQ(stagedSig, "(none)");
        }
    }
}

TEST(UpdateWorker, TheThreadReportsReadyOnceAndQuitsMidDownloadWithoutMarking)
{
    const struct
    {
        const char* what;
        Answer answer;
        bool quitDuringDownload;
        bool ready;
    } cases[] = {
        {"a whole update", Answer::Body, false, true},
        {"quit while a file downloads", Answer::Stall, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        w.m_dir.Write("Release/version.xml", InstalledText("4.0.0", kInstalled));
        w.Serve({"",
                 "4.0.0",
                 "4.0.1",
                 {{"Release\\Tavro", "2", "new", c.answer}},
                 UpdateOutcome::Ready,
                 ListFault::None,
                 ""});
        UpdateSettings settings = w.Settings();
        // Long enough that only the quit can end the stalled download.
        settings.limits.stallSeconds = 60;
        std::atomic<int> readyCalls{0};
        {
            UpdateWorkerThread worker;
            const UpdateCheck check = [settings](const std::atomic<bool>* cancel) mutable {
                settings.cancel = cancel;
                return RunUpdateCheck(settings) == UpdateOutcome::Ready;
            };
            worker.Start(check, [&] { ++readyCalls; });
            worker.Start(check, [&] { ++readyCalls; });
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            if (!c.quitDuringDownload) {
                while (readyCalls == 0 && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
            } else {
                while (w.m_server.RequestsFor("/quelmo/Bin/Release/Tavro") == 0 &&
                       std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                ASSERT_EQ(w.m_server.RequestsFor("/quelmo/Bin/Release/Tavro"), 1);
                worker.Stop();
            }
        }
        EXPECT_EQ(readyCalls, c.ready ? 1 : 0);
        EXPECT_EQ(fs::exists(w.m_dir.Sub(kStaging + "/Release/version.xml")), c.ready);
        EXPECT_EQ(w.m_server.RequestsFor("/quelmo/Bin/Release/Tavro"), 1);
    }
}

} // namespace
