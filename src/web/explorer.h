#pragma once

// The browser control as the main window holds it: a wrapper that creates a view of the
// web module inside a parent widget and drives it. The web module is loaded on the first
// Create, so a program that never shows a page never loads the engine.

#include "web/com_types.h"
#include "web/web_module.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class CExplorer1
{
public:
    CExplorer1() = default;
    ~CExplorer1();
    CExplorer1(const CExplorer1&) = delete;
    CExplorer1& operator=(const CExplorer1&) = delete;

    // Creates a visible browser view named `windowName` as a child of `parent` at `rect`;
    // `external` is what pages reach as window.external (null: nothing of ours). A view
    // left from an earlier Create is destroyed first. False when the web module cannot be
    // loaded or the view not made.
    bool Create(const QString& windowName, const QRect& rect, QWidget* parent, int id,
                IDispatch* external);
    void DestroyWindow();
    // Whether the view exists; it also goes away with its parent widget.
    bool IsWindow() const;
    QWidget* GetWidget() const;
    int GetDlgCtrlID() const { return m_nId; }

    // Without a view these do nothing, and the ready state is READYSTATE_UNINITIALIZED.
    void Navigate(const QString& url);
    void SetSilent(bool silent);
    int GetReadyState() const;
    // Kept across Create, so it may be set before the view exists.
    void SetOnLoadFinished(std::function<void(bool ok)> callback);

private:
    IBrowserView* View() const;

    // The view lives as long as its widget, which its parent may delete at any time.
    QPointer<QWidget> m_pWidget;
    IBrowserView* m_pView = nullptr;
    int m_nId = 0;
    std::function<void(bool ok)> m_onLoadFinished;
};
