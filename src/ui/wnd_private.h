#pragma once

// Inside of the window object: the state behind a CWnd, the top-level widget it owns and
// the application-wide filter that routes mouse input to the owning window.

#include "ui/wnd.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QEventLoop;
class WndWidget;

// Shared between the CWnd, its widget and every handler frame running for it, so that it
// outlives a window object deleted while one of its handlers runs.
struct WndImpl : std::enable_shared_from_this<WndImpl>
{
    CWnd* self = nullptr;  // the window object; null once it is deleted
    CWnd* owner = nullptr; // the owning window while the window exists
    QPointer<WndWidget> widget;
    std::atomic<bool> exists = false; // read by IsWindow(HWND) from any thread
    bool destroying = false;

    // Handler frames of this window on the stack, and what waits for them to end: widgets
    // of destroyed windows, and the object itself after DeleteWnd.
    int depth = 0;
    std::vector<QPointer<WndWidget>> pendingRelease;
    bool deleteSelf = false;

    std::map<std::uintptr_t, int> timers; // window timer id -> Qt timer id

    bool noActivate = false; // the no-activate style

    // Mouse tracking.
    UINT trackFlags = 0;
    int hoverMs = HOVER_DEFAULT_MS;
    int hoverTimer = 0;
    QPoint hoverAnchor;
    QPoint lastClientPos;
    bool pointerInside = false;

    QEventLoop* modalLoop = nullptr;
    int modalResult = -1;

    // Geometry last reported with WM_MOVE / WM_SIZE.
    QPoint reportedPos;
    QSize reportedSize;

    // PostMessage may come from a worker thread; the target is cleared under the lock.
    std::mutex postMutex;
    QObject* postTarget = nullptr;

    // Runs the window's handler for one message, counting the frame.
    static LRESULT Deliver(const std::shared_ptr<WndImpl>& impl, UINT message, WPARAM wParam,
                           LPARAM lParam);

    void AfterOutermostHandler();
    void DestroyOwnedWindows();
    void Teardown();
    void ReportGeometry();
    void ApplyWindowFlags(Qt::WindowFlags flags);
    // Activates a visible, not minimised window without the no-activate style, raising it
    // first when asked.
    void Activate(bool raise);
    void StopHoverTimer();
    bool Post(UINT message, WPARAM wParam, LPARAM lParam);

    // Input from the widget and the mouse filter.
    void OnQtTimer(int qtTimerId);
    void OnMouseMove(QPoint client, WPARAM keys);
    void OnMouseButton(UINT message, QPoint client, WPARAM keys);
    void OnPointerEntered();
    void OnPointerLeft();
};

// The registry of windows that exist (user-interface thread only): a window is in it from
// its creation until its teardown.
void RegisterWindow(WndImpl* impl);
void UnregisterWindow(WndImpl* impl);
// The handles of the existing windows that `owner` owns.
std::vector<HWND> OwnedWindows(const CWnd* owner);

// A window message waiting in the event queue.
class WndMessageEvent : public QEvent
{
public:
    WndMessageEvent(UINT message, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam)
    {}
    static QEvent::Type EventType();

    UINT m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

class WndWidget : public QWidget
{
public:
    WndWidget(const std::shared_ptr<WndImpl>& impl, QWidget* parent, Qt::WindowFlags flags);
    std::shared_ptr<WndImpl> Impl() const { return m_impl.lock(); }
    void Detach() { m_impl.reset(); }

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::weak_ptr<WndImpl> m_impl;
};

// Installed once on the application: mouse input on any widget inside a framework window
// (the skin's labels, pictures and buttons included) reaches that window's WindowProc.
class MouseRouter : public QObject
{
public:
    static void EnsureInstalled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Gives every framework window its role and name for assistive technology; once.
void InstallWndAccessibility();

// Key state of the mouse messages.
WPARAM MouseKeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
// The window message for a mouse button event, 0 for buttons the windows do not hear of.
UINT MouseButtonMessage(QEvent::Type type, Qt::MouseButton button);
