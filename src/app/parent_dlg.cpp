#include "app/parent_dlg.h"

#include "app/trace.h"
#include "float/float_dlg.h"

#include "host/endpoints.h"
#include "host/paths.h"
#include "host/services.h"
#include "profile/app_data.h"
#include "profile/profile_file.h"
#include "track/contraction_dlg.h"
#include "track/kick_dlg.h"
#include "ui/app_icon.h"
#include "update/install_journal.h"
#include "web/main_dlg_base.h"

#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

bool HasWindow(const CWnd* wnd) { return wnd && wnd->IsWindow(); }

// Destroys the member's window if it has one, deletes the object and clears the member.
template <typename T> void DestroyMember(T*& member)
{
    if (HasWindow(member))
        member->DestroyWindow();
    DeleteWnd(member);
    member = nullptr;
}

void ShowAndRaise(CWnd* wnd)
{
    wnd->ShowWindow(SW_RESTORE);
    wnd->ShowWindow(SW_SHOW);
    wnd->BringWindowToTop();
}

bool IsRoutedMessage(UINT message)
{
    return message == WM_TRAYICON || message == WM_COMMAND ||
           (message >= WM_SHOW_MAIN && message <= WM_SHOW_SETTINGS);
}

void TraceMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    char line[64];
    std::snprintf(line, sizeof line, "message 0x%X %llu %lld", message,
                  static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
    Trace(line);
}

} // namespace

const QString CTavroV4Dlg::kTitle = QStringLiteral("Tavro父窗口");

CTavroV4Dlg::CTavroV4Dlg(CTavroAppData& app, ParentWindowParts parts)
    // The skin's art, the same picture as the installed launcher's icon.
    : m_hIcon(AppIcon(QString::fromStdWString(app.programDir) + QStringLiteral("/Skin"))),
      m_app(app), m_parts(std::move(parts)), m_trackBook(app.programDir), m_tray(*this, m_hIcon),
      m_runningCopyListener([this](UINT message, WPARAM wParam, LPARAM lParam) {
          PostMessage(message, wParam, lParam);
      })
{
    // A session that ended by itself while its window is shown is shown ended.
    m_trackBook.onKickSessionEnded = [this] {
        if (HasWindow(m_pKickDlg) && m_pKickDlg->IsWindowVisible())
            m_pKickDlg->SendMessage(WM_TIMER, CTrackDlgBase::TIMER_TICK, 0);
    };
}

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
    // The icon is only seen in a taskbar or a window switcher, which the widget never enters;
    // given to the windows at the event loop's first turn, its making and its rendering at
    // four sizes for each window no longer stand in front of the widget's first appearance.
    QTimer::singleShot(0, &m_runningCopyListener, [this] {
        QWidget* widget = GetWidget();
        if (!widget)
            return;
        widget->setWindowIcon(m_hIcon);
        // Qt hands a new icon on to child widgets, not to the child windows made before it.
        for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow() && !child->testAttribute(Qt::WA_SetWindowIcon))
                child->setWindowIcon(m_hIcon);
        }
    });
    // An install cut short is finished by the updater as a pending update would be.
    if (m_app.updatePending || UnfinishedInstallFound(m_app.programDir)) {
        HandOverToUpdater();
        return;
    }
    if (IsNetworkAlive() && m_parts.startUpdateWorker)
        m_parts.startUpdateWorker(this);

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
        return; // the rest waits for WM_SETUP_DONE
    }
    // A restart keeps the main window hidden until it is asked for.
    std::optional<int> mainShowState;
    if (!m_app.restartMode)
        mainShowState = IsNetworkAlive() ? SW_SHOW : SW_HIDE;
    EnterNormalMode(mainShowState);
    Trace("normal mode");
}

void CTavroV4Dlg::HandOverToUpdater()
{
    // Shutdown writes the profile with the flag cleared, so the handover happens once.
    m_app.updatePending = false;
    CurrentServices().shell->StartProgram(m_app.programDir + kUpdaterTail);
    m_bEndedDuringInit = true;
    m_nEndResult = IDOK;
    EndDialog(IDOK);
}

void CTavroV4Dlg::EnterNormalMode(std::optional<int> mainShowState)
{
    // A main window that stays hidden (a start at login, no network) is made just after the
    // widget is up rather than before it: nobody sees the difference, and building its form
    // (with the accessibility set-up its first text starts) held the widget back.
    if (!m_pMainDlg && mainShowState == SW_SHOW)
        m_pMainDlg = CreateMainWindow();
    if (mainShowState && HasWindow(m_pMainDlg))
        m_pMainDlg->ShowWindow(*mainShowState);
    if (!m_pFloatDlg)
        m_pFloatDlg = CreateChildWindow("Float");
    if (HasWindow(m_pFloatDlg))
        m_pFloatDlg->ShowWindow(SW_SHOW);
    if (HasWindow(m_pSetFirstDlg))
        DestroyMember(m_pSetFirstDlg);
    if (!m_pMainDlg) {
        // Tied to this object, which may go before its window's widget does.
        QTimer::singleShot(0, &m_runningCopyListener, [this] {
            if (!m_pMainDlg && IsWindow())
                m_pMainDlg = CreateMainWindow();
        });
    }
    // A movement session left running by the last run is watched again once the widget is up.
    QTimer::singleShot(0, &m_runningCopyListener, [this] {
        if (IsWindow())
            m_trackBook.Resume();
    });
    m_tray.Add();
}

CWnd* CTavroV4Dlg::CreateChildWindow(const std::string& key)
{
    const auto found = m_parts.windowClasses.find(key);
    if (found == m_parts.windowClasses.end() || !found->second)
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

CTavroMainDlgBase* CTavroV4Dlg::CreateMainWindow()
{
    CWnd* wnd = CreateChildWindow("Main");
    auto* main = dynamic_cast<CTavroMainDlgBase*>(wnd);
    // A "Main" class that is not a main window would never be deleted otherwise.
    if (wnd && !main)
        DeleteWnd(wnd);
    return main;
}

void CTavroV4Dlg::EnsureMainWindow()
{
    if (HasWindow(m_pMainDlg))
        return;
    DeleteWnd(m_pMainDlg);
    m_pMainDlg = CreateMainWindow();
}

void CTavroV4Dlg::ReloadMainWindow()
{
    m_pMainDlg->ShowWindow(SW_HIDE);
    m_pMainDlg->ShowWindow(SW_SHOW);
}

LRESULT CTavroV4Dlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsRoutedMessage(message))
        TraceMessage(message, wParam, lParam);
    switch (message) {
    case WM_TRAYICON:
        m_tray.OnNotify(wParam, lParam, IsWidgetVisible(), m_app.pregnancyWeek);
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

void CTavroV4Dlg::OnCommand(UINT id)
{
    switch (id) {
    case TrayIcon::ID_TRAY_ABOUT:
        OpenPage(HomePage());
        break;
    case TrayIcon::ID_TRAY_FEEDBACK:
        OpenPage(DesktopServer() + L"/tavro_fankui/");
        break;
    case TrayIcon::ID_TRAY_CHANGE_DUE:
        EnsureWindow(m_pSetDlg, "Set");
        if (HasWindow(m_pSetDlg))
            m_pSetDlg->ShowWindow(SW_SHOW);
        break;
    case TrayIcon::ID_TRAY_HIDE_FLOAT:
        if (HasWindow(m_pFloatDlg))
            m_pFloatDlg->ShowWindow(SW_HIDE);
        break;
    case TrayIcon::ID_TRAY_SHOW_FLOAT:
        if (HasWindow(m_pFloatDlg))
            m_pFloatDlg->ShowWindow(SW_SHOW);
        break;
    case TrayIcon::ID_TRAY_EXIT:
        EndDialog(IDOK);
        break;
    case TrayIcon::ID_TRAY_KICKS:
    case CTavroFloatDlg::ID_FLOAT_KICKS:
        OnShowTool(m_pKickDlg, true);
        break;
    case TrayIcon::ID_TRAY_CONTRACTIONS:
    case CTavroFloatDlg::ID_FLOAT_CONTRACTIONS:
        OnShowTool(m_pContractionDlg, false);
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
    // Already visible: raised without hiding it first, so its page is not loaded again.
    if (IsNetworkAlive())
        ShowAndRaise(m_pMainDlg);
    else
        m_pMainDlg->ShowWindow(SW_HIDE);
}

void CTavroV4Dlg::OnSetupDone()
{
    SaveProfile(m_app);
    // Without the network the main window keeps the visibility it has.
    std::optional<int> mainShowState;
    if (IsNetworkAlive())
        mainShowState = SW_SHOW;
    EnterNormalMode(mainShowState);
}

void CTavroV4Dlg::OnDueDateChanged()
{
    // No network test: the page is loaded anew from the new calendar either way.
    if (HasWindow(m_pMainDlg))
        ReloadMainWindow();
}

void CTavroV4Dlg::OnViewMain(WPARAM pageMode)
{
    EnsureMainWindow();
    if (!HasWindow(m_pMainDlg))
        return;
    if (m_pMainDlg->m_nPageMode != static_cast<int>(pageMode)) {
        m_pMainDlg->m_nPageMode = static_cast<int>(pageMode);
        ReloadMainWindow();
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
    // The updater runs at the next start.
    m_app.updatePending = true;
    SaveProfile(m_app);
}

void CTavroV4Dlg::OnShowSettings()
{
    EnsureWindow(m_pSetDlg, "Set");
    if (HasWindow(m_pSetDlg))
        ShowAndRaise(m_pSetDlg);
}

void CTavroV4Dlg::OnShowTool(CTrackDlgBase*& member, bool kicks)
{
    if (!HasWindow(member)) {
        DeleteWnd(member);
        SkinEngine* const skin = m_parts.skin ? m_parts.skin() : nullptr;
        member = kicks ? static_cast<CTrackDlgBase*>(new CTavroKickDlg(skin, m_trackBook, m_app))
                       : new CTavroContractionDlg(skin, m_trackBook, m_app);
        if (!member->CreatePopup(this)) {
            DeleteWnd(member);
            member = nullptr;
            return;
        }
    }
    member->Present();
}

void CTavroV4Dlg::OnDestroy()
{
    DestroyMember(m_pSetFirstDlg);
    DestroyMember(m_pMainDlg);
    DestroyMember(m_pFloatDlg);
    DestroyMember(m_pSetDlg);
    DestroyMember(m_pKickDlg);
    DestroyMember(m_pContractionDlg);
    m_tray.Remove();
}

bool CTavroV4Dlg::IsWidgetVisible() const
{
    return HasWindow(m_pFloatDlg) && m_pFloatDlg->IsWindowVisible();
}

bool CTavroV4Dlg::IsNetworkAlive() const { return CurrentServices().network->IsNetworkAlive(); }

void CTavroV4Dlg::OpenPage(const std::wstring& url) const { CurrentServices().shell->OpenUrl(url); }
