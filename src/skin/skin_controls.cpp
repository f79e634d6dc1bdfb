#include "skin/skin_controls.h"

#include "skin/skin_accessible.h"
#include "skin/skin_style.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QSvgRenderer>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Widgets without their own painting draw the style sheet's background and border only
// when they paint PE_Widget themselves.
void PaintStyledBackground(QWidget* widget, QPainter& painter)
{
    QStyleOption option;
    option.initFrom(widget);
    widget->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, widget);
}

} // namespace

SkinArt::SkinArt(const QString& path)
{
    if (!IsRegularSkinFile(path))
        return;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        auto svg = std::make_unique<QSvgRenderer>(path);
        if (svg->isValid())
            m_svg = std::move(svg);
        return;
    }
    QImageReader reader(path);
    m_image = reader.read();
}

SkinArt::~SkinArt() = default;
SkinArt::SkinArt(SkinArt&&) noexcept = default;
SkinArt& SkinArt::operator=(SkinArt&&) noexcept = default;

bool SkinArt::IsNull() const { return !m_svg && m_image.isNull(); }

void SkinArt::Paint(QPainter& painter, const QRectF& target) const
{
    if (m_svg)
        m_svg->render(&painter, target);
    else if (!m_image.isNull())
        painter.drawImage(target, m_image);
}

SkinPanel::SkinPanel(QWidget* parent, const QString& imagePath) : QWidget(parent), m_art(imagePath)
{
    setAttribute(Qt::WA_StyledBackground);
}

void SkinPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintStyledBackground(this, painter);
    if (!m_art.IsNull()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_art.Paint(painter, rect());
    }
}

SkinLabel::SkinLabel(QWidget* parent, const QString& format) : QLabel(parent), m_format(format)
{
    setTextInteractionFlags(Qt::NoTextInteraction);
}

void SkinLabel::SetSkinText(const QString& text)
{
    m_text = text;
    if (m_format.isEmpty()) {
        setTextFormat(Qt::PlainText);
        setText(text);
        ApplySkinLabel(this, text);
        return;
    }
    const bool rich = Qt::mightBeRichText(m_format);
    setTextFormat(rich ? Qt::RichText : Qt::PlainText);
    QString shown = m_format;
    shown.replace(QLatin1String("%1"), rich ? text.toHtmlEscaped() : text);
    setText(shown);
    // Read out as the user sees it, without the markup.
    ApplySkinLabel(this, rich ? QTextDocumentFragment::fromHtml(shown).toPlainText() : shown);
}

SkinButton::SkinButton(QWidget* parent) : QPushButton(parent)
{
    // Tab reaches it, a click leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setAutoDefault(false);
}

namespace {

bool IsActivationKey(const QKeyEvent* event)
{
    const int key = event->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

} // namespace

void SkinButton::keyPressEvent(QKeyEvent* event)
{
    if (!IsActivationKey(event)) {
        QPushButton::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat())
        setDown(true);
}

void SkinButton::keyReleaseEvent(QKeyEvent* event)
{
    if (!IsActivationKey(event)) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || !isDown())
        return;
    setDown(false);
    // Last: the handler may close or destroy the window.
    if (onKeyActivate)
        onKeyActivate();
}

SkinPicture::SkinPicture(QWidget* parent, const QString& placeholderPath, int radius)
    : QWidget(parent), m_placeholder(placeholderPath), m_radius(radius)
{
    setAttribute(Qt::WA_StyledBackground);
}

void SkinPicture::SetImage(const QImage& image)
{
    // A deep copy: the caller's image may share memory that it frees right after.
    m_image = image.isNull() ? QImage() : image.copy();
    update();
}

void SkinPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintStyledBackground(this, painter);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF frame = rect();
    if (m_radius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(frame, m_radius, m_radius);
        painter.setClipPath(clip);
    }
    if (m_image.isNull()) {
        m_placeholder.Paint(painter, frame);
        return;
    }
    // Cover the frame, keeping the aspect ratio and cutting the overhang evenly.
    const QSizeF source = m_image.size();
    const qreal scale = std::max(frame.width() / source.width(), frame.height() / source.height());
    const QSizeF visible(frame.width() / scale, frame.height() / scale);
    const QRectF cut(
        QPointF((source.width() - visible.width()) / 2, (source.height() - visible.height()) / 2),
        visible);
    painter.drawImage(frame, m_image, cut);
}

SkinEdit::SkinEdit(QWidget* parent, int lineHeightPercent)
    : QTextEdit(parent), m_lineHeight(lineHeightPercent)
{
    setAcceptRichText(false);
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setCursor(Qt::ArrowCursor);
}

void SkinEdit::SetSkinText(const QString& text)
{
    setPlainText(text);
    // Its content is its name (skin_accessible.cpp).
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
    if (m_lineHeight <= 100)
        return;
    // Chinese text reads better with air between the lines.
    QTextBlockFormat format;
    format.setLineHeight(m_lineHeight, QTextBlockFormat::ProportionalHeight);
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.mergeBlockFormat(format);
}

SkinScrollBar::SkinScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent)
{
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QScrollBar::valueChanged, this, [this](int value) {
        if (m_edit)
            m_edit->verticalScrollBar()->setValue(value);
    });
}

void SkinScrollBar::Attach(SkinEdit* edit)
{
    m_edit = edit;
    QScrollBar* inner = edit->verticalScrollBar();
    connect(inner, &QScrollBar::rangeChanged, this, [this] { Sync(); });
    connect(inner, &QScrollBar::valueChanged, this, [this] { Sync(); });
    Sync();
}

void SkinScrollBar::SetWanted(bool shown)
{
    m_wanted = shown;
    Sync();
}

void SkinScrollBar::Sync()
{
    if (!m_edit) {
        setVisible(m_wanted);
        return;
    }
    const QScrollBar* inner = m_edit->verticalScrollBar();
    setRange(inner->minimum(), inner->maximum());
    setPageStep(inner->pageStep());
    setSingleStep(inner->singleStep());
    setValue(inner->value());
    setVisible(m_wanted && inner->maximum() > inner->minimum());
}

SkinCombo::SkinCombo(QWidget* parent) : QComboBox(parent)
{
    // Reached with Tab and by a click, and the first one has the focus when its window is
    // activated, so a date can be picked from the keyboard alone.
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setMaxVisibleItems(8);
    // The default list delegate ignores the style sheet's item rules.
    setItemDelegate(new QStyledItemDelegate(this));
    connect(this, &QComboBox::activated, this, [this](int index) {
        SetShownText(itemText(index));
        if (onUserChoice)
            onUserChoice();
    });
}

void SkinCombo::SetShownText(const QString& text)
{
    if (text == m_shownText)
        return;
    m_shownText = text;
    update();
    QAccessibleValueChangeEvent event(this, m_shownText);
    QAccessible::updateAccessibility(&event);
}

void SkinCombo::showPopup()
{
    // Open the list at the shown value when the list offers it.
    const int index = findText(m_shownText, Qt::MatchExactly);
    if (index >= 0)
        setCurrentIndex(index);
    QComboBox::showPopup();
}

int SkinCombo::SyncCurrentToShown()
{
    const int index = findText(m_shownText, Qt::MatchExactly);
    if (index != currentIndex())
        setCurrentIndex(index);
    return index;
}

void SkinCombo::StepFromShown(int rows)
{
    const int from = SyncCurrentToShown();
    if (from < 0 || rows == 0 || count() == 0)
        return;
    const int to = std::clamp(from + rows, 0, count() - 1);
    if (to == from)
        return;
    setCurrentIndex(to);
    // The same path as a pick from the open list.
    emit activated(to);
}

void SkinCombo::wheelEvent(QWheelEvent* event)
{
    event->accept();
    // A high-resolution wheel sends fractions of a notch; a row moves per whole notch.
    m_wheelAngle += event->angleDelta().y();
    const int notches = m_wheelAngle / QWheelEvent::DefaultDeltasPerStep;
    m_wheelAngle %= QWheelEvent::DefaultDeltasPerStep;
    // Turning the wheel away from the user (a positive angle) goes up the list.
    StepFromShown(-notches);
}

void SkinCombo::keyPressEvent(QKeyEvent* event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    int rows = 0;
    switch (event->key()) {
    case Qt::Key_Up:
        rows = alt ? 0 : -1;
        break;
    case Qt::Key_Down:
        rows = alt ? 0 : 1;
        break;
    case Qt::Key_PageUp:
        rows = -std::max(maxVisibleItems(), 1);
        break;
    case Qt::Key_PageDown:
        rows = std::max(maxVisibleItems(), 1);
        break;
    default:
        break;
    }
    if (rows != 0) {
        event->accept();
        StepFromShown(rows);
        return;
    }
    // Home, End, typed text and the keys that open the list: the combo's own handling, from
    // a current row that matches what is shown.
    SyncCurrentToShown();
    QComboBox::keyPressEvent(event);
}

void SkinCombo::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = m_shownText;
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

SkinHolder::SkinHolder(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_StyledBackground); }

bool SkinHolder::Bind(QWidget* child)
{
    if (!child || child == this || child->isAncestorOf(this))
        return false;
    if (!IsBound(child)) {
        const bool wasShown = child->isVisible();
        child->setParent(this);
        child->setVisible(wasShown);
        m_bound.emplace_back(child);
    }
    child->setGeometry(rect());
    return true;
}

bool SkinHolder::ShowBound(QWidget* child)
{
    if (!IsBound(child))
        return false;
    child->setGeometry(rect());
    child->show();
    child->raise();
    return true;
}

bool SkinHolder::IsBound(QWidget* child) const
{
    if (!child || child->parentWidget() != this)
        return false;
    for (const auto& bound : m_bound) {
        if (bound == child)
            return true;
    }
    return false;
}

void SkinHolder::resizeEvent(QResizeEvent*)
{
    std::erase_if(m_bound, [](const QPointer<QWidget>& w) { return w.isNull(); });
    for (const auto& bound : m_bound) {
        if (bound->parentWidget() == this)
            bound->setGeometry(rect());
    }
}

void SkinHolder::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintStyledBackground(this, painter);
}

SkinAnimation::SkinAnimation(QWidget* parent, const QString& imagePath, Mode mode, int intervalMs,
                             int steps)
    : QWidget(parent), m_art(imagePath), m_mode(mode), m_steps(std::max(steps, 2)),
      m_timer(new QTimer(this))
{
    setAttribute(Qt::WA_StyledBackground);
    m_timer->setInterval(std::max(intervalMs, 10));
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % m_steps;
        update();
    });
}

void SkinAnimation::Play(bool play)
{
    if (play)
        m_timer->start();
    else
        m_timer->stop();
}

bool SkinAnimation::IsPlaying() const { return m_timer->isActive(); }

void SkinAnimation::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintStyledBackground(this, painter);
    if (m_art.IsNull())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF box = rect();
    const qreal phase = static_cast<qreal>(m_frame) / m_steps;
    painter.translate(box.center());
    if (m_mode == Mode::Spin) {
        painter.rotate(360.0 * phase);
    } else {
        const qreal scale = 0.88 + 0.12 * std::sin(2 * std::numbers::pi * phase);
        painter.scale(scale, scale);
    }
    painter.translate(-box.center());
    m_art.Paint(painter, box);
}
