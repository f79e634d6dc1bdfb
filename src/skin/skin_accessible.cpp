#include "skin/skin_accessible.h"

#include "skin/skin_controls.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QStringList>

namespace {

// The day's picture and the badge: an image, named by its layout label.
class PictureAccessible : public QAccessibleWidget, public QAccessibleImageInterface
{
public:
    explicit PictureAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Graphic) {}
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ImageInterface)
            return static_cast<QAccessibleImageInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString imageDescription() const override { return text(QAccessible::Name); }
    QSize imageSize() const override { return widget()->size(); }
    QPoint imagePosition() const override { return rect().topLeft(); }
};

// A read-only text box is text to be read, not a field to type in: static text whose name
// is its content. Its viewport and hidden scroll bars are nothing a reader should visit.
class TextAccessible : public QAccessibleWidget
{
public:
    explicit TextAccessible(SkinEdit* edit) : QAccessibleWidget(edit, QAccessible::StaticText) {}
    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name)
            return static_cast<const SkinEdit*>(widget())->toPlainText();
        if (type == QAccessible::Description)
            return widget()->accessibleName();
        return QAccessibleWidget::text(type);
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

// A date list: named by its layout label ("年"), its value the shown number, which need
// not be one of the items on offer.
class ComboAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ComboAccessible(SkinCombo* combo) : QAccessibleWidget(combo, QAccessible::ComboBox)
    {
        addControllingSignal(QStringLiteral("activated(int)"));
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return Combo()->ShownText();
        return QAccessibleWidget::text(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = Combo()->view() && Combo()->view()->isVisible();
        return s;
    }

    QVariant currentValue() const override { return Number(Combo()->ShownText()); }
    // Screen readers pick from the list itself; a value typed in through them is not taken.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override
    {
        return Combo()->count() ? Number(Combo()->itemText(Combo()->count() - 1)) : QVariant();
    }
    QVariant minimumValue() const override
    {
        return Combo()->count() ? Number(Combo()->itemText(0)) : QVariant();
    }
    QVariant minimumStepSize() const override { return 1; }

private:
    const SkinCombo* Combo() const { return static_cast<const SkinCombo*>(widget()); }
    // The lists hold numbers; anything else is handed on as text.
    static QVariant Number(const QString& text)
    {
        bool ok = false;
        const int value = text.toInt(&ok);
        return ok ? QVariant(value) : QVariant(text);
    }
};

QAccessibleInterface* SkinAccessibleFactory(const QString& className, QObject* object)
{
    // Asked once for each class up the object's hierarchy; the first ask decides. Objects
    // still under construction are asked about too (the page engine's), so the class name
    // is looked at before the object: only the bases our controls stand on can be ours.
    static const QStringList kBases = {QStringLiteral("QWidget"), QStringLiteral("QTextEdit"),
                                       QStringLiteral("QComboBox")};
    if (!kBases.contains(className) || !object || !object->isWidgetType() ||
        className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (dynamic_cast<SkinPicture*>(widget))
        return new PictureAccessible(widget);
    if (auto* edit = dynamic_cast<SkinEdit*>(widget))
        return new TextAccessible(edit);
    if (auto* combo = dynamic_cast<SkinCombo*>(widget))
        return new ComboAccessible(combo);
    if (dynamic_cast<SkinAnimation*>(widget))
        return new QAccessibleWidget(widget, QAccessible::Animation);
    if (dynamic_cast<SkinPanel*>(widget) || dynamic_cast<SkinHolder*>(widget))
        return new QAccessibleWidget(widget, QAccessible::Pane);
    return nullptr;
}

} // namespace

void InstallSkinAccessibility()
{
    // Factories installed later are asked first, so these win over Qt's own for the
    // classes the skin's controls derive from.
    static const bool installed = [] {
        QAccessible::installFactory(SkinAccessibleFactory);
        return true;
    }();
    (void)installed;
}

QString SkinAccessibleText(const QString& format, const QString& value)
{
    if (format.isEmpty())
        return value;
    if (!format.contains(QLatin1String("%1")))
        return format;
    QString text = format;
    text.replace(QLatin1String("%1"), value);
    return text;
}

void ApplySkinLabel(QWidget* widget, const QString& value)
{
    const QString name = SkinAccessibleText(widget->property("skinLabel").toString(), value);
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
}
