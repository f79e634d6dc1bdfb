#pragma once

// Window message numbers and parameter types. The program's windows talk in these
// numbers: the custom messages of the parent window, the skin library's notifications and
// the standard ones the framework delivers.

#include <cstdint>

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Standard messages the framework delivers to a window's entry point.
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SHOWWINDOW = 0x0018; // wParam: 1 being shown, 0 being hidden
constexpr UINT WM_COMMAND = 0x0111;    // wParam: command id
constexpr UINT WM_TIMER = 0x0113;      // wParam: timer id
constexpr UINT WM_MOUSEMOVE = 0x0200;  // lParam: MAKELPARAM(client x, client y)
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205; // 517
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOVING = 0x0216;
constexpr UINT WM_MOUSEHOVER = 0x02A1;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
constexpr UINT WM_USER = 0x0400;

// The notification-area icon's callback (wParam: icon id, lParam: mouse message).
constexpr UINT WM_TRAYICON = 0x0401;

// Skin notifications; wParam is the SkinControl concerned (0 = none), lParam carries nothing.
constexpr UINT WM_SKIN_PRESS = 0x0403;
constexpr UINT WM_SKIN_CLICK = 0x0404;
constexpr UINT WM_SKIN_DBLCLK = 0x0746;
constexpr UINT WM_SKIN_SELCHANGE = 0x0B01;
constexpr UINT WM_SKIN_0BD7 = 0x0BD7; // sent to the widget only; accepted without action

// Requests to the parent window.
constexpr UINT WM_SHOW_MAIN = 0x0496;
constexpr UINT WM_SETUP_DONE = 0x0497;
constexpr UINT WM_DUEDATE_CHANGED = 0x0498;
constexpr UINT WM_VIEW_MAIN = 0x0499;
constexpr UINT WM_UPDATE_READY = 0x049A;
constexpr UINT WM_SHOW_SETTINGS = 0x049B;

// Key state in wParam of the mouse messages.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// wParam of WM_SIZE.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;

// Mouse tracking requests.
constexpr UINT TME_HOVER = 0x00000001;
constexpr UINT TME_LEAVE = 0x00000002;
constexpr UINT TME_CANCEL = 0x80000000;
constexpr UINT HOVER_DEFAULT = 0xFFFFFFFF; // Windows' default hover time, 400 ms
constexpr int HOVER_DEFAULT_MS = 400;

// Show states.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

// SetWindowPos.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;

// Window timers shorter than this run at this period.
constexpr int USER_TIMER_MINIMUM = 10;

// Popup menus.
constexpr UINT TPM_RIGHTBUTTON = 0x0002;

// Dialog endings.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr LPARAM MAKELPARAM(int low, int high)
{
    return static_cast<LPARAM>(
        static_cast<std::uint32_t>((static_cast<std::uint32_t>(low) & 0xFFFFu) |
                                   ((static_cast<std::uint32_t>(high) & 0xFFFFu) << 16)));
}
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<std::int16_t>(lp & 0xFFFF); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<std::int16_t>((lp >> 16) & 0xFFFF); }
