#include "app/tray_icon.h"

#include "app/trace.h"
#include "float/float_dlg.h"
#include "ui/wnd.h"

const QString TrayIcon::kTip = QStringLiteral("Tavro");

TrayIcon::TrayIcon(CWnd& owner, QIcon icon) : m_owner(owner), m_icon(std::move(icon)) {}

void TrayIcon::Add()
{
    const bool added = CurrentUiServices().tray->Add(TRAY_ICON_ID, kTip, m_icon, &m_owner);
    Trace(added ? "tray icon added" : "no notification area");
}

void TrayIcon::Remove() { CurrentUiServices().tray->Remove(TRAY_ICON_ID); }

std::vector<MenuItem> TrayIcon::MenuItems(bool widgetVisible, int pregnancyWeek)
{
    std::vector<MenuItem> items = {
        {ID_TRAY_ABOUT, QStringLiteral("关于我们")},
        {ID_TRAY_FEEDBACK, QStringLiteral("提点意见")},
        {ID_TRAY_CHANGE_DUE, QStringLiteral("修改预产期")},
    };
    // The same week as the widget's menu.
    if (pregnancyWeek >= CTavroFloatDlg::kToolsFromWeek) {
        items.push_back({ID_TRAY_KICKS, QStringLiteral("数胎动")});
        items.push_back({ID_TRAY_CONTRACTIONS, QStringLiteral("宫缩计时")});
    }
    items.push_back({ID_TRAY_VIEW_MAIN, QStringLiteral("查看Tavro")});
    if (widgetVisible)
        items.push_back({ID_TRAY_HIDE_FLOAT, QStringLiteral("隐藏浮窗")});
    else
        items.push_back({ID_TRAY_SHOW_FLOAT, QStringLiteral("显示浮窗")});
    items.push_back({ID_TRAY_EXIT, QStringLiteral("退出")});
    return items;
}

void TrayIcon::OnNotify(WPARAM id, LPARAM mouseMessage, bool widgetVisible, int pregnancyWeek)
{
    if (id != TRAY_ICON_ID)
        return;
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        m_owner.SendMessage(WM_SHOW_MAIN, 1, 0);
        break;
    case WM_RBUTTONDOWN: {
        m_owner.SetForegroundWindow();
        const UINT chosen = CurrentUiServices().menu->Track(MenuItems(widgetVisible, pregnancyWeek),
                                                            GetCursorPos(), &m_owner);
        // The menu runs its own loop, in which the owner may have been destroyed.
        if (chosen == ID_TRAY_VIEW_MAIN)
            m_owner.PostMessage(WM_VIEW_MAIN, 1, 0);
        else if (chosen && m_owner.IsWindow())
            m_owner.SendMessage(WM_COMMAND, chosen, 0);
        break;
    }
    default:
        break;
    }
}
