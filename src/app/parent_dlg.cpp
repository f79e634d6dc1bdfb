#include "app/parent_dlg.h"

#include "app/install_journal.h"
#include "app/trace.h"

#include "host/endpoints.h"
#include "host/paths.h"
#include "host/services.h"
#include "profile/app_data.h"
#include "profile/profile_file.h"
#include "ui/app_icon.h"
#include "ui/ui_services.h"
#include "web/main_dlg_base.h"

#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <map>

namespace {

std::map<std::string, CTavroV4Dlg::WindowMaker>& WindowClasses()
{
    static std::map<std::string, CTavroV4Dlg::WindowMaker> classes;
    return classes;
}

CTavroV4Dlg::UpdateWorkerStarter& UpdateWorker()
{
    static CTavroV4Dlg::UpdateWorkerStarter start;
    return start;
}

bool HasWindow(const CWnd* wnd) { return wnd && wnd->IsWindow(); }

// Destroys the member's window if it has one, deletes the object and clears the member.
template <typename T> void DestroyMember(T*& member)
{
    if (HasWindow(member))
        member->DestroyWindow();
    DeleteWnd(member);
    member = nullptr;
}

} // namespace

const QString CTavroV4Dlg::kTitle = QStringLiteral("Tavro父窗口");
const QString CTavroV4Dlg::kTrayTip = QStringLiteral("Tavro");

void CTavroV4Dlg::RegisterWindowClass(const std::string& key, WindowMaker make)
{
    WindowClasses()[key] = std::move(make);
}

void CTavroV4Dlg::ClearWindowClasses() { WindowClasses().clear(); }

void CTavroV4Dlg::SetUpdateWorkerStarter(UpdateWorkerStarter start)
{
    UpdateWorker() = std::move(start);
}

void ShowAndRaise(CWnd* wnd)
{
    wnd->ShowWindow(SW_RESTORE);
    wnd->ShowWindow(SW_SHOW);
    wnd->BringWindowToTop();
}

CTavroV4Dlg::CTavroV4Dlg(CTavroAppData& app)
    // The skin's art, the same picture as the installed launcher's icon.
    : m_hIcon(AppIcon(QString::fromStdWString(app.programDir) + QStringLiteral("/Skin"))),
      m_app(app), m_runningCopyListener([this](UINT message, WPARAM wParam, LPARAM lParam) {
          PostMessage(message, wParam, lParam);
      })
{}

CTavroV4Dlg::~CTavroV4Dlg()
{
    if (IsWindow())
        DestroyWindow();
}

bool CTavroV4Dlg::CreateAndInitialise()
{
    if (!CreatePopup(nullptr))
        return false;
    OnInitDialog();
    return !m_bEndedDuringInit;
}

int CTavroV4Dlg::DoModal()
{
    int result = -1;
    if (CreateAndInitialise())
        result = RunModalLoop();
    else if (m_bEndedDuringInit)
        result = m_nEndResult;
    if (IsWindow())
        DestroyWindow();
    return result;
}

void CTavroV4Dlg::OnInitDialog()
{
    GetWidget()->setWindowIcon(m_hIcon);

    // An update waits, or an install was cut short: hand over to the updater once. Shutdown
    // writes the profile with the flag cleared, so the next start runs normally.
    if (m_app.updatePending || UnfinishedInstallFound(m_app.programDir)) {
        m_app.updatePending = false;
        CurrentServices().shell->StartProgram(m_app.programDir + kUpdaterTail);
        m_bEndedDuringInit = true;
        m_nEndResult = IDOK;
        EndDialog(IDOK);
        return;
    }

    if (IsNetworkAlive() && UpdateWorker())
        UpdateWorker()(this);

    SetTaskbarButton(false);
    SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE);
    SetWindowText(kTitle);
    // A second copy finds this window by its title through the channel.
    Trace(m_runningCopyListener.Listen(kTitle) ? "listening" : "cannot listen");

    if (m_app.firstRun) {
        Trace("first run");
        m_pSetFirstDlg = CreateChildWindow("SetFirst");
        if (m_pSetFirstDlg)
            m_pSetFirstDlg->ShowWindow(SW_SHOW);
        return;
    }

    // A main window that stays hidden (a start at login, no network) is made just after the
    // widget is up rather than before it: nobody sees the difference, and building its form
    // (with the accessibility set-up its first text starts) held the widget back.
    const bool showMain = !m_app.restartMode && IsNetworkAlive();
    if (!m_pMainDlg && showMain)
        m_pMainDlg = dynamic_cast<CTavroMainDlgBase*>(CreateChildWindow("Main"));
    if (m_pMainDlg && !m_app.restartMode)
        m_pMainDlg->ShowWindow(showMain ? SW_SHOW : SW_HIDE);
    if (!m_pFloatDlg)
        m_pFloatDlg = CreateChildWindow("Float");
    if (m_pFloatDlg)
        m_pFloatDlg->ShowWindow(SW_SHOW);
    if (!m_pMainDlg) {
        // Tied to this object, which may go before its window's widget does.
        QTimer::singleShot(0, &m_runningCopyListener, [this] {
            if (!m_pMainDlg && IsWindow())
                m_pMainDlg = dynamic_cast<CTavroMainDlgBase*>(CreateChildWindow("Main"));
        });
    }
    AddTrayIcon();
    Trace("normal mode");
}

CWnd* CTavroV4Dlg::CreateChildWindow(const std::string& key)
{
    const auto found = WindowClasses().find(key);
    if (found == WindowClasses().end() || !found->second)
        return nullptr;
    CWnd* wnd = found->second();
    if (!wnd)
        return nullptr;
    // A window whose create handler fails stays an object without a window, which every
    // caller treats as "no window yet".
    if (wnd->CreatePopup(this))
        wnd->ShowWindow(SW_HIDE);
    return wnd;
}

void CTavroV4Dlg::EnsureWindow(CWnd*& member, const std::string& key)
{
    if (HasWindow(member))
        return;
    DeleteWnd(member);
    member = CreateChildWindow(key);
}

void CTavroV4Dlg::EnsureMainWindow()
{
    if (HasWindow(m_pMainDlg))
        return;
    DeleteWnd(m_pMainDlg);
    CWnd* wnd = CreateChildWindow("Main");
    m_pMainDlg = dynamic_cast<CTavroMainDlgBase*>(wnd);
    if (wnd && !m_pMainDlg)
        DeleteWnd(wnd);
}

void CTavroV4Dlg::AddTrayIcon()
{
    const bool added = CurrentUiServices().tray->Add(TRAY_ICON_ID, kTrayTip, m_hIcon, this);
    Trace(added ? "tray icon added" : "no notification area");
}

void CTavroV4Dlg::RemoveTrayIcon() { CurrentUiServices().tray->Remove(TRAY_ICON_ID); }

std::vector<std::pair<UINT, QString>> CTavroV4Dlg::TrayMenuItems() const
{
    std::vector<std::pair<UINT, QString>> items = {
        {ID_TRAY_ABOUT, QStringLiteral("关于我们")},
        {ID_TRAY_FEEDBACK, QStringLiteral("提点意见")},
        {ID_TRAY_CHANGE_DUE, QStringLiteral("修改预产期")},
    };
    if (HasWindow(m_pFloatDlg) && m_pFloatDlg->IsWindowVisible())
        items.emplace_back(ID_TRAY_HIDE_FLOAT, QStringLiteral("隐藏浮窗"));
    else
        items.emplace_back(ID_TRAY_SHOW_FLOAT, QStringLiteral("显示浮窗"));
    items.emplace_back(ID_TRAY_EXIT, QStringLiteral("退出"));
    return items;
}

LRESULT CTavroV4Dlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TRAYICON || (message >= WM_SHOW_MAIN && message <= WM_SHOW_SETTINGS) ||
        message == WM_COMMAND) {
        char line[64];
        std::snprintf(line, sizeof line, "message 0x%X %llu %lld", message,
                      static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
        Trace(line);
    }
    switch (message) {
    case WM_TRAYICON:
        OnTrayIcon(wParam, lParam);
        return 1;
    case WM_SHOW_MAIN:
        OnShowMain();
        return 1;
    case WM_SETUP_DONE:
        OnSetupDone();
        return 1;
    case WM_DUEDATE_CHANGED:
        OnDueDateChanged();
        return 1;
    case WM_VIEW_MAIN:
        OnViewMain(wParam);
        return 1;
    case WM_UPDATE_READY:
        OnUpdateReady();
        return 1;
    case WM_SHOW_SETTINGS:
        OnShowSettings();
        return 1;
    case WM_COMMAND:
        OnCommand(static_cast<UINT>(wParam));
        return CWnd::WindowProc(message, wParam, lParam);
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CTavroV4Dlg::OnTrayIcon(WPARAM id, LPARAM mouseMessage)
{
    if (id != TRAY_ICON_ID)
        return;
    if (mouseMessage == WM_LBUTTONDOWN || mouseMessage == WM_LBUTTONDBLCLK) {
        SendMessage(WM_SHOW_MAIN, 1, 0);
        return;
    }
    if (mouseMessage != WM_RBUTTONDOWN)
        return;
    SetForegroundWindow();
    std::vector<MenuItem> items;
    for (const auto& [itemId, text] : TrayMenuItems())
        items.push_back({itemId, text, true});
    const UINT chosen = CurrentUiServices().menu->Track(items, GetCursorPos(), this);
    if (chosen && IsWindow())
        SendMessage(WM_COMMAND, chosen, 0);
}

void CTavroV4Dlg::OnCommand(UINT id)
{
    switch (id) {
    case ID_TRAY_ABOUT:
        OpenPage(HomePage());
        break;
    case ID_TRAY_FEEDBACK:
        OpenPage(DesktopServer() + L"/tavro_fankui/");
        break;
    case ID_TRAY_CHANGE_DUE:
        EnsureWindow(m_pSetDlg, "Set");
        if (HasWindow(m_pSetDlg))
            m_pSetDlg->ShowWindow(SW_SHOW);
        break;
    case ID_TRAY_HIDE_FLOAT:
        if (HasWindow(m_pFloatDlg))
            m_pFloatDlg->ShowWindow(SW_HIDE);
        break;
    case ID_TRAY_SHOW_FLOAT:
        if (HasWindow(m_pFloatDlg))
            m_pFloatDlg->ShowWindow(SW_SHOW);
        break;
    case ID_TRAY_EXIT:
        EndDialog(IDOK);
        break;
    default:
        break;
    }
}

void CTavroV4Dlg::OnShowMain()
{
    if (HasWindow(m_pSetFirstDlg))
        return; // setup first
    EnsureMainWindow();
    if (!HasWindow(m_pMainDlg))
        return;
    if (IsNetworkAlive())
        ShowAndRaise(m_pMainDlg);
    else
        m_pMainDlg->ShowWindow(SW_HIDE);
}

void CTavroV4Dlg::OnSetupDone()
{
    SaveProfile(m_app);
    if (!m_pMainDlg)
        m_pMainDlg = dynamic_cast<CTavroMainDlgBase*>(CreateChildWindow("Main"));
    if (HasWindow(m_pMainDlg) && IsNetworkAlive())
        m_pMainDlg->ShowWindow(SW_SHOW);
    if (!m_pFloatDlg)
        m_pFloatDlg = CreateChildWindow("Float");
    if (HasWindow(m_pFloatDlg))
        m_pFloatDlg->ShowWindow(SW_SHOW);
    if (HasWindow(m_pSetFirstDlg))
        DestroyMember(m_pSetFirstDlg);
    AddTrayIcon();
}

void CTavroV4Dlg::OnDueDateChanged()
{
    // Showing makes the main window compose and load its page anew from the new calendar.
    if (!HasWindow(m_pMainDlg))
        return;
    m_pMainDlg->ShowWindow(SW_HIDE);
    m_pMainDlg->ShowWindow(SW_SHOW);
}

void CTavroV4Dlg::OnViewMain(WPARAM pageMode)
{
    EnsureMainWindow();
    if (!HasWindow(m_pMainDlg))
        return;
    if (m_pMainDlg->m_nPageMode != static_cast<int>(pageMode)) {
        m_pMainDlg->m_nPageMode = static_cast<int>(pageMode);
        m_pMainDlg->ShowWindow(SW_HIDE);
        m_pMainDlg->ShowWindow(SW_SHOW);
    }
    if (IsNetworkAlive()) {
        m_pMainDlg->ShowWindow(SW_SHOW);
        m_pMainDlg->BringWindowToTop();
    } else {
        m_pMainDlg->ShowWindow(SW_HIDE);
    }
}

void CTavroV4Dlg::OnUpdateReady()
{
    m_app.updatePending = true;
    SaveProfile(m_app);
}

void CTavroV4Dlg::OnShowSettings()
{
    EnsureWindow(m_pSetDlg, "Set");
    if (HasWindow(m_pSetDlg))
        ShowAndRaise(m_pSetDlg);
}

void CTavroV4Dlg::OnDestroy()
{
    DestroyMember(m_pSetFirstDlg);
    DestroyMember(m_pMainDlg);
    DestroyMember(m_pFloatDlg);
    DestroyMember(m_pSetDlg);
    RemoveTrayIcon();
}

bool CTavroV4Dlg::IsNetworkAlive() const { return CurrentServices().network->IsNetworkAlive(); }

void CTavroV4Dlg::OpenPage(const std::wstring& url) const { CurrentServices().shell->OpenUrl(url); }
