#include "web/main_loading_dlg.h"

#include "profile/app_data.h"
#include "skin/skin.h"

QPoint LoadingPosition(const QRect& owner, QSize own)
{
    // Windows' exclusive right and bottom edges; QRect's own are inclusive.
    const int left = owner.x(), right = owner.x() + owner.width();
    const int top = owner.y(), bottom = owner.y() + owner.height();
    return {(left + right) / 2 - own.width() / 2, (top + bottom) / 2 - own.height() / 2};
}

int CTavroMainLoadingDlg::OnCreate()
{
    m_pForm = AttachForm(m_skin, L"Loading1", this);
    m_pAnimation = FindControl(m_pForm, SKIN_ANY_CONTROL, L"Animate1", true);
    // Started once: it keeps turning while hidden, so every show finds it moving.
    PlayAnimation(m_pAnimation, true, true, true);
    return 0;
}

LRESULT CTavroMainLoadingDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
    if (message == WM_SHOWWINDOW && wParam)
        CenterOverOwner();
    return result;
}

void CTavroMainLoadingDlg::CenterOverOwner()
{
    CWnd* owner = GetParent();
    if (!owner || !owner->IsWindow())
        return;
    const QPoint pos = LoadingPosition(owner->GetWindowRect(), GetWindowRect().size());
    SetWindowPos(HWND_TOP, pos.x(), pos.y(), 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

CTavroMainLoadingDlg* CreateLoadingWindow(const std::string& key, CWnd* owner, SkinEngine* skin)
{
    if (key != "Loading" || !owner || !owner->IsWindow())
        return nullptr;
    auto* loading = new CTavroMainLoadingDlg(skin);
    if (!loading->CreatePopup(owner)) {
        delete loading;
        return nullptr;
    }
    loading->ShowWindow(SW_HIDE);
    return loading;
}
