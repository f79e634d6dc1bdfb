#include "float/float_dlg.h"

#include "host/endpoints.h"
#include "host/services.h"
#include "profile/app_data.h"
#include "remind/remind_dlg.h"
#include "skin/skin.h"
#include "ui/ui_services.h"

#include <vector>

QPoint FloatPosition(QSize widget, const QRect& workArea)
{
    const int areaRight = workArea.x() + workArea.width(); // exclusive, unlike QRect::right()
    return {areaRight - widget.width() - CTavroFloatDlg::kMargin,
            workArea.y() + CTavroFloatDlg::kMargin};
}

bool IsPointInBoth(QPoint point, const QRect& first, const QRect& second)
{
    return first.contains(point) && second.contains(point);
}

CTavroFloatDlg::~CTavroFloatDlg()
{
    if (IsWindow())
        DestroyWindow();
    DestroyPopup();
}

int CTavroFloatDlg::OnCreate()
{
    m_pForm = AttachForm(m_skin, L"Main17", this);
    // Without its form the widget would be a blank square: creation fails instead, and the
    // parent treats the widget as absent.
    if (!m_pForm)
        return -1;
    m_pFrame = FindControl(m_pForm, SKIN_ANY_CONTROL, L"frmMain1", true);
    ShowControl(m_pFrame, -1, -1, -1);
    PassMessage(m_pForm, WM_RBUTTONUP);
    SetFormAlpha(m_pForm, ALPHA_IDLE);
    SetFixedPlacement();
    // Placed once: a later change of the work area or a new show leaves it where it is.
    const QPoint pos = FloatPosition(GetWindowRect().size(), GetWorkArea());
    SetWindowPos(HWND_TOPMOST, pos.x(), pos.y(), 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return 0;
}

void CTavroFloatDlg::OnDestroy() { DestroyPopup(); }

LRESULT CTavroFloatDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE: {
        const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
        // A hover time of 1 ms reports the hover almost as soon as the pointer arrives.
        if (IsWindow())
            TrackMouseEvent(TME_HOVER | TME_LEAVE, kHoverTimeMs);
        return result;
    }
    case WM_SHOWWINDOW:
        // A popup left beside a hidden widget would stay on the screen by itself.
        if (!wParam)
            DestroyPopup();
        break;
    case WM_MOUSEHOVER:
        OnMouseHover();
        break;
    case WM_MOUSELEAVE:
        if (!OnMouseLeave())
            return 0;
        break;
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case WM_RBUTTONUP: {
        const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
        ShowContextMenu();
        return result;
    }
    case WM_COMMAND:
        if (!OnCommand(static_cast<UINT>(wParam)))
            return 1;
        CWnd::WindowProc(message, wParam, lParam);
        return 1;
    case WM_SKIN_PRESS:
    case WM_SKIN_CLICK:
    case WM_SKIN_DBLCLK:
    case WM_SKIN_0BD7:
        return OnSkinNotification(message, wParam);
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

CWnd* CTavroFloatDlg::CreateChildWindow(const std::string& key)
{
    if (key != "Remind" || !IsWindow())
        return nullptr;
    auto* popup = new CTavroRemindDlg(m_skin, m_tips);
    if (popup->CreatePopup(this)) {
        // Beside the widget, wherever that is.
        popup->SetFixedPlacement();
        popup->ShowWindow(SW_HIDE);
    }
    return popup;
}

bool CTavroFloatDlg::IsPointerInWidgetAndPopup() const
{
    if (!m_pPopup || !m_pPopup->IsWindow())
        return false;
    return IsPointInBoth(GetCursorPos(), GetWindowRect(), m_pPopup->GetWindowRect());
}

void CTavroFloatDlg::OnMouseHover()
{
    if (!m_bHover) {
        SetTimer(TIMER_POPUP, kPopupDelayMs);
        SetFormAlpha(m_pForm, ALPHA_HOVER);
    }
    m_bHover = true;
}

bool CTavroFloatDlg::OnMouseLeave()
{
    if (m_pPopup && m_pPopup->IsWindow()) {
        // Moving from the widget onto the popup through their overlap keeps it open.
        if (IsPointerInWidgetAndPopup())
            return false;
        DestroyPopup();
    }
    SetTimer(TIMER_FADE, kFadeDelayMs);
    m_bHover = false;
    return true;
}

void CTavroFloatDlg::OnTimer(std::uintptr_t id)
{
    if (id == TIMER_FADE) {
        if (!m_bHover)
            SetFormAlpha(m_pForm, ALPHA_IDLE);
        KillTimer(TIMER_FADE);
        return;
    }
    if (id != TIMER_POPUP)
        return;
    // A popup timer that fires while the pointer is away stays running without effect until
    // the next hover restarts it.
    if (!m_bHover)
        return;
    if (!m_pPopup || !m_pPopup->IsWindow()) {
        DeleteWnd(m_pPopup);
        m_pPopup = CreateChildWindow("Remind");
    }
    if (m_bPopupBlocked)
        return;
    // Stopped before the show: the popup's message boxes turn the event loop, and the timer
    // firing again in there would stack one box on another.
    KillTimer(TIMER_POPUP);
    if (m_pPopup && m_pPopup->IsWindow())
        m_pPopup->ShowWindow(SW_SHOW);
    // Nothing of the widget is touched after the show: it may have been destroyed meanwhile.
}

LRESULT CTavroFloatDlg::OnSkinNotification(UINT message, WPARAM control)
{
    if (control == 0)
        return -1;
    switch (message) {
    case WM_SKIN_PRESS:
        KillTimer(TIMER_POPUP);
        m_bPopupBlocked = true;
        if (m_pPopup && m_pPopup->IsWindow() && m_pPopup->IsWindowVisible())
            m_pPopup->ShowWindow(SW_HIDE);
        break;
    case WM_SKIN_CLICK:
        SetTimer(TIMER_POPUP, kPopupAfterClickMs);
        m_bPopupBlocked = false;
        break;
    case WM_SKIN_DBLCLK:
        ::SendMessage(SafeHwnd(GetParent()), WM_SHOW_MAIN, 1, 0);
        break;
    default: // 0xBD7: acknowledged only
        break;
    }
    return 1;
}

void CTavroFloatDlg::ShowContextMenu()
{
    if (!IsWindow())
        return;
    std::vector<MenuItem> items = {
        {ID_FLOAT_SHOW_MAIN, QStringLiteral("查看Tavro"), true},
        {ID_FLOAT_CHANGE_DUE, QStringLiteral("修改预产期"), true},
    };
    if (TheApp().pregnancyWeek >= kToolsFromWeek) {
        items.push_back({ID_FLOAT_KICKS, QStringLiteral("数胎动"), true});
        items.push_back({ID_FLOAT_CONTRACTIONS, QStringLiteral("宫缩计时"), true});
    }
    items.push_back({ID_FLOAT_FEEDBACK, QStringLiteral("提点意见"), true});
    items.push_back({ID_FLOAT_HIDE, QStringLiteral("隐藏浮窗"), true});
    const UINT chosen = CurrentUiServices().menu->Track(items, GetCursorPos(), this);
    // The choice arrives as a command message, as from a menu that posts its command.
    if (chosen)
        PostMessage(WM_COMMAND, chosen, 0);
}

bool CTavroFloatDlg::OnCommand(UINT id)
{
    switch (id) {
    case ID_FLOAT_SHOW_MAIN:
        ::PostMessage(SafeHwnd(GetParent()), WM_VIEW_MAIN, 1, 0);
        break;
    case ID_FLOAT_CHANGE_DUE:
        ::PostMessage(SafeHwnd(GetParent()), WM_SHOW_SETTINGS, 1, 0);
        break;
    case ID_FLOAT_KICKS:
    case ID_FLOAT_CONTRACTIONS:
        ::PostMessage(SafeHwnd(GetParent()), WM_COMMAND, id, 0);
        break;
    case ID_FLOAT_FEEDBACK:
        CurrentServices().shell->OpenUrl(DesktopServer() + L"/tavro_fankui/");
        break;
    case ID_FLOAT_HIDE:
        ShowWindow(SW_HIDE);
        break;
    case ID_FLOAT_QUIT:
        // Destroying the parent destroys and deletes this widget; nothing of it is touched
        // afterwards.
        if (CWnd* parent = GetParent())
            parent->DestroyWindow();
        return false;
    default:
        break;
    }
    return true;
}

void CTavroFloatDlg::DestroyPopup()
{
    if (!m_pPopup)
        return;
    if (m_pPopup->IsWindow())
        m_pPopup->DestroyWindow();
    // Deferred while the popup's own show handling still runs (a message box inside it).
    DeleteWnd(m_pPopup);
    m_pPopup = nullptr;
}
