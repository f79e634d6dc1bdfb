#pragma once

// Recording fakes for the window framework's services of ui/ui_services.h: popup menus
// answered in advance, a notification area that tests click, and a pointer they place.

#include "ui/ui_services.h"
#include "ui/wnd.h"

#include <functional>
#include <map>
#include <vector>

struct TrackedMenu
{
    std::vector<MenuItem> items;
    QPoint pos;
    CWnd* owner = nullptr;
};

class FakePopupMenu : public IPopupMenu
{
public:
    UINT Track(const std::vector<MenuItem>& items, QPoint screenPos, CWnd* owner) override
    {
        tracked.push_back({items, screenPos, owner});
        if (onTrack)
            onTrack();
        return answer;
    }
    // The ids of the last menu, in menu order.
    std::vector<UINT> LastIds() const
    {
        std::vector<UINT> ids;
        if (!tracked.empty())
            for (const MenuItem& item : tracked.back().items)
                ids.push_back(item.id);
        return ids;
    }
    std::vector<TrackedMenu> tracked;
    UINT answer = 0; // the id the "user" picks; 0 dismisses the menu
    // Runs while the menu is up, as a real menu's nested event loop would run other work.
    std::function<void()> onTrack;
};

struct TrayEntry
{
    QString tip;
    QIcon icon;
    CWnd* notify = nullptr;
    HWND handle;
};

class FakeTrayIcon : public ITrayIcon
{
public:
    bool Add(UINT id, const QString& tip, const QIcon& icon, CWnd* notify) override
    {
        ++adds;
        icons[id] = {tip, icon, notify, SafeHwnd(notify)};
        return available;
    }
    bool Remove(UINT id) override
    {
        ++removes;
        return icons.erase(id) != 0;
    }
    // A click on icon `id` as the notification area reports it (WM_LBUTTONDOWN,
    // WM_LBUTTONDBLCLK, WM_RBUTTONDOWN): posted like the real one. False without the icon.
    bool Click(UINT id, LPARAM mouseMessage) const
    {
        const auto it = icons.find(id);
        return it != icons.end() && ::PostMessage(it->second.handle, WM_TRAYICON, id, mouseMessage);
    }
    std::map<UINT, TrayEntry> icons;
    int adds = 0;
    int removes = 0;
    bool available = true;
};

class FakeCursor : public ICursor
{
public:
    QPoint Pos() const override { return pos; }
    QPoint pos;
};

// Every ui fake at once, installed for the lifetime of the object.
struct FakeUiServices
{
    FakePopupMenu menu;
    FakeTrayIcon tray;
    FakeCursor cursor;
    ScopedUiServices installed{UiServices{&menu, &tray, &cursor}};
};
