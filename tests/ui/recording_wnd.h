#pragma once

// A window that records every message it receives and lets a test script its answers.

#include "ui/wnd.h"
#include "wait_for.h"

#include <QCoreApplication>
#include <QTest>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

struct Received
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool visible; // whether the window was visible when the message arrived
};

class RecordingWnd : public CWnd
{
public:
    ~RecordingWnd() override
    {
        if (deleted)
            *deleted = true;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        log.push_back({message, wParam, lParam, IsWindowVisible()});
        if (const auto it = handlers.find(message); it != handlers.end()) {
            // A copy: the handler may delete this object and its handlers with it.
            const auto handler = it->second;
            return handler(wParam, lParam);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

    std::vector<UINT> Messages(std::initializer_list<UINT> only = {}) const
    {
        std::vector<UINT> result;
        for (const Received& r : log)
            if (only.size() == 0 || std::find(only.begin(), only.end(), r.message) != only.end())
                result.push_back(r.message);
        return result;
    }
    int Count(UINT message) const
    {
        return static_cast<int>(std::count_if(
            log.begin(), log.end(), [&](const Received& r) { return r.message == message; }));
    }
    const Received* Last(UINT message) const
    {
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->message == message)
                return &*it;
        return nullptr;
    }

    std::vector<Received> log;
    std::map<UINT, std::function<LRESULT(WPARAM, LPARAM)>> handlers;
    int createResult = 0;
    bool* deleted = nullptr;

protected:
    int OnCreate() override { return createResult; }
};

// Handles the input already queued, then posts a marker message and waits for it, so that
// every message posted before the marker has arrived too.
constexpr UINT kMarker = WM_USER + 0x300;
inline bool Drain(RecordingWnd& wnd)
{
    QCoreApplication::processEvents();
    const int before = wnd.Count(kMarker);
    return wnd.PostMessage(kMarker) && WaitFor([&] { return wnd.Count(kMarker) > before; });
}

inline void FlushDeferredDeletes() { ReleaseDestroyedWindows(); }
