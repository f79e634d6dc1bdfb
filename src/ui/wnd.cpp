#include "ui/wnd.h"

#include "ui/ui_services.h"
#include "ui/window_geometry.h"
#include "ui/wnd_private.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <unordered_set>
#include <utility>
#include <vector>

CWnd* const HWND_BOTTOM = reinterpret_cast<CWnd*>(std::intptr_t{1});
CWnd* const HWND_TOPMOST = reinterpret_cast<CWnd*>(std::intptr_t{-1});
CWnd* const HWND_NOTOPMOST = reinterpret_cast<CWnd*>(std::intptr_t{-2});

namespace {

// Window objects alive, for the checked handle functions (any thread).
std::mutex g_liveMutex;
std::unordered_set<const CWnd*> g_live;

// Windows that exist, for finding owned windows (user-interface thread only).
std::vector<WndImpl*> g_windows;

constexpr Qt::WindowFlags kPopupFlags = Qt::Tool | Qt::FramelessWindowHint;

// Counts one handler frame; the last one to leave runs what waited for it.
class HandlerFrame
{
public:
    explicit HandlerFrame(WndImpl& impl) : m_impl(impl) { ++m_impl.depth; }
    ~HandlerFrame()
    {
        if (--m_impl.depth == 0)
            m_impl.AfterOutermostHandler();
    }
    HandlerFrame(const HandlerFrame&) = delete;
    HandlerFrame& operator=(const HandlerFrame&) = delete;

private:
    WndImpl& m_impl;
};

bool IsSpecialInsertAfter(CWnd* wnd)
{
    return wnd == HWND_BOTTOM || wnd == HWND_TOPMOST || wnd == HWND_NOTOPMOST;
}

} // namespace

// ---------------------------------------------------------------------------------------
// WndImpl

LRESULT WndImpl::Deliver(const std::shared_ptr<WndImpl>& impl, UINT message, WPARAM wParam,
                         LPARAM lParam)
{
    // A copy: the frame keeps the state alive even if the handler deletes its object.
    const std::shared_ptr<WndImpl> keep = impl;
    if (!keep->self || !keep->exists)
        return 0;
    HandlerFrame frame(*keep);
    return keep->self->WindowProc(message, wParam, lParam);
}

void WndImpl::AfterOutermostHandler()
{
    for (const QPointer<WndWidget>& w : std::exchange(pendingRelease, {}))
        if (w)
            w->deleteLater();
    if (deleteSelf && self) {
        deleteSelf = false;
        delete self;
    }
}

void WndImpl::DestroyOwnedWindows()
{
    std::vector<CWnd*> owned;
    for (WndImpl* other : g_windows)
        if (other->owner == self && other->self)
            owned.push_back(other->self);
    for (CWnd* wnd : owned)
        if (::IsWindow(wnd))
            wnd->DestroyWindow();
}

void WndImpl::Teardown()
{
    exists = false;
    destroying = false;
    owner = nullptr;
    g_windows.erase(std::remove(g_windows.begin(), g_windows.end(), this), g_windows.end());
    {
        std::lock_guard lock(postMutex);
        postTarget = nullptr;
    }
    trackFlags = 0;
    pointerInside = false;
    if (modalLoop)
        modalLoop->exit(modalResult);
    if (WndWidget* w = widget.data()) {
        w->Detach();
        QCoreApplication::removePostedEvents(w, WndMessageEvent::EventType());
        for (const auto& [id, qtId] : timers)
            w->killTimer(qtId);
        if (hoverTimer)
            w->killTimer(hoverTimer);
        w->hide();
        // Out of the owner's widget tree, so that releasing the owner's widget never takes
        // this one with it while it waits for its own release.
        w->setParent(nullptr, w->windowFlags());
        // Never deleted in place: the widget or one of its skin controls may be in the
        // middle of delivering the event whose handler destroyed the window.
        if (depth == 0)
            w->deleteLater();
        else
            pendingRelease.push_back(w);
    }
    widget.clear();
    timers.clear();
    hoverTimer = 0;
}

void WndImpl::ReportGeometry()
{
    if (!exists || !widget)
        return;
    // Keep the state alive: a WM_MOVE handler may delete the window object.
    const std::shared_ptr<WndImpl> keep = shared_from_this();
    QRect g = widget->geometry();
    if (g.topLeft() != reportedPos) {
        reportedPos = g.topLeft();
        Deliver(keep, WM_MOVE, 0, MAKELPARAM(g.x(), g.y()));
    }
    if (!exists || !widget)
        return;
    g = widget->geometry();
    if (g.size() != reportedSize) {
        reportedSize = g.size();
        Deliver(keep, WM_SIZE, widget->isMinimized() ? SIZE_MINIMIZED : SIZE_RESTORED,
                MAKELPARAM(g.width(), g.height()));
    }
}

void WndImpl::ApplyWindowFlags(Qt::WindowFlags flags)
{
    if (!widget || widget->windowFlags() == flags)
        return;
    // QWidget::setWindowFlags re-creates and hides a visible window; telling the widget and
    // its platform window separately keeps it where and as it is.
    widget->overrideWindowFlags(flags);
    if (QWindow* handle = widget->windowHandle())
        handle->setFlags(flags);
}

void WndImpl::Activate(bool raise)
{
    if (noActivate || !widget || !widget->isVisible() || widget->isMinimized())
        return;
    // A window that has just been mapped is on top already.
    if (raise)
        widget->raise();
    widget->activateWindow();
}

void WndImpl::StopHoverTimer()
{
    if (hoverTimer && widget)
        widget->killTimer(hoverTimer);
    hoverTimer = 0;
}

bool WndImpl::Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(postMutex);
    if (!postTarget)
        return false;
    QCoreApplication::postEvent(postTarget, new WndMessageEvent(message, wParam, lParam));
    return true;
}

void WndImpl::OnQtTimer(int qtTimerId)
{
    if (!exists || !self)
        return;
    if (qtTimerId == hoverTimer) {
        StopHoverTimer();
        if ((trackFlags & TME_HOVER) && pointerInside) {
            trackFlags &= ~TME_HOVER;
            Post(WM_MOUSEHOVER,
                 MouseKeyState(QGuiApplication::mouseButtons(),
                               QGuiApplication::keyboardModifiers()),
                 MAKELPARAM(lastClientPos.x(), lastClientPos.y()));
        }
        return;
    }
    for (const auto& [id, qtId] : timers) {
        if (qtId == qtTimerId) {
            const std::uintptr_t windowTimerId = id;
            Deliver(shared_from_this(), WM_TIMER, windowTimerId, 0);
            return;
        }
    }
}

void WndImpl::OnMouseMove(QPoint client, WPARAM keys)
{
    pointerInside = true;
    lastClientPos = client;
    if ((trackFlags & TME_HOVER) && widget) {
        // The pointer "rests" while it stays inside a small square around where it
        // stopped; moving out of it starts the hover time again.
        constexpr int kHoverSlack = 2;
        if (std::abs(client.x() - hoverAnchor.x()) > kHoverSlack ||
            std::abs(client.y() - hoverAnchor.y()) > kHoverSlack) {
            hoverAnchor = client;
            StopHoverTimer();
            hoverTimer = widget->startTimer(hoverMs);
        }
    }
    Deliver(shared_from_this(), WM_MOUSEMOVE, keys, MAKELPARAM(client.x(), client.y()));
}

void WndImpl::OnMouseButton(UINT message, QPoint client, WPARAM keys)
{
    lastClientPos = client;
    Deliver(shared_from_this(), message, keys, MAKELPARAM(client.x(), client.y()));
}

void WndImpl::OnPointerEntered() { pointerInside = true; }

void WndImpl::OnPointerLeft()
{
    pointerInside = false;
    StopHoverTimer();
    const bool wantsLeave = trackFlags & TME_LEAVE;
    trackFlags = 0;
    if (wantsLeave)
        Post(WM_MOUSELEAVE, 0, 0);
}

// ---------------------------------------------------------------------------------------
// CWnd

CWnd::CWnd() : m_pImpl(std::make_shared<WndImpl>())
{
    m_pImpl->self = this;
    std::lock_guard lock(g_liveMutex);
    g_live.insert(this);
}

CWnd::~CWnd()
{
    {
        std::lock_guard lock(g_liveMutex);
        g_live.erase(this);
    }
    if (m_pImpl->exists)
        DestroyWindow();
    m_pImpl->self = nullptr;
    m_pImpl->deleteSelf = false;
}

bool CWnd::CreatePopup(CWnd* owner)
{
    const std::shared_ptr<WndImpl> impl = m_pImpl;
    if (impl->exists || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    if (owner && !owner->IsWindow())
        return false;

    MouseRouter::EnsureInstalled();
    QWidget* parentWidget = owner ? owner->GetWidget() : nullptr;
    auto* widget = new WndWidget(impl, parentWidget, kPopupFlags);
    widget->setGeometry(0, 0, 100, 100);
    widget->setWindowTitle(QString());

    impl->widget = widget;
    impl->owner = owner;
    impl->noActivate = false;
    impl->exists = true;
    impl->reportedPos = widget->geometry().topLeft();
    impl->reportedSize = widget->geometry().size();
    impl->modalResult = -1;
    {
        std::lock_guard lock(impl->postMutex);
        impl->postTarget = widget;
    }
    g_windows.push_back(impl.get());

    if (WndImpl::Deliver(impl, WM_CREATE, 0, 0) == -1) {
        if (impl->exists)
            DestroyWindow();
        return false;
    }
    return impl->exists;
}

bool CWnd::DestroyWindow()
{
    const std::shared_ptr<WndImpl> impl = m_pImpl;
    if (!impl->exists || impl->destroying)
        return false;
    impl->destroying = true;

    // Owned windows go first, so that the owner's destroy handler finds them gone; any it
    // creates meanwhile go after it.
    impl->DestroyOwnedWindows();
    WndImpl::Deliver(impl, WM_DESTROY, 0, 0);
    impl->DestroyOwnedWindows();
    impl->Teardown();
    return true;
}

bool CWnd::IsWindow() const { return m_pImpl->exists; }

QWidget* CWnd::GetWidget() const { return m_pImpl->exists ? m_pImpl->widget.data() : nullptr; }

CWnd* CWnd::GetOwner() const { return m_pImpl->exists ? m_pImpl->owner : nullptr; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return DefWindowProc(message, wParam, lParam);
    }
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (message) {
    case WM_CLOSE:
        OnCancel();
        return 0;
    case WM_COMMAND:
        if (wParam == IDOK)
            OnOK();
        else if (wParam == IDCANCEL)
            OnCancel();
        return 0;
    default:
        return 0;
    }
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return WndImpl::Deliver(m_pImpl, message, wParam, lParam);
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_pImpl->Post(message, wParam, lParam);
}

bool CWnd::ShowWindow(int showState)
{
    const std::shared_ptr<WndImpl> impl = m_pImpl;
    if (!impl->exists || !impl->widget)
        return false;
    const bool wasVisible = impl->widget->isVisible();
    const bool willBeVisible = showState != SW_HIDE;
    if (willBeVisible != wasVisible) {
        WndImpl::Deliver(impl, WM_SHOWWINDOW, willBeVisible ? 1 : 0, 0);
        if (!impl->exists || !impl->widget)
            return wasVisible;
    }
    QWidget* w = impl->widget;
    switch (showState) {
    case SW_HIDE:
        w->hide();
        break;
    case SW_MINIMIZE:
        w->showMinimized();
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        w->showNormal();
        impl->Activate(wasVisible);
        break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE: {
        const bool before = w->testAttribute(Qt::WA_ShowWithoutActivating);
        w->setAttribute(Qt::WA_ShowWithoutActivating, true);
        if (showState == SW_SHOWNOACTIVATE && w->isMinimized())
            w->showNormal();
        else
            w->show();
        w->setAttribute(Qt::WA_ShowWithoutActivating, before);
        break;
    }
    default: // SW_SHOW and anything else: shown in its current state
        if (!wasVisible)
            w->show();
        impl->Activate(wasVisible);
        break;
    }
    return wasVisible;
}

bool CWnd::IsWindowVisible() const
{
    return m_pImpl->exists && m_pImpl->widget && m_pImpl->widget->isVisible();
}

bool CWnd::IsIconic() const
{
    return m_pImpl->exists && m_pImpl->widget && m_pImpl->widget->isMinimized();
}

bool CWnd::SetWindowPos(CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    const std::shared_ptr<WndImpl> impl = m_pImpl;
    if (!impl->exists || !impl->widget)
        return false;
    const QRect current = impl->widget->geometry();
    const QRect target = ApplyWindowPos(current, x, y, cx, cy, flags);
    if (target != current) {
        impl->widget->setGeometry(target);
        impl->ReportGeometry();
        if (!impl->exists || !impl->widget)
            return true;
    }
    QWidget* w = impl->widget;
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)
            impl->ApplyWindowFlags(
                w->windowFlags().setFlag(Qt::WindowStaysOnTopHint, insertAfter == HWND_TOPMOST));
        if (w->isVisible()) {
            if (insertAfter == HWND_BOTTOM)
                w->lower();
            else if (insertAfter == HWND_TOP || IsSpecialInsertAfter(insertAfter))
                w->raise();
        }
    }
    if (!(flags & SWP_NOACTIVATE))
        impl->Activate(false);
    return true;
}

QRect CWnd::GetWindowRect() const
{
    return m_pImpl->exists && m_pImpl->widget ? m_pImpl->widget->geometry() : QRect();
}

QRect CWnd::GetClientRect() const
{
    return m_pImpl->exists && m_pImpl->widget ? m_pImpl->widget->rect() : QRect();
}

void CWnd::MoveWindow(int x, int y, int cx, int cy)
{
    SetWindowPos(nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::CenterWindow()
{
    if (!IsWindow())
        return;
    const QRect own = GetWindowRect();
    CWnd* owner = GetOwner();
    const bool overOwner = owner && owner->IsWindowVisible() && !owner->IsIconic();
    const QRect ownerRect = owner ? owner->GetWindowRect() : QRect();
    const QRect area = GetWorkAreaAt(owner ? ownerRect.topLeft() : own.topLeft());
    const QPoint pos = CenteredPosition(own.size(), overOwner ? ownerRect : area, area);
    SetWindowPos(nullptr, pos.x(), pos.y(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::BringWindowToTop()
{
    QWidget* w = GetWidget();
    if (!w || !w->isVisible())
        return;
    w->raise();
    m_pImpl->Activate(false);
}

void CWnd::SetForegroundWindow() { BringWindowToTop(); }

bool CWnd::IsTopmost() const
{
    QWidget* w = GetWidget();
    return w && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void CWnd::SetWindowText(const QString& title)
{
    if (QWidget* w = GetWidget())
        w->setWindowTitle(title);
}

QString CWnd::GetWindowText() const
{
    QWidget* w = GetWidget();
    return w ? w->windowTitle() : QString();
}

void CWnd::SetTaskbarButton(bool shown)
{
    QWidget* w = GetWidget();
    if (!w)
        return;
    Qt::WindowFlags flags = w->windowFlags() & ~Qt::WindowType_Mask;
    flags |= shown ? Qt::Window : Qt::Tool;
    m_pImpl->ApplyWindowFlags(flags);
}

bool CWnd::HasTaskbarButton() const
{
    QWidget* w = GetWidget();
    return w && w->windowType() != Qt::Tool;
}

void CWnd::SetNoActivate(bool never)
{
    QWidget* w = GetWidget();
    if (!w)
        return;
    m_pImpl->noActivate = never;
    // Shown without taking the focus, and the window manager gives it none on a click.
    w->setAttribute(Qt::WA_ShowWithoutActivating, never);
    m_pImpl->ApplyWindowFlags(w->windowFlags().setFlag(Qt::WindowDoesNotAcceptFocus, never));
}

bool CWnd::IsNoActivate() const { return m_pImpl->exists && m_pImpl->noActivate; }

void CWnd::SetOpacity(int alpha)
{
    if (QWidget* w = GetWidget())
        w->setWindowOpacity(AlphaToOpacity(alpha));
}

int CWnd::GetOpacity() const
{
    QWidget* w = GetWidget();
    return w ? OpacityToAlpha(w->windowOpacity()) : 0;
}

std::uintptr_t CWnd::SetTimer(std::uintptr_t id, int ms)
{
    WndImpl& impl = *m_pImpl;
    if (!impl.exists || !impl.widget)
        return 0;
    if (auto it = impl.timers.find(id); it != impl.timers.end())
        impl.widget->killTimer(it->second);
    impl.timers[id] = impl.widget->startTimer(std::max(ms, USER_TIMER_MINIMUM));
    return id;
}

bool CWnd::KillTimer(std::uintptr_t id)
{
    WndImpl& impl = *m_pImpl;
    auto it = impl.timers.find(id);
    if (it == impl.timers.end())
        return false;
    if (impl.widget)
        impl.widget->killTimer(it->second);
    impl.timers.erase(it);
    return true;
}

bool CWnd::IsTimerRunning(std::uintptr_t id) const { return m_pImpl->timers.count(id) != 0; }

void CWnd::TrackMouseEvent(UINT flags, UINT hoverTime)
{
    WndImpl& impl = *m_pImpl;
    if (!impl.exists || !impl.widget)
        return;
    if (flags & TME_CANCEL) {
        impl.trackFlags &= ~(flags & (TME_HOVER | TME_LEAVE));
        if (!(impl.trackFlags & TME_HOVER))
            impl.StopHoverTimer();
        return;
    }
    if (flags & TME_LEAVE) {
        if (impl.pointerInside)
            impl.trackFlags |= TME_LEAVE;
        else
            impl.Post(WM_MOUSELEAVE, 0, 0);
    }
    if ((flags & TME_HOVER) && impl.pointerInside) {
        impl.trackFlags |= TME_HOVER;
        impl.hoverMs = hoverTime == HOVER_DEFAULT ? HOVER_DEFAULT_MS
                                                  : static_cast<int>(std::min(hoverTime, 0x7FFFu));
        impl.hoverAnchor = impl.lastClientPos;
        impl.StopHoverTimer();
        impl.hoverTimer = impl.widget->startTimer(impl.hoverMs);
    }
}

int CWnd::RunModalLoop()
{
    const std::shared_ptr<WndImpl> impl = m_pImpl;
    if (!impl->exists || impl->modalLoop)
        return -1;
    QEventLoop loop;
    impl->modalLoop = &loop;
    impl->modalResult = -1;
    const int result = loop.exec(QEventLoop::AllEvents);
    impl->modalLoop = nullptr;
    return result;
}

void CWnd::EndDialog(int result)
{
    const std::shared_ptr<WndImpl> impl = m_pImpl;
    if (impl->modalLoop) {
        impl->modalResult = result;
        impl->modalLoop->exit(result);
    }
    ShowWindow(SW_HIDE);
}

bool CWnd::IsInModalLoop() const { return m_pImpl->modalLoop != nullptr; }

void CWnd::OnOK() { EndDialog(IDOK); }

void CWnd::OnCancel() { EndDialog(IDCANCEL); }

// ---------------------------------------------------------------------------------------
// Free functions

void DeleteWnd(CWnd* wnd)
{
    if (!wnd)
        return;
    if (wnd->m_pImpl->depth > 0)
        wnd->m_pImpl->deleteSelf = true;
    else
        delete wnd;
}

void ReleaseDestroyedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool IsWindow(HWND wnd)
{
    std::lock_guard lock(g_liveMutex);
    return wnd && g_live.count(wnd) && wnd->IsWindow();
}

bool PostMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Held while posting so that the object cannot be deleted half-way.
    std::lock_guard lock(g_liveMutex);
    return wnd && g_live.count(wnd) && wnd->PostMessage(message, wParam, lParam);
}

LRESULT SendMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(g_liveMutex);
        if (!wnd || !g_live.count(wnd))
            return 0;
    }
    return wnd->SendMessage(message, wParam, lParam);
}

QRect GetWorkArea()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QRect GetWorkAreaAt(QPoint point)
{
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QPoint GetCursorPos() { return CurrentUiServices().cursor->Pos(); }
