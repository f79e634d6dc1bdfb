#pragma once

// The window framework's window object. A CWnd owns one top-level QWidget and receives
// everything that happens to it as (message, wParam, lParam) through WindowProc, so that
// a window class can be written as a message handler.

#include "ui/messages.h"

#include <QRect>
#include <QString>

class QWidget;

class CWnd;
using HWND = CWnd*;

// Insert-after values for SetWindowPos.
inline CWnd* const HWND_TOP = nullptr;
extern CWnd* const HWND_TOPMOST;
extern CWnd* const HWND_NOTOPMOST;

class CWnd
{
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Creates the window as a hidden popup, 100 x 100 at (0, 0), owned by `owner`, with an
    // empty title and no taskbar button, then delivers WM_CREATE. Fails (false, no window)
    // when the create handler answers -1.
    bool CreatePopup(CWnd* owner);
    // Delivers WM_DESTROY and destroys the widget. Safe to call from the window's own
    // handlers: the widget is deleted after the outermost handler has returned.
    bool DestroyWindow();
    // Whether the window exists (created and not destroyed).
    bool IsWindow() const;

    QWidget* GetWidget() const; // null when the window does not exist
    CWnd* GetOwner() const;

    // The entry point: every message arrives here. Window classes override it, handle what
    // they care for and pass the rest to DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Synchronous: the handler runs before SendMessage returns.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queued, in order, delivered by the event loop; false when the window does not exist.
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Show states SW_HIDE, SW_SHOW, SW_MINIMIZE, SW_RESTORE. WM_SHOWWINDOW reaches the
    // window before it becomes visible or hidden. Returns whether it was visible before.
    bool ShowWindow(int showState);
    bool IsWindowVisible() const;

    bool SetWindowPos(CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    QRect GetWindowRect() const; // screen coordinates
    void MoveWindow(int x, int y, int cx, int cy);
    void CenterWindow(); // over the owner when it is visible, else over the work area
    void BringWindowToTop();
    void SetForegroundWindow();

    void SetWindowText(const QString& title);
    QString GetWindowText() const;
    void SetTaskbarButton(bool shown); // the app-window / tool-window style bits
    bool HasTaskbarButton() const;
    void SetOpacity(int alpha); // 0-255

    // Window timers: WM_TIMER with wParam = id every `ms` milliseconds until killed.
    // Setting an id that runs restarts it with the new period.
    void SetTimer(std::uintptr_t id, int ms);
    bool KillTimer(std::uintptr_t id);
    bool IsTimerRunning(std::uintptr_t id) const;

    // Mouse tracking: after a request, one WM_MOUSEHOVER when the pointer rests for the
    // hover time and one WM_MOUSELEAVE when it leaves the window; then tracking ends.
    void TrackMouseEvent();

    // Modal run: a nested event loop that lasts until EndDialog; returns its result.
    int RunModalLoop();
    void EndDialog(int result);
    bool IsInModalLoop() const;

    // The framework's OK/Cancel endings: end a modal run, or hide a modeless window.
    virtual void OnOK();
    virtual void OnCancel();

protected:
    // Window classes override these instead of matching the numbers themselves when they
    // wish; the defaults do nothing and answer 0.
    virtual int OnCreate() { return 0; }
    virtual void OnDestroy() {}

private:
    struct Impl;
    Impl* m_pImpl;
};

// The work area of the primary screen (desktop minus panels), in screen coordinates.
QRect GetWorkArea();
// The pointer's position in screen coordinates.
QPoint GetCursorPos();
