#include "settings/set_first_dlg.h"

#include "profile/calendar.h"

#include <algorithm>
#include <optional>

namespace {

// The date the pickers offer nearest to `dueTime`: from today up to the latest due date.
// Nothing when today cannot be read.
std::optional<std::int64_t> NearestOffered(std::int64_t dueTime)
{
    const DateWindow w = CurrentDateWindow();
    try {
        return std::clamp(dueTime, MakeLocalDate(w.TY, w.TM, w.TD),
                          MakeLocalDate(w.LY, w.LM, w.LD));
    } catch (const HResultError&) {
        return std::nullopt;
    }
}

} // namespace

CTavroSetFirstDlg::CTavroSetFirstDlg(SkinEngine* skin, CTavroAppData& app)
    : CTavroDateDlgBase(skin, app)
{}

int CTavroSetFirstDlg::OnCreate()
{
    if (CTavroDateDlgBase::OnCreate() == -1)
        return -1;
    BindForm(true);
    // A date the profile kept without a setup mark is offered again rather than lost; one
    // the pickers do not offer (past, or further ahead than they reach) is brought to the
    // nearest date they do.
    const std::optional<std::int64_t> offered =
        m_app.setupDueTime != 0 ? NearestOffered(m_app.setupDueTime) : std::nullopt;
    if (offered)
        m_pickers.FillPickersFromDueDate(*offered);
    else
        m_pickers.FillPickersFromToday();
    SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    // The owner, the parent window, is never visible: this centres on the work area.
    CenterWindow();
    return 0;
}

LRESULT CTavroSetFirstDlg::OnClick(WPARAM control)
{
    if (control == 0)
        return -1;
    if (reinterpret_cast<SkinControl*>(control) != m_pBtnGo)
        return 1;
    const std::optional<std::int64_t> picked = PickedDate();
    if (!picked || !StoreDueDate(*picked))
        return 1;
    // The date is chosen, so the parent's save marks setup as done.
    m_app.firstRun = false;
    ::PostMessage(SafeHwnd(GetParent()), WM_SETUP_DONE, 1, 0);
    OnOK();
    return 1;
}
