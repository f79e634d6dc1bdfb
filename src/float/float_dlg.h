#pragma once

// The floating widget: a small translucent badge that stays on top near the top-right
// corner of the work area. Resting the pointer on it opens the reminder popup beside it;
// a right click opens its menu, a double click asks for the main window.

#include "ui/wnd.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <string>

class CTipDatabase;
class SkinEngine;
class SkinForm;
class SkinControl;

// Where the widget is placed once, at creation: 50 pixels inside the work area's right
// edge and below its top edge.
QPoint FloatPosition(QSize widget, const QRect& workArea);

// Whether `point` lies inside both rectangles (left and top inclusive, right and bottom
// exclusive: x + width is already outside).
bool IsPointInBoth(QPoint point, const QRect& first, const QRect& second);

class CTavroFloatDlg : public CWnd
{
public:
    static constexpr std::uintptr_t TIMER_FADE = 1025;
    static constexpr std::uintptr_t TIMER_POPUP = 1026;
    static constexpr int kFadeDelayMs = 1000;
    static constexpr int kPopupDelayMs = 500;
    static constexpr int kPopupAfterClickMs = 1000;
    static constexpr int ALPHA_IDLE = 150;
    static constexpr int ALPHA_HOVER = 255;
    static constexpr int kMargin = 50;
    static constexpr UINT kHoverTimeMs = 1;

    static constexpr UINT ID_FLOAT_SHOW_MAIN = 1074;
    static constexpr UINT ID_FLOAT_FEEDBACK = 1075;
    static constexpr UINT ID_FLOAT_HIDE = 1076;
    static constexpr UINT ID_FLOAT_QUIT = 1077;
    static constexpr UINT ID_FLOAT_CHANGE_DUE = 1078;
    // From week 28 (here and in the tray's menu); handed to the parent window as commands,
    // which opens the tool.
    static constexpr UINT ID_FLOAT_KICKS = 1211;
    static constexpr UINT ID_FLOAT_CONTRACTIONS = 1212;
    static constexpr int kToolsFromWeek = 28;

    // The widget and its reminder popup are drawn with `skin`; the popup reads the day's
    // texts from `tips`. Both outlive the widget.
    CTavroFloatDlg(SkinEngine* skin, CTipDatabase& tips) : m_skin(skin), m_tips(tips) {}
    // Destroys the window (and the popup with it) if it still exists.
    ~CTavroFloatDlg() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The widget's own factory: "Remind" makes the reminder popup, created hidden and owned
    // by the widget; any other key makes nothing.
    CWnd* CreateChildWindow(const std::string& key);

    bool IsPointerInWidgetAndPopup() const;

    SkinForm* m_pForm = nullptr;
    SkinControl* m_pFrame = nullptr;
    CWnd* m_pPopup = nullptr;
    bool m_bHover = false;
    bool m_bPopupBlocked = false;

protected:
    int OnCreate() override;
    void OnDestroy() override;

private:
    void OnMouseHover();
    // False when the pointer is still inside both the widget and the popup.
    bool OnMouseLeave();
    void OnTimer(std::uintptr_t id);
    LRESULT OnSkinNotification(UINT message, WPARAM control);
    void ShowContextMenu();
    // True when the widget may still be touched afterwards.
    bool OnCommand(UINT id);
    void DestroyPopup();

    SkinEngine* m_skin;
    CTipDatabase& m_tips;
};
