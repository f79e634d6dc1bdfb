#pragma once

// The notification-area icon and its menu. The icon's clicks arrive at the owner window as
// WM_TRAYICON, which hands them here: a left click or double click asks the owner for the
// main window, a right click opens the menu, and the chosen item goes back to the owner
// as a command. What each command does is the owner's business; "查看Tavro" asks the owner
// for the main window's dated page, as the widget's item of that name does.

#include "ui/ui_services.h"

#include <QIcon>
#include <QString>

#include <vector>

class CWnd;

class TrayIcon
{
public:
    static constexpr UINT TRAY_ICON_ID = 1074;
    static constexpr UINT ID_TRAY_ABOUT = 1124;
    static constexpr UINT ID_TRAY_FEEDBACK = 1125;
    static constexpr UINT ID_TRAY_EXIT = 1126;
    static constexpr UINT ID_TRAY_SHOW_FLOAT = 1127;
    static constexpr UINT ID_TRAY_HIDE_FLOAT = 1128;
    static constexpr UINT ID_TRAY_CHANGE_DUE = 1129;
    // The two tools offered from week 28; numbers of our own, apart from the ones above.
    static constexpr UINT ID_TRAY_KICKS = 1201;
    static constexpr UINT ID_TRAY_CONTRACTIONS = 1202;
    // The widget menu's "查看Tavro", so that nothing needs the pointer over the widget.
    static constexpr UINT ID_TRAY_VIEW_MAIN = 1130;
    static const QString kTip;

    TrayIcon(CWnd& owner, QIcon icon);

    void Add();
    void Remove();

    // WM_TRAYICON: wParam is the icon's id, lParam the mouse message. widgetVisible
    // chooses the item "隐藏浮窗" or "显示浮窗"; from week 28 "数胎动" and "宫缩计时"
    // follow "修改预产期".
    void OnNotify(WPARAM id, LPARAM mouseMessage, bool widgetVisible, int pregnancyWeek);

private:
    // The menu as it is built for the widget's visibility and the week, in menu order.
    static std::vector<MenuItem> MenuItems(bool widgetVisible, int pregnancyWeek);

    CWnd& m_owner;
    QIcon m_icon;
};
