// The program's side of the update check: loading the update module on the worker's thread.

#include "update/update_worker_thread.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

std::mutex g_linesLock;
std::vector<std::string> g_lines;

void Collect(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_linesLock);
    g_lines.push_back(line);
}

class UpdateModuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_lines.clear();
        SetHostWarningSink(&Collect);
    }
    void TearDown() override { SetHostWarningSink(nullptr); }
};

// A folder without a usable module gives no update and one warning that says why, whether
// the module is missing or not a library at all; nothing is called back.
TEST_F(UpdateModuleTest, AModuleThatCannotBeLoadedIsAWarningAndNoUpdate)
{
    struct Case
    {
        const char* what;
        const char* content; // null: no module file
    };
    for (const Case& c : {Case{"missing", nullptr}, Case{"not a library", "not an ELF file"}}) {
        SCOPED_TRACE(c.what);
        g_lines.clear();
        TempProgramDir folder;
        if (c.content)
            folder.Write(std::string("lib") + kUpdateModuleBaseName + ".so", c.content);
        std::atomic<int> readyCalls{0};
        {
            UpdateWorkerThread worker;
            worker.Start(ModuleUpdateCheck(folder.Path().string()), [&] { ++readyCalls; });
        }
        EXPECT_EQ(readyCalls, 0);
        std::lock_guard<std::mutex> lock(g_linesLock);
        ASSERT_EQ(g_lines.size(), 1u);
        EXPECT_EQ(g_lines[0].rfind("update: ", 0), 0u) << g_lines[0];
        EXPECT_NE(g_lines[0].find(folder.Path().string()), std::string::npos) << g_lines[0];
    }
}

// The module the build stages loads on its own (everything it needs is linked in) and
// exports its entry point.
TEST_F(UpdateModuleTest, TheStagedModuleExportsItsEntryPoint)
{
    std::string error;
    EXPECT_NE(LoadUpdateModule(TAVRO_STAGE_DIR "/Release", &error), nullptr) << error;
    EXPECT_TRUE(error.empty());
}

} // namespace
