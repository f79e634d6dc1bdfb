#pragma once

// The reminder popup: opens beside the floating widget and shows the day's picture, the
// completed weeks, a marker on the day of the week, the baby's figures for the week and
// the tip of the day. Everything it shows is the skin form "Main16"; the widget creates,
// shows and destroys it.

#include "ui/wnd.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>
#include <string>

class CTipDatabase;
class SkinEngine;
class SkinForm;
class SkinControl;

// Where a popup of `popup` size goes beside `owner` inside `workArea` (screen rectangles):
// to the right of the owner, overlapping its right edge by 5 pixels, when there is room,
// else to its left overlapping its left edge; top edges aligned when there is room below
// the owner's top, else bottom edges aligned.
QPoint PopupPositionBesideOwner(QSize popup, const QRect& owner, const QRect& workArea);

// The week's figures as the popup shows them: every full-width comma starts a new line.
std::wstring FiguresWithLineBreaks(std::wstring text);

// The picture of a day of pregnancy below a program folder.
std::wstring DayPicturePath(const std::wstring& programDir, int day);

class CTavroRemindDlg : public CWnd
{
public:
    static constexpr int kOverlap = 5;
    static constexpr UINT kHoverTimeMs = 1;

    // The popup tells about a missing picture once per day and about failing figures once
    // until they work again: its box takes the pointer, the widget then closes the popup,
    // and a box at every hover would keep the day's texts from ever being seen.
    static void ForgetToldFailures();

    // The popup is drawn with `skin` and reads the day's texts from `tips`; both outlive it.
    CTavroRemindDlg(SkinEngine* skin, CTipDatabase& tips) : m_skin(skin), m_tips(tips) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The two steps of every show, public for the tests and the benchmark. The popup keeps
    // inside the work area: where the form is taller (large text, a small screen) the
    // window is cut to the area and the form scrolls inside it.
    void PlaceBesideOwner();
    void FillContent();

    SkinForm* m_pForm = nullptr;
    SkinControl* m_pPicture = nullptr;
    SkinControl* m_pWeekLabel = nullptr;
    std::array<SkinControl*, 7> m_pDayLabels{}; // "StaDay1" ... "StaDay7"
    SkinControl* m_pTitleLabel = nullptr;
    SkinControl* m_pContentEdit = nullptr;
    SkinControl* m_pScrollBar = nullptr;

protected:
    int OnCreate() override;

private:
    SkinEngine* m_skin;
    CTipDatabase& m_tips;
    QSize m_formSize; // the form's own size, before any cut to the work area
    // Set while FillContent runs: its message boxes turn the event loop, and a show that
    // arrives meanwhile must not start a second fill inside the first.
    bool m_bFilling = false;
};
