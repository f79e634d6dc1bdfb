#include "settings/set_dlg.h"

#include "profile/profile_file.h"

#include <QString>

CTavroSetDlg::CTavroSetDlg(SkinEngine* skin, CTavroAppData& app) : CTavroDateDlgBase(skin, app) {}

int CTavroSetDlg::OnCreate()
{
    if (CTavroDateDlgBase::OnCreate() == -1)
        return -1;
    BindForm(false);
    SetTaskbarButton(true);
    SetWindowText(QStringLiteral("设置Tavro"));
    // The owner, the parent window, is never visible: this centres on the work area.
    CenterWindow();
    // The pickers are filled by the first WM_SHOWWINDOW.
    return 0;
}

LRESULT CTavroSetDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CTavroDateDlgBase::WindowProc(message, wParam, lParam);
    if (message == WM_SHOWWINDOW)
        OnShowWindow();
    return result;
}

void CTavroSetDlg::OnShowWindow()
{
    // Every showing starts again from the stored date, so a cancelled change is not shown
    // again. The lists are emptied first, or each showing would add the same items again.
    m_pickers.ClearLists();
    m_pickers.FillPickersFromDueDate(m_app.dueTime);
}

LRESULT CTavroSetDlg::OnClick(WPARAM control)
{
    if (control == 0)
        return -1;
    const auto* clicked = reinterpret_cast<SkinControl*>(control);
    if (clicked == m_pBtnOk) {
        const std::optional<std::int64_t> picked = PickedDate();
        if (!picked || !StoreDueDate(*picked))
            return 1;
        SaveProfile(m_app);
        ::PostMessage(SafeHwnd(GetParent()), WM_DUEDATE_CHANGED, 1, 0);
        OnOK();
    } else if (clicked == m_pBtnCancel) {
        OnCancel();
    }
    return 1;
}
