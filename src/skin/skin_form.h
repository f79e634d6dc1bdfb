#pragma once

// Inside of the skin library: the objects the operations in skin.h hand out. A form builds
// its controls from the layout inside a window and turns mouse input on them into the
// window's notifications; the engine holds the forms of one layout and skin file.

#include "skin/skin.h"
#include "skin/skin_layout.h"

#include <QHash>
#include <QLoggingCategory>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QMouseEvent;
class QWidget;
class SkinPanel;

// Missing files, forms and controls: warnings of the tavro.skin category, "skin: ..." lines.
Q_DECLARE_LOGGING_CATEGORY(lcSkin)
void ReportSkinProblem(const QString& message);

class SkinControl
{
public:
    QString name;
    SkinControlType type = SkinControlType::Panel;
    bool outermost = false;   // a direct child of the form
    bool dragsWindow = false; // pressing and moving it moves the window
    bool isDefault = false;   // a button that Enter in its form clicks
    bool isCancel = false;    // a button that Escape in its form clicks
    QPointer<QWidget> widget;

    template <class T> T* As(SkinControlType wanted) const
    {
        return type == wanted && widget ? static_cast<T*>(widget.data()) : nullptr;
    }
};

class SkinForm : public QObject
{
public:
    SkinForm(SkinEngine* engine, const SkinFormDef& def, CWnd* window);
    ~SkinForm() override;

    SkinControl* Find(const QString& name, bool searchChildren) const;
    void Notify(UINT message, SkinControl* control);

    SkinEngine* engine;
    QString name;
    HWND window;
    QPointer<QWidget> host;
    QPointer<SkinPanel> root;
    std::vector<std::unique_ptr<SkinControl>> controls;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build(const SkinControlDef& def, QWidget* parent, bool outermost,
               const QString& layoutDir);
    // The widget of the control's kind, with the attributes only that kind takes.
    QWidget* MakeWidget(const SkinControlDef& def, QWidget* parent, SkinControl* control,
                        const QString& layoutDir);
    // The attributes every control takes: name, kind, place, style class, tip, visibility.
    void ApplyCommonAttributes(const SkinControlDef& def, QWidget* widget);
    bool HandleMouse(SkinControl* control, QMouseEvent* event);
    // Enter and Escape that no control took: the form's default or cancel button.
    bool HandleKey(int key);
    // The form follows its window's size; a form marked overflow="scroll" keeps its own
    // height in a shorter window and the wheel moves it.
    void LayoutRoot();
    bool Scroll(int pixels);

    QHash<const QObject*, SkinControl*> m_byWidget;
    QPoint m_dragOffset;
    bool m_dragging = false;
    bool m_scrolls = false;
    int m_formHeight = 0;
    int m_scrollY = 0;
    int m_wheelAngle = 0;
    SkinControl* m_skipClick = nullptr; // the release after a double click is no click
};

class SkinEngine
{
public:
    SkinLayout layout;
    QString layoutDir;
    QString styleSheet;
    QStringList problems;
    std::vector<std::unique_ptr<SkinForm>> forms;
    QSet<QString> reported;

    void ReportOnce(const QString& key, const QString& message);
    void ReleaseForm(SkinForm* form);
};

// Liveness: every operation checks that its object still exists, so stale pointers kept by
// a window after its form went away are harmless.
bool IsLiveForm(const SkinForm* form);
bool IsLiveControl(const SkinControl* control);
