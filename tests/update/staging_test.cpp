#include "update/staging.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <map>

namespace fs = std::filesystem;

namespace {

// Every regular file below `dir`, by relative path.
std::map<std::string, std::string> Files(const TempProgramDir& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
        if (entry.is_regular_file()) {
            const std::string relative = fs::relative(entry.path(), dir.Path()).string();
            files[relative] = dir.Read(relative);
        }
    }
    return files;
}

TEST(StagedFileStream, StagesWhatArrivedOnlyWhenCommittedAndLeavesNothingOtherwise)
{
    const struct
    {
        const char* what;
        const char* path;
        const char* firstAttempt; // written before a restart; empty: no restart
        std::vector<std::string> pieces;
        bool commit;
        bool writes;
        bool committed;
        const char* staged; // what the path holds at the end; null: nothing
    } cases[] = {
        {"pieces in order", "sub/a", "", {"one ", "two"}, true, true, true, "one two"},
        {"an empty body", "a", "", {}, true, true, true, ""},
        {"a retried body starts over", "a", "stale", {"fresh"}, true, true, true, "fresh"},
        {"not committed (a failed download)", "a", "", {"part"}, false, true, false, nullptr},
        {"below a file, not a folder", "blocker/a", "", {"x"}, true, false, false, nullptr},
        {"below a link to a folder elsewhere", "link/a", "", {"x"}, true, false, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        std::map<std::string, std::string> expected;
        if (std::string(c.path).rfind("blocker/", 0) == 0)
            dir.Write("blocker", expected["blocker"] = "file");
        if (c.staged)
            expected[c.path] = c.staged;
        if (std::string(c.path).rfind("link/", 0) == 0) {
            fs::create_directory(dir.Path() / "elsewhere");
            fs::create_directory_symlink(dir.Path() / "elsewhere", dir.Path() / "link");
        }
        std::string all;
        {
            StagedFileStream stream(dir.Path().string(), c.path);
            if (*c.firstAttempt) {
                stream.Restart();
                stream.Write(c.firstAttempt, std::strlen(c.firstAttempt));
            }
            stream.Restart();
            for (const std::string& piece : c.pieces) {
                EXPECT_EQ(stream.Write(piece.data(), piece.size()), c.writes);
                all += piece;
            }
            if (c.writes) {
                EXPECT_EQ(stream.Size(), all.size());
                EXPECT_EQ(stream.Hex(), Sha256Hex(all));
            }
            if (c.commit) {
                EXPECT_EQ(stream.Commit(), c.committed);
            }
        }
        EXPECT_EQ(Files(dir), expected);
        // A folder made on the way is the user's alone, whatever the umask.
        struct stat made;
        if (::lstat((dir.Path() / "sub").c_str(), &made) == 0) {
            EXPECT_EQ(made.st_mode & 0777, 0700u);
        }
    }
}

TEST(StagedFileStream, WhateverLiesUnderTheTemporaryNameIsReplacedNotOpened)
{
    TempProgramDir dir;
    const std::string folder = dir.Path().string();
    const std::string path = folder + "/x";
    // A FIFO would block a writer that opened it; a link would send the bytes elsewhere.
    ASSERT_EQ(::mkfifo((path + ".part").c_str(), 0600), 0);
    EXPECT_TRUE(WriteStagedFile(folder, "x", "fifo"));
    EXPECT_EQ(dir.Read("x"), "fifo");
    const std::string outside = (dir.Path() / "outside").string();
    dir.Write("outside", "untouched");
    fs::create_symlink(outside, path + ".part");
    EXPECT_TRUE(WriteStagedFile(folder, "x", "link"));
    EXPECT_EQ(dir.Read("x"), "link");
    EXPECT_EQ(dir.Read("outside"), "untouched");
    EXPECT_FALSE(fs::exists(path + ".part"));

    // A download streamed to the same name does the same.
    fs::create_symlink(outside, path + ".part");
    StagedFileStream stream(folder, "x");
    stream.Restart();
    EXPECT_TRUE(stream.Write("streamed", 8));
    EXPECT_TRUE(stream.Commit());
    EXPECT_EQ(dir.Read("x"), "streamed");
    EXPECT_EQ(dir.Read("outside"), "untouched");
}

} // namespace
