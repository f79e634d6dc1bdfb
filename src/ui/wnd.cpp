// The window object's core: creating and destroying windows, delivering messages with
// the handler frames that keep a window alive while its handlers run, window timers, mouse
// tracking and modal runs.

#include "ui/wnd.h"

#include "ui/wnd_private.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

constexpr Qt::WindowFlags kPopupFlags = Qt::Tool | Qt::FramelessWindowHint;

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

} // namespace

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
    // By handle: destroying one window may delete the objects of the others.
    for (const HWND handle : OwnedWindows(self))
        if (CWnd* wnd = CWnd::FromHandle(handle); wnd && wnd->IsWindow())
            wnd->DestroyWindow();
}

void WndImpl::Teardown()
{
    exists = false;
    destroying = false;
    owner = nullptr;
    UnregisterWindow(this);
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

void WndImpl::StopHoverTimer()
{
    if (hoverTimer && widget)
        widget->killTimer(hoverTimer);
    hoverTimer = 0;
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

bool CWnd::CreatePopup(CWnd* owner)
{
    const std::shared_ptr<WndImpl> impl = m_pImpl;
    if (impl->exists || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    if (owner && !owner->IsWindow())
        return false;

    MouseRouter::EnsureInstalled();
    InstallWndAccessibility();
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
    RegisterWindow(impl.get());

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
