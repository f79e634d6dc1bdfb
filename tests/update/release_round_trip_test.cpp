// The release tool's server tree, served as it is, is what the worker accepts: a signed
// list whose unchanged files keep their old version, so exactly the changed ones are staged.

#include "key_files.h"
#include "release_tree.h"
#include "update/update_worker.h"
#include "update/version_list.h"

#include "loopback_server.h"
#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Serves every file below `bin` at /quelmo/Bin/<relative path>.
void ServeTree(LoopbackServer& server, const fs::path& bin)
{
    for (const auto& entry : fs::recursive_directory_iterator(bin)) {
        if (entry.is_regular_file())
            server.Set("/quelmo/Bin/" + fs::relative(entry.path(), bin).generic_string(),
                       {Answer::Body, ReadFile(entry.path())});
    }
}

TEST(ReleaseRoundTrip, AnUpdateMadeFromATreeStagesOnlyWhatChanged)
{
    TempProgramDir installed;
    installed.Write("Release/version.xml",
                    "<version v=\"4.0.0\">\n<file p=\"Release\\Tavro\" v=\"4.0.0\" />\n"
                    "<file p=\"Release\\data\\tavro_tip.db\" v=\"4.0.0\" />\n"
                    "<file p=\"Skin\\a &amp; b.svg\" v=\"4.0.0\" />\n</version>\n");
    installed.Write("Release/Tavro", "program");
    installed.Write("Release/data/tavro_tip.db", "tips 1");
    installed.Write("Skin/a & b.svg", "<svg/>");
    installed.Write("Release/conf/userdata.xml", "<profile needup=\"0\"/>");

    TempProgramDir next;
    next.Write("Release/Tavro", "program");
    next.Write("Release/data/tavro_tip.db", "tips 2");
    next.Write("Skin/a & b.svg", "<svg/>");
    next.Write("Skin/new.svg", "<svg new/>");
    next.Write("Release/conf/userdata.xml", "<profile needup=\"1\"/>");
    next.Write("Release/version.xml", "<version v=\"whatever\"/>");

    PublicKey publicKey{};
    SecretKey secretKey{};
    MakeKeyPair(publicKey, secretKey);
    TempProgramDir bin;
    ReleaseInput input{next.Path(), "4.0.1", installed.Path()};
    input.made = static_cast<std::int64_t>(std::time(nullptr));
    WriteServerTree(input, secretKey, bin.Path() / "Bin");

    // The profile and the installed list never travel; unchanged files keep 4.0.0.
    const auto entries = CollectRelease(input);
    std::vector<std::string> listed;
    for (const ReleaseEntry& e : entries)
        listed.push_back(e.p + "=" + e.v);
    EXPECT_EQ(listed,
              (std::vector<std::string>{"Release\\Tavro=4.0.0", "Release\\data\\tavro_tip.db=4.0.1",
                                        "Skin\\a & b.svg=4.0.0", "Skin\\new.svg=4.0.1"}));

    LoopbackServer server;
    ServeTree(server, bin.Path() / "Bin");
    UpdateSettings settings;
    settings.programDir = installed.WidePath();
    settings.serverBase = server.Url("/quelmo/");
    settings.key = publicKey;
    ASSERT_EQ(RunUpdateCheck(settings), UpdateOutcome::Ready);

    const fs::path staging = installed.Path() / "Release/Update.staging";
    EXPECT_EQ(ReadFile(staging / "Release/data/tavro_tip.db"), "tips 2");
    EXPECT_EQ(ReadFile(staging / "Skin/new.svg"), "<svg new/>");
    EXPECT_FALSE(fs::exists(staging / "Release/Tavro"));
    EXPECT_FALSE(fs::exists(staging / "Skin/a & b.svg"));
    EXPECT_EQ(ReadFile(staging / "Release/version.xml"),
              ReadFile(bin.Path() / "Bin/Release/version.xml"));

    // Signed by a key the program does not trust: nothing is staged.
    TempProgramDir stranger;
    stranger.Write("Release/version.xml", "<version v=\"4.0.0\"/>");
    settings.programDir = stranger.WidePath();
    settings.key = TrustedUpdateKey();
    EXPECT_EQ(RunUpdateCheck(settings), UpdateOutcome::NoServerList);
    EXPECT_FALSE(fs::exists(stranger.Path() / "Release/Update.staging"));
}

} // namespace

namespace {

TEST(ReleaseRoundTrip, ATreeFileTheProgramWouldRefuseRefusesTheReleaseAndNothingLeavesOut)
{
    const struct
    {
        const char* what;
        const char* file; // written into the tree beside Release/Tavro
        bool made;
    } cases[] = {
        {"a plain new file", "Release/data/new.txt", true},
        {"the profile and the updater's files are left out", "Release/conf/userdata.xml", true},
        {"a name climbing out with backslashes", "..\\..\\evil", false},
        {"the profile's path in one name", "Release\\conf\\userdata.xml", false},
        {"an absolute path in one name", "\\etc\\x", false},
        {"a drive letter", "Release/c:x", false},
        {"a name Windows would shorten", "Release/x.", false},
        {"a control character", "Release/a\tb", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir tree;
        tree.Write("Release/Tavro", "program");
        tree.Write(c.file, "content");
        TempProgramDir bin;
        ReleaseInput input{tree.Path(), "4.0.1", {}};
        input.made = 1'800'000'000;
        const fs::path out = bin.Path() / "out";
        bool made = true;
        try {
            WriteServerTree(input, KeyFromHex<64>(std::string(128, '1')).value(), out);
        } catch (const std::runtime_error&) {
            made = false;
        }
        EXPECT_EQ(made, c.made);
        // Whatever happened, nothing was written beside `out`.
        for (const auto& entry : fs::directory_iterator(bin.Path()))
            EXPECT_EQ(entry.path().filename(), "out");
        if (made) {
            const auto reading = ReadSignedVersionList(ReadFile(out / "Release/version.xml"));
            ASSERT_TRUE(reading.list) << reading.refusal;
            EXPECT_EQ(reading.list->made, 1'800'000'000);
            EXPECT_EQ(reading.list->expires, 1'800'000'000 + kDefaultValidDays * 86400);
            EXPECT_FALSE(fs::exists(out / "Release/conf"));
            EXPECT_EQ(ReadFile(out / "Release/Tavro"), "program");
        }
    }
}

TEST(ReleaseRoundTrip, AKeyFileIsCreatedPrivateAndNeverWrittenOver)
{
    TempProgramDir dir;
    const std::string secret = (dir.Path() / "k-secret.hex").string();
    CreateKeyFile(secret, "first\n", true);
    struct stat info
    {};
    ASSERT_EQ(::stat(secret.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const std::string elsewhere = (dir.Path() / "elsewhere").string();
    dir.Write("elsewhere", "untouched");
    const std::string link = (dir.Path() / "link-secret.hex").string();
    fs::create_symlink(elsewhere, link);
    const struct
    {
        const char* what;
        std::string path;
    } clashes[] = {{"an existing secret", secret}, {"a link, even to a file", link}};
    for (const auto& c : clashes) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(CreateKeyFile(c.path, "second\n", true), std::runtime_error);
    }
    EXPECT_EQ(dir.Read("k-secret.hex"), "first\n");
    EXPECT_EQ(dir.Read("elsewhere"), "untouched");
}

} // namespace
