#pragma once

// Windows that stand in for the program's real ones in the parent window's factory, and
// record what happens to them.

#include "app/parent_dlg.h"
#include "web/main_dlg_base.h"

#include <memory>
#include <string>
#include <vector>

struct WindowLog
{
    std::vector<std::string> events;
    int Count(const std::string& event) const
    {
        int n = 0;
        for (const auto& e : events)
            n += e == event;
        return n;
    }
};

class RecordingWindow : public CTavroMainDlgBase
{
public:
    RecordingWindow(std::string key, WindowLog& log) : m_key(std::move(key)), m_log(log)
    {
        m_log.events.push_back("construct " + m_key);
    }
    ~RecordingWindow() override { m_log.events.push_back("delete " + m_key); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_SHOWWINDOW)
            m_log.events.push_back((wParam ? "show " : "hide ") + m_key);
        if (message == WM_DESTROY)
            m_log.events.push_back("destroy " + m_key);
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    std::string m_key;
    WindowLog& m_log;
};

// Registers a recording window under each of the factory's keys for the test's lifetime.
struct RegisteredTestWindows
{
    WindowLog log;
    RegisteredTestWindows()
    {
        for (const char* key : {"SetFirst", "Main", "Set", "Float"})
            CTavroV4Dlg::RegisterWindowClass(
                key, [this, k = std::string(key)] { return new RecordingWindow(k, log); });
    }
    ~RegisteredTestWindows() { CTavroV4Dlg::ClearWindowClasses(); }
};
