#pragma once

// Recording fakes for the services of host/services.h.

#include "host/services.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class FakeClock : public IClock
{
public:
    explicit FakeClock(std::int64_t now = 0) : m_now(now) {}
    std::int64_t Now() const override { return m_now; }
    void Set(std::int64_t now) { m_now = now; }

private:
    std::int64_t m_now;
};

struct ShownBox
{
    std::wstring text;
    std::wstring caption;
    BoxIcon icon;
};

class FakeMessageBox : public IMessageBox
{
public:
    void Show(const std::wstring& text, const std::wstring& caption, BoxIcon icon) override
    {
        shown.push_back({text, caption, icon});
        if (onShow)
            onShow();
    }
    void CloseAll() override { ++closeAllCalls; }
    std::vector<std::wstring> Texts() const
    {
        std::vector<std::wstring> texts;
        for (const auto& box : shown)
            texts.push_back(box.text);
        return texts;
    }
    std::vector<ShownBox> shown;
    int closeAllCalls = 0;
    // Runs while the "box" is up, as a real box's nested event loop would run other work.
    std::function<void()> onShow;
};

class FakeShell : public IShell
{
public:
    void OpenUrl(const std::wstring& url) override { openedUrls.push_back(url); }
    bool StartProgram(const std::wstring& path) override
    {
        startedPrograms.push_back(path);
        return startResult;
    }
    std::vector<std::wstring> openedUrls;
    std::vector<std::wstring> startedPrograms;
    bool startResult = true;
};

// Thrown by FakeProcessExit so that the code under test stops where the process would end.
struct ProcessExited : std::runtime_error
{
    explicit ProcessExited(int c) : std::runtime_error("process exited"), code(c) {}
    int code;
};

class FakeProcessExit : public IProcessExit
{
public:
    void Exit(int code) override
    {
        codes.push_back(code);
        throw ProcessExited(code);
    }
    std::vector<int> codes;
};

class FakeNetworkProbe : public INetworkProbe
{
public:
    bool IsNetworkAlive() override { return alive; }
    bool alive = true;
};

// Every fake at once, installed for the lifetime of the object.
struct FakeServices
{
    FakeClock clock;
    FakeMessageBox messageBox;
    FakeShell shell;
    FakeProcessExit processExit;
    FakeNetworkProbe network;
    ScopedServices installed{Services{&clock, &messageBox, &shell, &processExit, &network}};
};
