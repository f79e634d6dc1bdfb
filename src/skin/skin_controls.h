#pragma once

// The widgets behind the skin's controls. Each one is styled by the skin's style sheet
// through its object name (the control's name) and its "skinType" property, and draws
// its layout-file image (SVG stays vector, so it is sharp at any scale).

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QSvgRenderer;
class QTimer;

// An image given by path: SVG is rendered at paint time, other formats are loaded once.
class SkinArt
{
public:
    SkinArt() = default;
    explicit SkinArt(const QString& path);
    ~SkinArt();
    SkinArt(SkinArt&&) noexcept;
    SkinArt& operator=(SkinArt&&) noexcept;

    bool IsNull() const;
    // Draws the image stretched into `target`.
    void Paint(QPainter& painter, const QRectF& target) const;

private:
    std::unique_ptr<QSvgRenderer> m_svg;
    QImage m_image;
};

// A plain area: the form's background, cards, title bars, decorations.
class SkinPanel : public QWidget
{
public:
    explicit SkinPanel(QWidget* parent, const QString& imagePath = {});

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SkinArt m_art;
};

class SkinLabel : public QLabel
{
public:
    // `format` holds "%1" where the set text goes; it may be rich text, and the set text
    // is then escaped so that it is always shown literally.
    SkinLabel(QWidget* parent, const QString& format);
    void SetSkinText(const QString& text);
    QString SkinText() const { return m_text; }

private:
    QString m_format;
    QString m_text;
};

// Reached with Tab; Enter, Return and Space on it call `onKeyActivate`, which the form
// turns into the click a mouse would give.
class SkinButton : public QPushButton
{
public:
    explicit SkinButton(QWidget* parent);

    std::function<void()> onKeyActivate;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

// A picture frame; the image set by the program is a private copy, drawn to cover the
// frame with rounded corners.
class SkinPicture : public QWidget
{
public:
    SkinPicture(QWidget* parent, const QString& placeholderPath, int radius);
    void SetImage(const QImage& image);
    const QImage& Image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SkinArt m_placeholder;
    QImage m_image;
    int m_radius;
};

// Read-only multi-line text; its own scroll bar stays hidden because the skin places a
// separate scroll bar control beside it.
class SkinEdit : public QTextEdit
{
public:
    SkinEdit(QWidget* parent, int lineHeightPercent);
    void SetSkinText(const QString& text);

private:
    int m_lineHeight;
};

// A scroll bar tied to a text box of the same form: both always show the same position.
// It hides itself while there is nothing to scroll, unless the program hid it.
class SkinScrollBar : public QScrollBar
{
public:
    explicit SkinScrollBar(QWidget* parent);
    void Attach(SkinEdit* edit);
    void SetWanted(bool shown);

private:
    void Sync();

    QPointer<SkinEdit> m_edit;
    bool m_wanted = true;
};

// A drop-down list whose shown text is independent of its items, so the program may show
// a value that the list does not offer. A choice by the user calls `onUserChoice`.
//
// Closed, it answers the wheel (one row a notch) and the arrow and page keys by moving
// from the shown value, never from a row the list last had current; while the list does
// not offer the shown value they do nothing. Home, End and typed text pick from the list.
class SkinCombo : public QComboBox
{
public:
    explicit SkinCombo(QWidget* parent);
    void SetShownText(const QString& text);
    QString ShownText() const { return m_shownText; }
    void showPopup() override;

    std::function<void()> onUserChoice;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Makes the row of the shown value current (none when the list lacks it); returns it.
    int SyncCurrentToShown();
    // Moves `rows` rows from the shown value, stopping at the ends, as a choice by the user.
    void StepFromShown(int rows);

    QString m_shownText;
    int m_wheelAngle = 0; // wheel turn not yet worth a row (120 is one notch)
};

// A place where another window is embedded; bound windows follow its size.
class SkinHolder : public QWidget
{
public:
    explicit SkinHolder(QWidget* parent);
    bool Bind(QWidget* child);
    bool ShowBound(QWidget* child);
    bool IsBound(QWidget* child) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QPointer<QWidget>> m_bound;
};

// An image that spins in steps or beats, driven by a timer while it plays.
class SkinAnimation : public QWidget
{
public:
    enum class Mode
    {
        Spin,
        Pulse
    };
    SkinAnimation(QWidget* parent, const QString& imagePath, Mode mode, int intervalMs, int steps);
    void Play(bool play);
    bool IsPlaying() const;
    int Frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SkinArt m_art;
    Mode m_mode;
    int m_steps;
    int m_frame = 0;
    QTimer* m_timer;
};
