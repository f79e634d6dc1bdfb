// What a framework window tells assistive technology: a window or a dialog, named by its
// title, or when it has none by the name its content gave it (a skin form's label).

#include "ui/wnd_private.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class WndAccessible : public QAccessibleWidget
{
public:
    explicit WndAccessible(WndWidget* widget) : QAccessibleWidget(widget) {}
    QAccessible::Role role() const override
    {
        // Windows that never take the keyboard only show something beside the one the user
        // works in; the others are dialogs the user answers.
        const std::shared_ptr<WndImpl> impl = static_cast<WndWidget*>(widget())->Impl();
        return impl && !impl->noActivate ? QAccessible::Dialog : QAccessible::Window;
    }
    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name && !widget()->windowTitle().isEmpty())
            return widget()->windowTitle();
        return QAccessibleWidget::text(type);
    }
};

QAccessibleInterface* WndAccessibleFactory(const QString& className, QObject* object)
{
    // Asked about every object, some of them still being built (no member may be called
    // on those): the class name comes first, and only plain widgets that are windows can
    // be ours.
    if (className != QLatin1String("QWidget") || !object || !object->isWidgetType() ||
        !static_cast<QWidget*>(object)->isWindow())
        return nullptr;
    auto* widget = dynamic_cast<WndWidget*>(object);
    return widget ? new WndAccessible(widget) : nullptr;
}

} // namespace

void InstallWndAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(WndAccessibleFactory);
        return true;
    }();
    (void)installed;
}
