#include "update/staging.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <map>

namespace fs = std::filesystem;

namespace {

StagedFileWriter::Bytes Copy(const std::string& text)
{
    auto* bytes = static_cast<unsigned char*>(std::malloc(text.size() + 1));
    std::memcpy(bytes, text.data(), text.size());
    return StagedFileWriter::Bytes(bytes);
}

TEST(StagedFileWriter, StagesFilesInOrderAndTellsWhetherAllWereStaged)
{
    const std::string big(StagedFileWriter::kOverlapBytes + 1, 'b');
    struct Job
    {
        std::string path;
        std::string content;
    };
    const struct
    {
        const char* what;
        std::vector<Job> jobs;
        bool cancelled;
        bool allStaged;
        std::map<std::string, std::string> staged;
    } cases[] = {
        {"files in order, the later one of a path wins",
         {{"a", "one"}, {"sub/b", "two"}, {"a", "three"}},
         false,
         true,
         {{"a", "three"}, {"sub/b", "two"}}},
        {"an empty file", {{"a", "one"}, {"c", ""}}, false, true, {{"a", "one"}, {"c", ""}}},
        {"a file that cannot be written",
         {{"a", "one"}, {"a/x", "two"}},
         false,
         false,
         {{"a", "one"}}},
        {"a body over the overlap size",
         {{"big", big}, {"a", "one"}},
         false,
         true,
         {{"big", big}, {"a", "one"}}},
        {"after the quit nothing more is staged", {{"a", "one"}}, true, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        std::atomic<bool> cancel{c.cancelled};
        StagedFileWriter writer(&cancel);
        for (const Job& job : c.jobs) {
            const std::string path = (dir.Path() / job.path).string();
            writer.Add(Copy(job.content), job.content.size(), path);
            // A large body is written before the next download may start.
            if (job.content.size() > StagedFileWriter::kOverlapBytes) {
                EXPECT_EQ(fs::file_size(path), job.content.size());
            }
        }
        EXPECT_EQ(writer.Finish(), c.allStaged);
        std::map<std::string, std::string> staged;
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
            if (entry.is_regular_file())
                staged[fs::relative(entry.path(), dir.Path()).generic_string()] =
                    dir.Read(fs::relative(entry.path(), dir.Path()).string());
        }
        EXPECT_EQ(staged, c.staged);
    }
}

TEST(StagedFileWriter, WhateverLiesUnderTheTemporaryNameIsReplacedNotOpened)
{
    TempProgramDir dir;
    const std::string path = (dir.Path() / "x").string();
    // A FIFO would block a writer that opened it; a link would send the bytes elsewhere.
    ASSERT_EQ(::mkfifo((path + ".part").c_str(), 0600), 0);
    EXPECT_TRUE(WriteStagedFile(path, "fifo"));
    EXPECT_EQ(dir.Read("x"), "fifo");
    const std::string outside = (dir.Path() / "outside").string();
    dir.Write("outside", "untouched");
    fs::create_symlink(outside, path + ".part");
    EXPECT_TRUE(WriteStagedFile(path, "link"));
    EXPECT_EQ(dir.Read("x"), "link");
    EXPECT_EQ(dir.Read("outside"), "untouched");
    EXPECT_FALSE(fs::exists(path + ".part"));
}

} // namespace
