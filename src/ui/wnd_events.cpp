// Qt's side of the window framework: the widget a CWnd owns and the filter that turns
// Qt's input events into window messages.

#include "ui/wnd_private.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QTimerEvent>

QEvent::Type WndMessageEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

WndWidget::WndWidget(const std::shared_ptr<WndImpl>& impl, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), m_impl(impl)
{}

bool WndWidget::event(QEvent* event)
{
    if (event->type() == WndMessageEvent::EventType()) {
        // Queued messages are dropped once the window is gone.
        if (const std::shared_ptr<WndImpl> impl = Impl(); impl && impl->exists) {
            const auto* message = static_cast<WndMessageEvent*>(event);
            WndImpl::Deliver(impl, message->m_message, message->m_wParam, message->m_lParam);
        }
        return true;
    }
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
        // Only the top-level widget's own crossings count: moving onto a child is not
        // leaving the window.
        if (const std::shared_ptr<WndImpl> impl = Impl(); impl && impl->exists) {
            if (event->type() == QEvent::Enter)
                impl->OnPointerEntered();
            else
                impl->OnPointerLeft();
        }
    }
    return QWidget::event(event);
}

void WndWidget::timerEvent(QTimerEvent* event)
{
    if (const std::shared_ptr<WndImpl> impl = Impl())
        impl->OnQtTimer(event->timerId());
}

void WndWidget::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (const std::shared_ptr<WndImpl> impl = Impl(); impl && impl->exists && !impl->destroying)
        impl->ReportGeometry();
}

void WndWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (const std::shared_ptr<WndImpl> impl = Impl(); impl && impl->exists && !impl->destroying)
        impl->ReportGeometry();
}

void WndWidget::closeEvent(QCloseEvent* event)
{
    // The window decides through WM_CLOSE; Qt never hides or closes it on its own.
    event->ignore();
    if (const std::shared_ptr<WndImpl> impl = Impl(); impl && impl->exists)
        WndImpl::Deliver(impl, WM_CLOSE, 0, 0);
}

void MouseRouter::EnsureInstalled()
{
    static QPointer<MouseRouter> router;
    if (router || !QCoreApplication::instance())
        return;
    router = new MouseRouter;
    router->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(router);
}

bool MouseRouter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    // Qt hands an ignored mouse event on to the parent widgets as fresh, non-spontaneous
    // copies; only the first delivery is spontaneous, so each input is routed once. The
    // native window (a QWindow, not a widget) sees the event before its widgets do.
    if (!event->spontaneous() || !watched->isWidgetType())
        return false;
    auto* window = dynamic_cast<WndWidget*>(static_cast<QWidget*>(watched)->window());
    if (!window)
        return false;
    const std::shared_ptr<WndImpl> impl = window->Impl();
    if (!impl || !impl->exists)
        return false;

    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint client = window->mapFromGlobal(mouse->globalPosition().toPoint());
    const WPARAM keys = MouseKeyState(mouse->buttons(), mouse->modifiers());
    if (type == QEvent::MouseMove) {
        impl->OnMouseMove(client, keys);
    } else if (const UINT message = MouseButtonMessage(type, mouse->button())) {
        impl->OnMouseButton(message, client, keys);
    }
    // The skin's controls still get the event.
    return false;
}

WPARAM MouseKeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    WPARAM keys = 0;
    if (buttons & Qt::LeftButton)
        keys |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        keys |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        keys |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier)
        keys |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        keys |= MK_CONTROL;
    return keys;
}

UINT MouseButtonMessage(QEvent::Type type, Qt::MouseButton button)
{
    UINT base = 0;
    switch (button) {
    case Qt::LeftButton:
        base = WM_LBUTTONDOWN;
        break;
    case Qt::RightButton:
        base = WM_RBUTTONDOWN;
        break;
    case Qt::MiddleButton:
        base = WM_MBUTTONDOWN;
        break;
    default:
        return 0;
    }
    switch (type) {
    case QEvent::MouseButtonPress:
        return base;
    case QEvent::MouseButtonRelease:
        return base + 1;
    case QEvent::MouseButtonDblClick:
        return base + 2;
    default:
        return 0;
    }
}
