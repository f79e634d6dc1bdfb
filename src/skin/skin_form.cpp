#include "skin/skin_form.h"

#include "skin/skin_accessible.h"
#include "skin/skin_controls.h"
#include "skin/skin_style.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <unordered_set>

Q_LOGGING_CATEGORY(lcSkin, "tavro.skin")

namespace {

std::unordered_set<const SkinForm*> g_liveForms;
std::unordered_set<const SkinControl*> g_liveControls;
// Mouse events being handled by forms right now. A form released meanwhile (FreeSkin from a
// notification handler) must not delete the widget Qt is still delivering to.
int g_mouseDepth = 0;

Qt::Alignment ParseAlignment(const QString& text)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    Qt::Alignment vertical = Qt::AlignVCenter;
    for (const QString& word :
         text.toLower().split(QRegularExpression(QStringLiteral("[\\s|,]+")), Qt::SkipEmptyParts)) {
        if (word == QLatin1String("left"))
            horizontal = Qt::AlignLeft;
        else if (word == QLatin1String("right"))
            horizontal = Qt::AlignRight;
        else if (word == QLatin1String("center"))
            horizontal = Qt::AlignHCenter;
        else if (word == QLatin1String("top"))
            vertical = Qt::AlignTop;
        else if (word == QLatin1String("bottom"))
            vertical = Qt::AlignBottom;
    }
    return horizontal | vertical;
}

int IntOr(const QString& text, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}

bool RaisesClicks(SkinControlType type)
{
    switch (type) {
    case SkinControlType::Panel:
    case SkinControlType::Label:
    case SkinControlType::Button:
    case SkinControlType::Picture:
    case SkinControlType::Animation:
        return true;
    default:
        return false;
    }
}

} // namespace

void ReportSkinProblem(const QString& message)
{
    qCWarning(lcSkin).noquote() << QStringLiteral("skin: ") + message;
}

bool IsLiveForm(const SkinForm* form) { return form && g_liveForms.count(form); }

bool IsLiveControl(const SkinControl* control)
{
    return control && g_liveControls.count(control) && control->widget;
}

void SkinEngine::ReportOnce(const QString& key, const QString& message)
{
    if (reported.contains(key))
        return;
    reported.insert(key);
    ReportSkinProblem(message);
}

void SkinEngine::ReleaseForm(SkinForm* form)
{
    std::erase_if(forms, [form](const std::unique_ptr<SkinForm>& f) { return f.get() == form; });
}

// ---------------------------------------------------------------------------------------
// Forms

SkinForm::SkinForm(SkinEngine* owner, const SkinFormDef& def, CWnd* wnd)
    : engine(owner), name(def.name), window(wnd->GetSafeHwnd()), host(wnd->GetWidget())
{
    g_liveForms.insert(this);

    // Rounded panels need a see-through window; forms that embed other native windows
    // (a web page) can ask for an opaque one.
    if (def.attributes.value(QStringLiteral("translucent"), QStringLiteral("1")) !=
        QLatin1String("0"))
        host->setAttribute(Qt::WA_TranslucentBackground);
    if (!host->windowFlags().testFlag(Qt::FramelessWindowHint))
        host->setWindowFlag(Qt::FramelessWindowHint, true);

    root = new SkinPanel(
        host, ResolveSkinPath(def.attributes.value(QStringLiteral("image")), engine->layoutDir));
    root->setObjectName(def.name);
    root->setProperty("skinType", QStringLiteral("form"));
    // What the window is, for screen readers; a window title set later says it instead.
    const QString label = def.attributes.value(QStringLiteral("label"));
    if (!label.isEmpty())
        host->setAccessibleName(label);
    const QString styleClass = def.attributes.value(QStringLiteral("class")).trimmed();
    if (!styleClass.isEmpty())
        root->setProperty("skinClass", styleClass);
    for (const auto& control : def.controls)
        Build(control, root, true, engine->layoutDir);

    // Scroll bars follow the text box they name, wherever it sits in the form.
    for (const auto& control : controls) {
        if (control->type != SkinControlType::ScrollBar)
            continue;
        const QString target = control->widget->property("skinTarget").toString();
        SkinControl* edit = Find(target, true);
        if (edit && edit->type == SkinControlType::Edit)
            static_cast<SkinScrollBar*>(control->widget.data())
                ->Attach(static_cast<SkinEdit*>(edit->widget.data()));
        else if (!target.isEmpty())
            engine->ReportOnce(QStringLiteral("target:%1/%2").arg(name, control->name),
                               QStringLiteral("scroll bar \"%1\" of form \"%2\" names no text "
                                              "box \"%3\"")
                                   .arg(control->name, name, target));
    }

    m_scrolls = def.attributes.value(QStringLiteral("overflow")) == QLatin1String("scroll");
    m_formHeight = def.size.height();
    root->setStyleSheet(engine->styleSheet);
    root->setGeometry(0, 0, def.size.width(), def.size.height());
    root->show();
    host->installEventFilter(this);
    wnd->SetWindowPos(HWND_TOP, 0, 0, def.size.width(), def.size.height(),
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutRoot();
    // Forms that only show something next to the window the user works in leave the
    // keyboard where it is; every other window takes it when it is shown.
    if (def.attributes.value(QStringLiteral("activate")) == QLatin1String("0"))
        wnd->SetNoActivate(true);

    // The form and its controls end with their window.
    connect(host, &QObject::destroyed, this, [this] { engine->ReleaseForm(this); });
}

SkinForm::~SkinForm()
{
    for (const auto& control : controls)
        g_liveControls.erase(control.get());
    g_liveForms.erase(this);
    if (host)
        host->removeEventFilter(this);
    if (root && g_mouseDepth > 0) {
        root->hide();
        root->deleteLater();
    } else {
        delete root.data();
    }
}

QWidget* SkinForm::MakeWidget(const SkinControlDef& def, QWidget* parent, SkinControl* control,
                              const QString& layoutDir)
{
    const QString text = def.Attribute(QStringLiteral("text"));
    const QString image = ResolveSkinPath(def.Attribute(QStringLiteral("image")), layoutDir);
    QWidget* widget = nullptr;
    switch (def.type) {
    case SkinControlType::Panel:
        widget = new SkinPanel(parent, image);
        break;
    case SkinControlType::Label: {
        auto* label = new SkinLabel(parent, def.Attribute(QStringLiteral("format")));
        label->setAlignment(ParseAlignment(def.Attribute(QStringLiteral("align"))));
        label->setWordWrap(def.Flag(QStringLiteral("wrap")));
        widget = label;
        break;
    }
    case SkinControlType::Button: {
        auto* button = new SkinButton(parent);
        button->setText(text);
        button->onKeyActivate = [this, control] { Notify(WM_SKIN_CLICK, control); };
        widget = button;
        break;
    }
    case SkinControlType::Picture:
        widget = new SkinPicture(parent, image, IntOr(def.Attribute(QStringLiteral("radius")), 0));
        break;
    case SkinControlType::Edit: {
        auto* edit = new SkinEdit(parent, IntOr(def.Attribute(QStringLiteral("lineheight")), 100));
        edit->SetSkinText(text);
        widget = edit;
        break;
    }
    case SkinControlType::ScrollBar:
        widget = new SkinScrollBar(parent);
        widget->setProperty("skinTarget", def.Attribute(QStringLiteral("target")).trimmed());
        break;
    case SkinControlType::Combo: {
        auto* combo = new SkinCombo(parent);
        combo->SetShownText(text);
        combo->onUserChoice = [this, control] { Notify(WM_SKIN_SELCHANGE, control); };
        widget = combo;
        break;
    }
    case SkinControlType::Holder:
        widget = new SkinHolder(parent);
        break;
    case SkinControlType::Animation: {
        const bool pulse = def.Attribute(QStringLiteral("mode")) == QLatin1String("pulse");
        auto* animation = new SkinAnimation(
            parent, image, pulse ? SkinAnimation::Mode::Pulse : SkinAnimation::Mode::Spin,
            IntOr(def.Attribute(QStringLiteral("interval")), 80),
            IntOr(def.Attribute(QStringLiteral("steps")), 12));
        if (def.Flag(QStringLiteral("autoplay")))
            animation->Play(true);
        widget = animation;
        break;
    }
    }
    return widget;
}

void SkinForm::ApplyCommonAttributes(const SkinControlDef& def, QWidget* widget)
{
    widget->setObjectName(def.name);
    widget->setProperty("skinType", QString::fromLatin1(SkinControlTypeName(def.type)));
    widget->setGeometry(def.geometry);
    // A free word for the style sheet, so that several controls can share one look.
    const QString styleClass = def.Attribute(QStringLiteral("class")).trimmed();
    if (!styleClass.isEmpty())
        widget->setProperty("skinClass", styleClass);
    const QString text = def.Attribute(QStringLiteral("text"));
    const QString tip = def.Attribute(QStringLiteral("tooltip"));
    if (!tip.isEmpty())
        widget->setToolTip(tip);
    widget->setProperty("skinLabel", def.Attribute(QStringLiteral("label")));
    if (def.type == SkinControlType::Label)
        static_cast<SkinLabel*>(widget)->SetSkinText(text);
    else
        // A button without text is named by its tool tip, as a sighted user knows it.
        ApplySkinLabel(widget, text.isEmpty() ? tip : text);
    if (def.Attribute(QStringLiteral("visible")) == QLatin1String("0"))
        widget->hide();
}

void SkinForm::Build(const SkinControlDef& def, QWidget* parent, bool outermost,
                     const QString& layoutDir)
{
    auto control = std::make_unique<SkinControl>();
    control->name = def.name;
    control->type = def.type;
    control->outermost = outermost;
    control->dragsWindow = def.Flag(QStringLiteral("drag"));
    control->isDefault = def.Flag(QStringLiteral("default"));
    control->isCancel = def.Flag(QStringLiteral("cancel"));

    QWidget* widget = MakeWidget(def, parent, control.get(), layoutDir);
    ApplyCommonAttributes(def, widget);
    if (RaisesClicks(def.type) || control->dragsWindow)
        widget->installEventFilter(this);
    control->widget = widget;

    m_byWidget.insert(widget, control.get());
    g_liveControls.insert(control.get());
    controls.push_back(std::move(control));
    for (const auto& child : def.children)
        Build(child, widget, false, layoutDir);
}

SkinControl* SkinForm::Find(const QString& controlName, bool searchChildren) const
{
    for (const auto& control : controls) {
        if (control->name == controlName && (searchChildren || control->outermost))
            return control.get();
    }
    return nullptr;
}

void SkinForm::Notify(UINT message, SkinControl* control)
{
    // The checked calls: the window object may already be deleted.
    if (!host || !::IsWindow(window))
        return;
    ::SendMessage(window, message, reinterpret_cast<WPARAM>(control), 0);
}

bool SkinForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host) {
        if (event->type() == QEvent::Resize && root)
            LayoutRoot();
        if (event->type() == QEvent::Wheel && m_scrolls) {
            // Whole notches of 40 pixels; fractions of a notch add up.
            m_wheelAngle += static_cast<QWheelEvent*>(event)->angleDelta().y();
            const int notches = m_wheelAngle / QWheelEvent::DefaultDeltasPerStep;
            m_wheelAngle %= QWheelEvent::DefaultDeltasPerStep;
            return Scroll(-notches * 40);
        }
        // Keys reach the window only when the control that has the focus did not take them.
        if (event->type() == QEvent::KeyPress)
            return HandleKey(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
    SkinControl* control = m_byWidget.value(watched);
    if (!control)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return HandleMouse(control, static_cast<QMouseEvent*>(event));
    default:
        return false;
    }
}

void SkinForm::LayoutRoot()
{
    if (!root || !host)
        return;
    if (!m_scrolls) {
        root->setGeometry(host->rect());
        return;
    }
    const int height = std::max(host->height(), m_formHeight);
    m_scrollY = std::clamp(m_scrollY, 0, height - host->height());
    root->setGeometry(0, -m_scrollY, host->width(), height);
}

bool SkinForm::Scroll(int pixels)
{
    const int before = m_scrollY;
    m_scrollY += pixels;
    LayoutRoot();
    return m_scrollY != before;
}

bool SkinForm::HandleKey(int key)
{
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!enter && key != Qt::Key_Escape)
        return false;
    for (const auto& control : controls) {
        const bool wanted = enter ? control->isDefault : control->isCancel;
        if (wanted && control->type == SkinControlType::Button && control->widget &&
            control->widget->isVisibleTo(root) && control->widget->isEnabled()) {
            Notify(WM_SKIN_CLICK, control.get());
            return true;
        }
    }
    return false;
}

// Returns whether the event is consumed. A handler may destroy the window, and with it
// this form and the control, so nothing of either is touched after a notification unless
// both are known to be alive.
bool SkinForm::HandleMouse(SkinControl* control, QMouseEvent* event)
{
    QPointer<SkinForm> self(this);
    QPointer<QWidget> widget(control->widget);
    struct Depth
    {
        Depth() { ++g_mouseDepth; }
        ~Depth() { --g_mouseDepth; }
    } depth;
    // Buttons need their own events to draw the pressed state; other controls have no use
    // for left-button events, which would otherwise reach their parent controls too.
    const bool consume = control->type != SkinControlType::Button;
    const bool clicks = RaisesClicks(control->type);
    auto alive = [&] { return self && widget; };

    // Other buttons are left alone: the framework routes them to the window anyway, and
    // leaving them unconsumed lets them reach the window's widget the ordinary way too.
    if (event->type() != QEvent::MouseMove && event->button() != Qt::LeftButton)
        return false;

    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_skipClick = nullptr;
        if (control->dragsWindow && host) {
            m_dragging = true;
            m_dragOffset = event->globalPosition().toPoint() - host->pos();
        }
        if (clicks)
            Notify(WM_SKIN_PRESS, control);
        return alive() ? consume : true;
    case QEvent::MouseButtonDblClick:
        if (clicks) {
            m_skipClick = control;
            Notify(WM_SKIN_DBLCLK, control);
        }
        return alive() ? consume : true;
    case QEvent::MouseButtonRelease: {
        m_dragging = false;
        const bool skip = m_skipClick == control;
        m_skipClick = nullptr;
        if (clicks && !skip && widget->rect().contains(event->position().toPoint()))
            Notify(WM_SKIN_CLICK, control);
        return alive() ? consume : true;
    }
    case QEvent::MouseMove:
        if (m_dragging && host && (event->buttons() & Qt::LeftButton)) {
            host->move(event->globalPosition().toPoint() - m_dragOffset);
            return consume;
        }
        return false;
    default:
        return false;
    }
}
