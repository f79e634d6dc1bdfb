// Where the program's diagnostics go: the trace file the end-to-end tests read, the
// console, or on to the handler that was there before.

#include "app/trace.h"
#include "host/diagnostics.h"
#include "temp_program_dir.h"

#include <QMessageLogger>
#include <QString>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Stands for whatever handler the program had before: Qt's own, or main's.
std::vector<std::string> g_passedOn;
void RecordPassedOn(QtMsgType, const QMessageLogContext&, const QString& text)
{
    g_passedOn.push_back(text.toStdString());
}

// A console that can be read back; gone when closed.
class Console
{
public:
    Console() : m_file(std::tmpfile()) {}
    ~Console() { std::fclose(m_file); }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;
    std::FILE* File() const { return m_file; }
    std::string Text() const
    {
        std::fflush(m_file);
        std::rewind(m_file);
        std::string text;
        for (int c = std::fgetc(m_file); c != EOF; c = std::fgetc(m_file))
            text += static_cast<char>(c);
        return text;
    }

private:
    std::FILE* m_file;
};

void Log(const char* category, QtMsgType type, const char* text)
{
    QMessageLogger logger(nullptr, 0, nullptr, category);
    if (type == QtInfoMsg)
        logger.info("%s", text);
    else
        logger.warning("%s", text);
}

struct Case
{
    const char* what;
    std::function<void()> send;
    bool inFile;    // as "<pid> <text>"
    bool onConsole; // as the plain text
    bool passedOn;  // to the previous handler
    const char* text;
};

class TraceHandlerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_passedOn.clear();
        m_previous = qInstallMessageHandler(RecordPassedOn);
    }
    void TearDown() override { qInstallMessageHandler(m_previous); }

    std::string TracePath() const { return dir.Sub("trace.log").string(); }
    std::string TraceText() const
    {
        return std::filesystem::exists(TracePath()) ? dir.Read("trace.log") : std::string();
    }

    TempProgramDir dir;
    QtMessageHandler m_previous = nullptr;
};

TEST_F(TraceHandlerTest, EachMessageGoesWhereItBelongs)
{
    const std::string pid = std::to_string(::getpid());
    const std::vector<Case> cases = {
        {"the trail", [] { Trace("normal mode"); }, true, false, false, "normal mode"},
        {"a skin problem", [] { Log("tavro.skin", QtWarningMsg, "skin: no form \"X\""); }, true,
         true, false, "skin: no form \"X\""},
        {"the web module", [] { Log("tavro.web", QtWarningMsg, "tavro: cannot load"); }, true, true,
         false, "tavro: cannot load"},
        {"a host warning", [] { HostWarning("Tavro: TAVRO_HOME_PAGE=\"x\" is ignored"); }, true,
         true, false, "Tavro: TAVRO_HOME_PAGE=\"x\" is ignored"},
        {"Chinese text", [] { Trace("提醒 第3天"); }, true, false, false, "提醒 第3天"},
        {"Qt's own", [] { Log("qt.qpa.xcb", QtWarningMsg, "qt says"); }, false, false, true,
         "qt says"},
        {"a look-alike name", [] { Log("tavrox", QtWarningMsg, "not ours"); }, false, false, true,
         "not ours"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(TracePath());
        g_passedOn.clear();
        Console console;
        {
            TraceHandler handler(TracePath(), console.File());
            ASSERT_TRUE(handler.IsWriting());
            c.send();
        }
        EXPECT_EQ(TraceText(), c.inFile ? pid + " " + c.text + "\n" : "");
        EXPECT_EQ(console.Text(), c.onConsole ? std::string(c.text) + "\n" : "");
        EXPECT_EQ(g_passedOn,
                  c.passedOn ? std::vector<std::string>{c.text} : std::vector<std::string>{});
    }
}

TEST_F(TraceHandlerTest, WithoutATraceFileOnlyProblemsAreSaid)
{
    Console console;
    {
        TraceHandler handler(std::string(), console.File());
        EXPECT_FALSE(handler.IsWriting());
        Trace("normal mode");
        Log("tavro.skin", QtWarningMsg, "skin: no control");
    }
    EXPECT_EQ(console.Text(), "skin: no control\n");
    EXPECT_TRUE(g_passedOn.empty());
}

TEST_F(TraceHandlerTest, TheTrailIsAppendedAndStopsWithTheHandler)
{
    dir.Write("trace.log", "1 earlier run\n");
    Console console;
    {
        TraceHandler handler(TracePath(), console.File());
        Trace("first run");
        Trace("shutdown");
    }
    // Off again: neither the file nor the previous handler hears of it.
    Trace("after the end");
    const std::string pid = std::to_string(::getpid());
    EXPECT_EQ(TraceText(), "1 earlier run\n" + pid + " first run\n" + pid + " shutdown\n");
    EXPECT_TRUE(g_passedOn.empty());
}

TEST_F(TraceHandlerTest, AnUnwritableTraceFileLeavesTheConsoleWorking)
{
    Console console;
    {
        TraceHandler handler(dir.Sub("no/such/folder/trace.log").string(), console.File());
        EXPECT_FALSE(handler.IsWriting());
        Trace("normal mode");
        Log("tavro.web", QtWarningMsg, "tavro: cannot load");
    }
    EXPECT_EQ(console.Text(), "tavro: cannot load\n");
}

} // namespace
