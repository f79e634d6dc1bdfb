#include "host/file_io.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Writes at most `budget` bytes in total, then fails as a full disk would.
WriteFunction FailAfter(std::size_t budget)
{
    return [budget](int fd, const char* data, std::size_t size) mutable -> long {
        if (budget == 0) {
            errno = ENOSPC;
            return -1;
        }
        const std::size_t n = std::min(size, budget);
        budget -= n;
        return static_cast<long>(::write(fd, data, n));
    };
}

// Writes one byte per call, as a slow pipe or a signal-interrupted write would.
long OneByteAtATime(int fd, const char* data, std::size_t)
{
    return static_cast<long>(::write(fd, data, 1));
}

std::size_t FileCount(const fs::path& folder)
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(AtomicWrite, CreatesAndReplacesTheFile)
{
    TempProgramDir dir;
    const std::string path = dir.Sub("profile.xml").string();
    ASSERT_TRUE(WriteFileAtomically(path, "first version").Ok());
    EXPECT_EQ(dir.Read("profile.xml"), "first version");

    const WriteResult second = WriteFileAtomically(path, "second", OneByteAtATime);
    EXPECT_TRUE(second.Ok());
    EXPECT_EQ(second.failedStep, WriteStep::None);
    EXPECT_EQ(dir.Read("profile.xml"), "second");

    ASSERT_TRUE(WriteFileAtomically(path, "").Ok());
    EXPECT_EQ(dir.Read("profile.xml"), "");
    EXPECT_EQ(FileCount(dir.Path()), 1u);
}

TEST(AtomicWrite, AFailureHalfWayLeavesTheOldFileIntact)
{
    TempProgramDir dir;
    const std::string old = "<userdata first=\"250\" needup=\"0\"><date year=\"2026\"/></userdata>";
    dir.Write("conf/userdata.xml", old);
    const std::string path = dir.Sub("conf/userdata.xml").string();
    const std::string replacement(10000, 'x');

    for (std::size_t budget :
         {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{9999}}) {
        const WriteResult result = WriteFileAtomically(path, replacement, FailAfter(budget));
        EXPECT_EQ(result.failedStep, WriteStep::Write) << budget;
        EXPECT_EQ(result.error, ENOSPC) << budget;
        EXPECT_EQ(dir.Read("conf/userdata.xml"), old) << budget;
        // The half-written new file is gone again.
        EXPECT_EQ(FileCount(dir.Sub("conf")), 1u) << budget;
    }
    // Enough room: the write goes through.
    EXPECT_TRUE(WriteFileAtomically(path, replacement, FailAfter(10000)).Ok());
    EXPECT_EQ(dir.Read("conf/userdata.xml"), replacement);
}

TEST(AtomicWrite, ReportsTheStepThatFailed)
{
    TempProgramDir dir;
    const WriteResult noFolder =
        WriteFileAtomically(dir.Sub("missing/userdata.xml").string(), "text");
    EXPECT_EQ(noFolder.failedStep, WriteStep::Create);
    EXPECT_EQ(noFolder.error, ENOENT);

    // A folder in the target's place cannot be replaced by a file.
    dir.Write("target/inside", "kept");
    const WriteResult overFolder = WriteFileAtomically(dir.Sub("target").string(), "text");
    EXPECT_EQ(overFolder.failedStep, WriteStep::Rename);
    EXPECT_EQ(dir.Read("target/inside"), "kept");
    EXPECT_EQ(FileCount(dir.Path()), 1u);
}

TEST(AtomicWrite, KeepsThePermissionsOfTheReplacedFile)
{
    TempProgramDir dir;
    dir.Write("script", "old");
    const std::string path = dir.Sub("script").string();
    ASSERT_EQ(chmod(path.c_str(), 0751), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "new").Ok());
    struct stat info
    {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
}

TEST(ReadWholeFile, ReadsOnlySmallRegularFiles)
{
    TempProgramDir dir;
    dir.Write("small", std::string("a\0b", 3));
    dir.Write("folder/x", "");
    EXPECT_EQ(ReadWholeFile(dir.Sub("small").string(), 3), std::string("a\0b", 3));
    EXPECT_EQ(ReadWholeFile(dir.Sub("small").string(), 2), std::nullopt);
    EXPECT_EQ(ReadWholeFile(dir.Sub("missing").string(), 100), std::nullopt);
    EXPECT_EQ(ReadWholeFile(dir.Sub("folder").string(), 100), std::nullopt);
    EXPECT_EQ(ReadWholeFile(dir.Sub("folder/x").string(), 100), std::string());
    const std::string big(100000, 'b');
    dir.Write("big", big);
    EXPECT_EQ(ReadWholeFile(dir.Sub("big").string(), big.size()), big);
}

TEST(ReadWholeFile, RefusesWhatIsNotARegularFileWithoutWaiting)
{
    TempProgramDir dir;
    ASSERT_EQ(mkfifo(dir.Sub("fifo").c_str(), 0600), 0);
    dir.Write("folder/x", "");
    fs::create_symlink(dir.Sub("fifo"), dir.Sub("link-to-fifo"));
    dir.Write("file", "x");
    fs::create_symlink(dir.Sub("file"), dir.Sub("link-to-file"));
    // A FIFO without a writer would block a plain open for ever.
    for (const std::string& path :
         {dir.Sub("fifo").string(), dir.Sub("link-to-fifo").string(), dir.Sub("folder").string(),
          std::string("/dev/null"), std::string("/dev/zero")}) {
        EXPECT_EQ(ReadWholeFile(path, 100), std::nullopt) << path;
        EXPECT_FALSE(IsRegularFile(path)) << path;
    }
    EXPECT_TRUE(IsRegularFile(dir.Sub("link-to-file").string()));
    EXPECT_EQ(ReadWholeFile(dir.Sub("link-to-file").string(), 100), "x");
}

TEST(ReadFileInPieces, HandsOverTheFileInOrderUntilTheReaderStops)
{
    TempProgramDir dir;
    // Several pieces' worth, so that a lost or repeated piece shows.
    std::string content;
    for (int n = 0; n < 300000; ++n)
        content += static_cast<char>('a' + n % 23);
    dir.Write("large", content);
    const std::string path = dir.Sub("large").string();
    // The reader answers false once it holds `stopAt` bytes.
    for (const std::size_t stopAt : {content.size() + 1, std::size_t{1}, std::size_t{100000}}) {
        std::string got;
        std::size_t lastPiece = 0;
        EXPECT_TRUE(ReadFileInPieces(path, [&](std::string_view piece) {
            lastPiece = piece.size();
            got.append(piece);
            return got.size() < stopAt;
        }));
        EXPECT_EQ(got, content.substr(0, got.size())) << stopAt;
        if (stopAt > content.size())
            EXPECT_EQ(got.size(), content.size());
        else // no piece after the one that answered false
            EXPECT_LT(got.size() - lastPiece, stopAt) << stopAt;
        EXPECT_GE(got.size(), std::min(stopAt, content.size())) << stopAt;
    }
    EXPECT_FALSE(ReadFileInPieces(dir.Sub("missing").string(), [](std::string_view) {
        ADD_FAILURE() << "nothing to hand over";
        return true;
    }));
}

TEST(FileIo, MoveAsideNeverReplacesAnEarlierCopy)
{
    TempProgramDir dir;
    const std::string aside = dir.Sub("p.unreadable").string();
    for (const char* content : {"one", "two", "three"}) {
        dir.Write("p", content);
        ASSERT_TRUE(MoveAside(dir.Sub("p").string(), aside));
        EXPECT_FALSE(fs::exists(dir.Sub("p")));
    }
    EXPECT_EQ(dir.Read("p.unreadable"), "one");
    EXPECT_EQ(dir.Read("p.unreadable-2"), "two");
    EXPECT_EQ(dir.Read("p.unreadable-3"), "three");
    EXPECT_EQ(MoveAside(dir.Sub("missing").string(), aside), std::nullopt);
}

TEST(FileIo, OnlyNewFilesOfWritersThatAreGoneAreRemoved)
{
    TempProgramDir dir;
    // A pid that no longer runs: a child that has been reaped.
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    const std::string dead = std::to_string(gone), self = std::to_string(getpid());
    for (const std::string& name :
         std::vector<std::string>{"p.new-" + dead + "-0", "p.new-" + dead + "-7", "p.new-1-0",
                                  "p.new-" + self + "-1", "p.new-x-1", "q.new-" + dead + "-0", "p"})
        dir.Write(name, "x");
    EXPECT_EQ(RemoveStaleNewFiles(dir.Sub("p").string()), 2);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"p.new-1-0", "p.new-" + self + "-1", "p.new-x-1",
                                           "q.new-" + dead + "-0", "p"}));
}

TEST(FileIo, EnsureFolderMakesOneMissingLevel)
{
    TempProgramDir dir;
    EXPECT_TRUE(EnsureFolder(dir.Sub("conf").string()));
    EXPECT_TRUE(fs::is_directory(dir.Sub("conf")));
    EXPECT_TRUE(EnsureFolder(dir.Sub("conf").string()));
    dir.Write("file", "x");
    EXPECT_FALSE(EnsureFolder(dir.Sub("file").string()));
    EXPECT_FALSE(EnsureFolder(dir.Sub("a/b").string()));
}
