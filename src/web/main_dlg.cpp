#include "web/main_dlg.h"

#include "host/endpoints.h"
#include "host/services.h"
#include "profile/app_data.h"
#include "profile/calendar.h"
#include "skin/skin.h"
#include "web/imp_idispatch.h"
#include "web/main_loading_dlg.h"

#include <QWidget>

namespace {

constexpr const wchar_t* kCaption = L"Tavro";
constexpr const wchar_t* kCreateFailed = L"创建ie浏览器失败";
constexpr const wchar_t* kBindFailed = L"绑定失败";
constexpr const wchar_t* kShowFailed = L"显示失败";

} // namespace

QString MainPageAddress(int pageMode, std::int64_t dueTime, const std::wstring& macText,
                        const std::wstring& desktopServer, const std::wstring& mobileSite)
{
    if (pageMode == PAGE_DATED) {
        // The doubled separators are what the server has always been sent.
        return QString::fromStdWString(desktopServer) + QStringLiteral("/quelmo/index.php?") +
               QStringLiteral("year=%1&&month=%2&&day=%3&&mac=%4")
                   .arg(YearOf(dueTime))
                   .arg(MonthOf(dueTime))
                   .arg(DayOf(dueTime))
                   .arg(QString::fromStdWString(macText));
    }
    if (pageMode == PAGE_MOBILE)
        return QString::fromStdWString(mobileSite);
    return QString();
}

CTavroMainDlg::CTavroMainDlg(CTavroAppData& app, SkinEngine* skin, CImpIDispatch* dispatch)
    : m_app(app), m_skin(skin), m_dispatch(dispatch)
{
    // A load that completes after the window went cannot reach it: the browser goes with
    // the window (OnDestroy) and with this object.
    m_browser.SetOnLoadFinished([this](bool) { OnPageComplete(); });
}

CTavroMainDlg::~CTavroMainDlg()
{
    if (IsWindow())
        DestroyWindow();
    m_browser.DestroyWindow();
    DeleteWnd(m_pLoadingDlg);
    m_pLoadingDlg = nullptr;
}

int CTavroMainDlg::OnCreate()
{
    m_pForm = AttachForm(m_skin, L"Main20", this);
    m_pBtnClose = FindControl(m_pForm, SKIN_ANY_CONTROL, L"btnClose", true);
    m_pBtnMin = FindControl(m_pForm, SKIN_ANY_CONTROL, L"btnMin", true);
    m_pBtnSet = FindControl(m_pForm, SKIN_ANY_CONTROL, L"btnSet", true);
    m_pWebHolder = FindControl(m_pForm, SKIN_ANY_CONTROL, L"HwndObjNet", true);
    // A taskbar button of its own, although its owner, the parent window, has none.
    SetTaskbarButton(true);
    SetWindowText(QStringLiteral("Tavro"));
    SetWindowPos(HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE);
    // On a small screen at a large scale the window is cut to the work area, and the page
    // area gives up what the window lost, so that the whole page can still be scrolled to.
    // Cut before it is centred: each move sets the size back to these.
    const QSize fitted =
        QSize(kWidth, kHeight).boundedTo(GetWorkAreaAt(GetWindowRect().topLeft()).size());
    const QSize lost = QSize(kWidth, kHeight) - fitted;
    if (QWidget* holder = GetControlWidget(m_pWebHolder))
        holder->resize(holder->size() - lost);
    // On a narrow screen the title bar's buttons keep their distance from the right edge.
    for (SkinControl* button : {m_pBtnSet, m_pBtnMin, m_pBtnClose}) {
        if (QWidget* widget = GetControlWidget(button))
            widget->move(widget->x() - lost.width(), widget->y());
    }
    m_nWidth = fitted.width();
    m_nHeight = fitted.height();
    SetWindowPos(HWND_TOP, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOACTIVATE);
    CenterWindow();
    return 0;
}

void CTavroMainDlg::OnDestroy()
{
    // The page goes first, so that nothing it still reports reaches a window that is gone.
    m_browser.DestroyWindow();
    if (m_pLoadingDlg) {
        if (m_pLoadingDlg->IsWindow())
            m_pLoadingDlg->DestroyWindow();
        DeleteWnd(m_pLoadingDlg);
        m_pLoadingDlg = nullptr;
    }
}

LRESULT CTavroMainDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SHOWWINDOW: {
        const LRESULT result = CTavroMainDlgBase::WindowProc(message, wParam, lParam);
        if (wParam)
            OnShow();
        else
            OnHide();
        return result;
    }
    case WM_MOVE:
    case WM_MOVING: {
        const LRESULT result = CTavroMainDlgBase::WindowProc(message, wParam, lParam);
        OnSizeNudge();
        return result;
    }
    case WM_SKIN_CLICK:
        return OnSkinClick(wParam);
    case WM_RAISE_LOADING:
        if (m_pLoadingDlg && m_pLoadingDlg->IsWindowVisible())
            m_pLoadingDlg->SetWindowPos(HWND_TOP, 0, 0, 0, 0,
                                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return 0;
    default:
        return CTavroMainDlgBase::WindowProc(message, wParam, lParam);
    }
}

void CTavroMainDlg::ShowFailure(const wchar_t* text) const
{
    CurrentServices().messageBox->Show(text, kCaption, BoxIcon::None);
}

void CTavroMainDlg::OnShow()
{
    // Every step runs on every show; a failure is reported and the show goes on. The
    // browser made by an earlier show is kept: loading the engine's view again would only
    // cost time.
    if (!m_browser.IsWindow() && !m_browser.Create(QStringLiteral("IE"), QRect(0, 0, 10, 10),
                                                   GetWidget(), IDC_BROWSER, m_dispatch)) {
        ShowFailure(kCreateFailed);
    }
    // A box's nested loop may have seen the window destroyed.
    if (!IsWindow())
        return;
    QWidget* view = m_browser.GetWidget();
    if (!BindWindow(m_pWebHolder, view))
        ShowFailure(kBindFailed);
    if (!ShowBoundWindow(m_pWebHolder, view))
        ShowFailure(kShowFailed);
    if (!IsWindow())
        return;

    m_browser.SetSilent(true);
    m_browser.Navigate(
        MainPageAddress(m_nPageMode, m_app.dueTime, m_app.macText, DesktopServer(), MobileSite()));
    if (view && m_browser.GetWidget() == view)
        view->setFocus();

    if (!m_pLoadingDlg)
        m_pLoadingDlg = CreateLoadingWindow("Loading", this, m_skin);
    if (m_pLoadingDlg && m_pLoadingDlg->IsWindow()) {
        m_pLoadingDlg->ShowWindow(SW_SHOW);
        PostMessage(WM_RAISE_LOADING);
    }
}

void CTavroMainDlg::OnHide()
{
    // The page stays loaded; the next show loads it again anyway.
    if (m_pLoadingDlg && m_pLoadingDlg->IsWindow())
        m_pLoadingDlg->ShowWindow(SW_HIDE);
}

void CTavroMainDlg::OnSizeNudge()
{
    if (!IsWindow())
        return;
    m_nSizeNudge = -m_nSizeNudge;
    // Without a change of z-order: here no owned window stays above its owner by itself,
    // and a raise would bury the loading window.
    constexpr UINT flags = SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER;
    SetWindowPos(HWND_TOP, 0, 0, m_nWidth + m_nSizeNudge, m_nHeight, flags);
    SetWindowPos(HWND_TOP, 0, 0, m_nWidth - m_nSizeNudge, m_nHeight, flags);
}

LRESULT CTavroMainDlg::OnSkinClick(WPARAM control)
{
    if (control == 0)
        return -1;
    const auto* clicked = reinterpret_cast<const SkinControl*>(control);
    if (clicked == m_pBtnClose) {
        DestroyWindow();
        return 1;
    }
    if (clicked == m_pBtnMin) {
        ShowWindow(SW_MINIMIZE);
        return 1;
    }
    // "btnSet" is kept but does nothing.
    return 1;
}

void CTavroMainDlg::OnPageComplete()
{
    if (m_pLoadingDlg && m_pLoadingDlg->IsWindow())
        m_pLoadingDlg->ShowWindow(SW_HIDE);
}
