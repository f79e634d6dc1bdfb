// Where a window is and how it shows: show states, placement and stacking, the window's
// style bits, and the screen's work area.

#include "ui/wnd.h"

#include "ui/session_platform.h"
#include "ui/ui_services.h"
#include "ui/window_geometry.h"
#include "ui/wnd_private.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <cstdint>

CWnd* const HWND_BOTTOM = reinterpret_cast<CWnd*>(std::intptr_t{1});
CWnd* const HWND_TOPMOST = reinterpret_cast<CWnd*>(std::intptr_t{-1});
CWnd* const HWND_NOTOPMOST = reinterpret_cast<CWnd*>(std::intptr_t{-2});

namespace {

bool IsSpecialInsertAfter(CWnd* wnd)
{
    return wnd == HWND_BOTTOM || wnd == HWND_TOPMOST || wnd == HWND_NOTOPMOST;
}

} // namespace

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
    // its native window (the QWindow) separately keeps it where and as it is.
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
    // A window taller or wider than the work area (a small screen at a large scale) is cut
    // to it, so that none of it lies off the screen.
    const QSize size = own.size().boundedTo(area.size());
    const QPoint pos = CenteredPosition(size, overOwner ? ownerRect : area, area);
    const UINT keepSize = size == own.size() ? SWP_NOSIZE : 0;
    SetWindowPos(nullptr, pos.x(), pos.y(), size.width(), size.height(),
                 keepSize | SWP_NOZORDER | SWP_NOACTIVATE);
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

void CWnd::SetFixedPlacement()
{
    QWidget* w = GetWidget();
    if (!w || !RunsOnXWayland())
        return;
    m_pImpl->ApplyWindowFlags(w->windowFlags() | Qt::BypassWindowManagerHint);
    // The compositor does not show a window that belongs to one it does not manage (the
    // popup to the widget), so the window is made now and its tie to its owner's window is
    // cut; nothing else needs it, since the program places the window itself.
    w->winId();
    if (QWindow* handle = w->windowHandle())
        handle->setTransientParent(nullptr);
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
