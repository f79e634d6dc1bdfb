#pragma once

// The window framework's window object. A CWnd owns one top-level QWidget and receives
// everything that happens to it as (message, wParam, lParam) through WindowProc, so that
// a window class can be written as a message handler.
//
// Lifetime rules:
// - DestroyWindow delivers WM_DESTROY (owned windows are destroyed first), then the window
//   stops existing at once: hidden, timers killed, queued messages dropped, IsWindow false,
//   GetWidget null. The QWidget itself is released with deleteLater, and only after the
//   window's outermost running handler has returned, so that a handler waiting in a nested
//   event loop (a message box) never finds its widget and skin controls gone.
// - Deleting a window object from inside one of its own handlers (directly or from another
//   window's handler reached through a nested loop) does not upset the framework, but the
//   handler must not touch its object afterwards. Prefer DeleteWnd(), which waits for the
//   outermost handler of that window to return before deleting it.

#include "ui/messages.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

class QWidget;

class CWnd;
struct WndImpl;

// A window's handle: an identity the window object takes from a counter when it is made
// and that no later object gets again, so a handle kept past its window's end stays dead
// even when a new window object is made in the same memory. Null names no window.
class HWND
{
public:
    constexpr HWND() = default;
    constexpr HWND(std::nullptr_t) {}
    constexpr explicit operator bool() const { return m_id != 0; }
    friend constexpr bool operator==(HWND, HWND) = default;
    constexpr std::uint64_t Id() const { return m_id; }

private:
    friend class CWnd;
    constexpr explicit HWND(std::uint64_t id) : m_id(id) {}
    std::uint64_t m_id = 0;
};

// Insert-after values for SetWindowPos.
inline CWnd* const HWND_TOP = nullptr;
extern CWnd* const HWND_BOTTOM;
extern CWnd* const HWND_TOPMOST;
extern CWnd* const HWND_NOTOPMOST;

class CWnd
{
public:
    CWnd();
    // Destroys a window that still exists; its WM_DESTROY then reaches only CWnd's own
    // processing, because the derived part of the object is already gone.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Creates the window as a hidden popup, 100 x 100 at (0, 0), owned by `owner` (null for
    // an unowned window), with an empty title and no taskbar button, then delivers
    // WM_CREATE. Fails (false, no window) when the create handler answers -1, when the
    // owner has no window, or when the object already has a window.
    bool CreatePopup(CWnd* owner);
    // Delivers WM_DESTROY and destroys the window (see the lifetime rules above).
    bool DestroyWindow();
    // Whether the window exists (created and not destroyed). True during WM_DESTROY.
    bool IsWindow() const;
    // The object's handle, for the checked functions below; the same for the object's
    // whole life, whether or not its window exists.
    HWND GetSafeHwnd() const { return m_hWnd; }
    // The live window object a handle names, or null once it is deleted. User-interface
    // thread only: on another one the object could go before the caller uses it.
    static CWnd* FromHandle(HWND wnd);

    QWidget* GetWidget() const; // null when the window does not exist
    CWnd* GetOwner() const;     // null when unowned or when the window does not exist
    // A popup's parent is its owner.
    CWnd* GetParent() const { return GetOwner(); }

    // The entry point: every message arrives here. Window classes override it, handle what
    // they care for and pass the rest to CWnd::WindowProc, which calls OnCreate and
    // OnDestroy and leaves everything else to DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing: WM_CLOSE and WM_COMMAND with IDCANCEL end the window with
    // OnCancel, WM_COMMAND with IDOK with OnOK; everything else answers 0.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Synchronous: the handler runs before SendMessage returns. 0 when there is no window.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queued, in order, delivered by the event loop; false when the window does not exist.
    // Safe from any thread. Messages still queued when the window is destroyed are dropped.
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Show states SW_HIDE, SW_SHOW, SW_MINIMIZE, SW_RESTORE (and SW_SHOWNORMAL, SW_SHOWNA,
    // SW_SHOWNOACTIVATE). WM_SHOWWINDOW (wParam 1 shown, 0 hidden) reaches the window
    // before it becomes visible or hidden, and only when its visibility changes. Returns
    // whether it was visible before. SW_SHOW, SW_SHOWNORMAL and SW_RESTORE raise and
    // activate the window (keyboard focus on its first control that takes it), whether
    // or not it was visible already, unless it has the no-activate style.
    bool ShowWindow(int showState);
    bool IsWindowVisible() const; // true for a minimised window too
    bool IsIconic() const;        // minimised

    // insertAfter: HWND_TOP (raise), HWND_BOTTOM (lower), HWND_TOPMOST / HWND_NOTOPMOST
    // (set / clear the stays-on-top hint without hiding the window); other windows are
    // ignored. Flags SWP_NOSIZE, SWP_NOMOVE, SWP_NOZORDER, SWP_NOACTIVATE. Moves and
    // resizes deliver WM_MOVE and WM_SIZE before SetWindowPos returns. Without
    // SWP_NOACTIVATE a visible window is activated; the flag concerns this call only.
    bool SetWindowPos(CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    // Screen coordinates. QRect::right() is inclusive: Windows' exclusive right
    // edge is x() + width(), and QRect::contains() matches its point-in-rectangle test.
    QRect GetWindowRect() const;
    QRect GetClientRect() const; // (0, 0, width, height): the window has no frame
    // MoveWindow and CenterWindow never activate.
    void MoveWindow(int x, int y, int cx, int cy);
    // Over the owner when it is visible and not minimised, else over the work area of the
    // owner's screen; then pushed inside that work area, and first cut to its size where
    // the window is larger (WM_SIZE tells the window).
    void CenterWindow();
    // Raises a visible window and activates it unless it has the no-activate style.
    void BringWindowToTop();
    void SetForegroundWindow();
    bool IsTopmost() const;

    void SetWindowText(const QString& title);
    QString GetWindowText() const;
    // The app-window / tool-window style bits: a taskbar button or none (the default).
    void SetTaskbarButton(bool shown);
    bool HasTaskbarButton() const;
    // The no-activate style: the window never takes the focus, neither from a show, a
    // placement or BringWindowToTop nor from a click. For windows that only show something
    // beside the one the user works in (the widget, its popup, the loading window); skin
    // forms marked activate="0" set it. A new window has it off.
    void SetNoActivate(bool never);
    bool IsNoActivate() const;
    // For windows that must be exactly where the program puts them (the widget and its
    // popup). Where the window manager places new windows itself and ignores the program's
    // position (a Wayland compositor's X11 windows), the window is kept out of the window
    // manager's hands, which also keeps it above ordinary windows; elsewhere nothing
    // changes. Once, before the first show.
    void SetFixedPlacement();
    void SetOpacity(int alpha); // 0-255, clamped
    int GetOpacity() const;

    // Window timers: WM_TIMER with wParam = id every `ms` milliseconds (at least
    // USER_TIMER_MINIMUM) until killed. Setting an id that runs restarts it with the new
    // period. Returns the id, or 0 when there is no window.
    std::uintptr_t SetTimer(std::uintptr_t id, int ms);
    bool KillTimer(std::uintptr_t id); // false when the id does not run
    bool IsTimerRunning(std::uintptr_t id) const;

    // Mouse tracking: after a request, one WM_MOUSEHOVER when the pointer has rested in the
    // window for the hover time (HOVER_DEFAULT: 400 ms) and one WM_MOUSELEAVE when it leaves
    // the window; each request is answered once. Both are posted. A leave request while the
    // pointer is not over the window is answered at once. TME_CANCEL withdraws a request.
    void TrackMouseEvent(UINT flags = TME_HOVER | TME_LEAVE, UINT hoverTime = HOVER_DEFAULT);

    // Modal run: a nested event loop that lasts until EndDialog or until the window is
    // destroyed (result -1). The caller shows the window if it wants it seen.
    int RunModalLoop();
    // Ends a modal run with `result` and hides the window; a modeless window is hidden.
    void EndDialog(int result);
    bool IsInModalLoop() const;

    // The framework's OK/Cancel endings: EndDialog(IDOK) / EndDialog(IDCANCEL).
    virtual void OnOK();
    virtual void OnCancel();

protected:
    // Called by CWnd::WindowProc for WM_CREATE (-1 fails the creation) and WM_DESTROY.
    virtual int OnCreate() { return 0; }
    virtual void OnDestroy() {}

private:
    friend struct WndImpl;
    friend void DeleteWnd(CWnd* wnd);
    std::shared_ptr<WndImpl> m_pImpl;
    HWND m_hWnd;
};

// Deletes a window object now, or, while one of its handlers is still running, as soon as
// the outermost of them has returned. Null is ignored.
void DeleteWnd(CWnd* wnd);

// Releases the widgets of destroyed windows now instead of at the next turn of the event
// loop. For the end of the program (after the main loop has returned, where nothing would
// release them any more) and the end of a test; never from inside a handler.
void ReleaseDestroyedWindows();

// The handle of a window object, null for none.
inline HWND SafeHwnd(const CWnd* wnd) { return wnd ? wnd->GetSafeHwnd() : HWND(); }

// Checked versions for handles that may already be gone: the handle of a deleted window
// object is recognised and the call does nothing. PostMessage is safe from any thread.
bool IsWindow(HWND wnd);
bool PostMessage(HWND wnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
LRESULT SendMessage(HWND wnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// The work area (screen minus panels) of the primary screen, in screen coordinates.
QRect GetWorkArea();
// The work area of the screen that holds `point` (the primary one when none does).
QRect GetWorkAreaAt(QPoint point);
// The pointer's position in screen coordinates, from the cursor service (ui_services.h).
QPoint GetCursorPos();
