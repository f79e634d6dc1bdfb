#pragma once

// What the movement and contraction windows share: a skin form with a close button, the
// keyboard (Tab between the buttons, Space or Enter presses the focused one or the big
// one, Esc closes) and a one-second tick that runs only while the window is shown.
// Closed, a window is destroyed rather than hidden: what it shows is all in the records,
// and its widgets, back buffer and glyphs would otherwise stay in memory until the
// program ends.

#include "ui/wnd.h"

#include <QObject>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class CTavroAppData;
class SkinEngine;
class SkinForm;
class SkinControl;
class TrackBook;

class CTrackDlgBase : public CWnd
{
public:
    static constexpr std::uintptr_t TIMER_TICK = 1;
    static constexpr int kTickMs = 1000;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Shows the window, or raises it with the keyboard on its big button if shown.
    void Present();

    SkinForm* m_pForm = nullptr;
    SkinControl* m_pBtnClose = nullptr;
    SkinControl* m_pBtnExport = nullptr;
    // Space or Enter presses this one unless another button has the keyboard.
    SkinControl* m_pPrimary = nullptr;

protected:
    CTrackDlgBase(SkinEngine* skin, TrackBook& book, CTavroAppData& app);
    ~CTrackDlgBase() override;

    // Attaches the form, finds the close and export buttons and gives the named buttons the
    // keyboard, in that Tab order. False when the form is missing.
    bool BindForm(const wchar_t* formName, const QString& title,
                  std::initializer_list<const wchar_t*> keyboardButtons);
    SkinControl* Control(const wchar_t* name) const;
    void SetText(SkinControl* control, const std::wstring& text);
    // After a press changed the records: a box with `failure` when it could not be saved,
    // then the records shown again, unless the box's loop saw the window go.
    void ShowChange(bool saved, const wchar_t* failure);

    // Closing destroys the window; the parent makes a new one when it is asked for again.
    void OnCancel() override;
    // A press of one of the window's own buttons (not close or export).
    virtual void OnClick(SkinControl* control) = 0;
    // Every second while shown, and whenever the window is shown.
    virtual void Refresh() = 0;

    SkinEngine* m_skin;
    TrackBook& m_book;
    CTavroAppData& m_app;

private:
    class Keys;
    // A button pressed by the mouse or the keyboard.
    void Press(SkinControl* control);
    void OnShowWindow(bool shown);
    void FocusPrimary();

    Keys* m_pKeys = nullptr;
    std::wstring m_formName;
    std::wstring m_title;
    std::vector<SkinControl*> m_keyboardButtons;
};
