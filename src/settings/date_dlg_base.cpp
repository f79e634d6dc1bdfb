#include "settings/date_dlg_base.h"

#include "host/services.h"
#include "profile/app_data.h"
#include "profile/calendar.h"
#include "skin/skin.h"

#include <tuple>

void CSkinPickerCombo::SetText(const std::wstring& text) { SetComboText(m_pControl, text); }

std::wstring CSkinPickerCombo::GetText() const { return GetComboText(m_pControl); }

void CSkinPickerCombo::Insert(const std::wstring& text, int index)
{
    InsertComboItem(m_pControl, text, index, 0);
}

void CSkinPickerCombo::Clear() { ClearCombo(m_pControl); }

CTavroDateDlgBase::CTavroDateDlgBase(SkinEngine* skin, CTavroAppData& app)
    : m_skin(skin), m_app(app), m_pickers(m_year, m_month, m_day)
{}

void CTavroDateDlgBase::BindForm(bool setupButtons)
{
    m_pForm = AttachForm(m_skin, L"Main18", this);
    m_pBtnGo = FindControl(m_pForm, SKIN_ANY_CONTROL, L"btnGo", true);
    ShowControl(m_pBtnGo, setupButtons ? -1 : 0, setupButtons ? -1 : 0, setupButtons ? -1 : 0);
    m_pBtnOk = FindControl(m_pForm, SKIN_ANY_CONTROL, L"btnOk", true);
    ShowControl(m_pBtnOk, setupButtons ? 0 : -1, -1, -1);
    m_pBtnCancel = FindControl(m_pForm, SKIN_ANY_CONTROL, L"btnCancel", true);
    ShowControl(m_pBtnCancel, setupButtons ? 0 : -1, -1, -1);
    m_pYearCombo = FindControl(m_pForm, SKIN_ANY_CONTROL, L"cbx1", true);
    m_pMonthCombo = FindControl(m_pForm, SKIN_ANY_CONTROL, L"cbx2", true);
    m_pDayCombo = FindControl(m_pForm, SKIN_ANY_CONTROL, L"cbx3", true);
    m_year.Attach(m_pYearCombo);
    m_month.Attach(m_pMonthCombo);
    m_day.Attach(m_pDayCombo);
}

LRESULT CTavroDateDlgBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SKIN_CLICK:
        return OnClick(wParam);
    case WM_SKIN_SELCHANGE:
        return OnSelChange(wParam);
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

LRESULT CTavroDateDlgBase::OnSelChange(WPARAM control)
{
    const auto* changed = reinterpret_cast<const SkinControl*>(control);
    const IPickerCombo* picker = nullptr;
    // A missing combo (null) is never matched, so a notification without a control does
    // nothing.
    if (changed && changed == m_pYearCombo)
        picker = &m_year;
    else if (changed && changed == m_pMonthCombo)
        picker = &m_month;
    else if (changed && changed == m_pDayCombo)
        picker = &m_day;
    return m_pickers.OnPickerChanged(picker);
}

std::optional<std::int64_t> CTavroDateDlgBase::PickedDate() const
{
    try {
        return m_pickers.ReadPickedDate();
    } catch (const HResultError&) {
        return std::nullopt;
    }
}

bool CTavroDateDlgBase::StoreDueDate(std::int64_t dueTime)
{
    const auto before = std::tuple(m_app.dueTime, m_app.daysToDue, m_app.daysPregnant,
                                   m_app.pregnancyWeek, m_app.dayOfWeek);
    try {
        if (SetDueDate(m_app, dueTime) == DueDateState::Expired)
            EndExpired(dueTime);
        return true;
    } catch (const HResultError&) {
        std::tie(m_app.dueTime, m_app.daysToDue, m_app.daysPregnant, m_app.pregnancyWeek,
                 m_app.dayOfWeek) = before;
        return false;
    }
}
