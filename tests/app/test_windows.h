#pragma once

// Windows that stand in for the program's real ones in the parent window's factory, and
// record what happens to them.

#include "app/parent_dlg.h"
#include "web/main_dlg_base.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct WindowLog
{
    std::vector<std::string> events;
    int Count(const std::string& event) const
    {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
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

// A recording window under each of the factory's keys, all writing to one log.
struct TestWindows
{
    WindowLog log;
    // The parent window's parts with these windows, and no update worker unless given.
    ParentWindowParts Parts(std::function<void(CTavroV4Dlg*)> startUpdateWorker = nullptr)
    {
        ParentWindowParts parts;
        for (const char* key : {"SetFirst", "Main", "Set", "Float"})
            parts.windowClasses[key] = [this, name = std::string(key)] {
                return new RecordingWindow(name, log);
            };
        parts.startUpdateWorker = std::move(startUpdateWorker);
        return parts;
    }
};
