#pragma once

// What the setup and settings windows share: the form "Main18" with its three buttons and
// the date pickers over its combos "cbx1", "cbx2" and "cbx3".

#include "settings/date_pickers.h"
#include "ui/wnd.h"

#include <cstdint>
#include <optional>

class CTavroAppData;
class SkinEngine;
class SkinForm;
class SkinControl;

// A picker over one of the skin's combo boxes.
class CSkinPickerCombo : public IPickerCombo
{
public:
    void Attach(SkinControl* control) { m_pControl = control; }
    SkinControl* Control() const { return m_pControl; }

    void SetText(const std::wstring& text) override;
    std::wstring GetText() const override;
    void Insert(const std::wstring& text, int index) override;
    void Clear() override;

private:
    SkinControl* m_pControl = nullptr;
};

class CTavroDateDlgBase : public CWnd
{
public:
    // Routes the skin's clicks to OnClick and its selection changes to the pickers.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The skin objects, set by the create handler; they belong to the skin library.
    SkinForm* m_pForm = nullptr;
    SkinControl* m_pBtnGo = nullptr;
    SkinControl* m_pBtnOk = nullptr;
    SkinControl* m_pBtnCancel = nullptr;
    SkinControl* m_pYearCombo = nullptr;
    SkinControl* m_pMonthCombo = nullptr;
    SkinControl* m_pDayCombo = nullptr;

protected:
    // Drawn with `skin`; both it and `app` outlive the window.
    CTavroDateDlgBase(SkinEngine* skin, CTavroAppData& app);

    // Attaches "Main18", finds the controls and shows either the setup button ("btnGo") or
    // the settings buttons ("btnOk", "btnCancel").
    void BindForm(bool setupButtons);
    // The handler of WM_SKIN_CLICK; wParam is the clicked control (0 for none).
    virtual LRESULT OnClick(WPARAM control) = 0;
    // The handler of WM_SKIN_SELCHANGE; wParam is the combo that changed.
    LRESULT OnSelChange(WPARAM control);
    // The chosen date, or nothing when the texts make no date; the window then stays open.
    std::optional<std::int64_t> PickedDate() const;
    // SetDueDate on the application object. When the calendar cannot be worked out the
    // previous date and figures are put back and false is returned. A date that has
    // passed ends the process (EndExpired).
    bool StoreDueDate(std::int64_t dueTime);

    SkinEngine* m_skin;
    CTavroAppData& m_app;
    CDatePickers m_pickers;

private:
    CSkinPickerCombo m_year;
    CSkinPickerCombo m_month;
    CSkinPickerCombo m_day;
};
