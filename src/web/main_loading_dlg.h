#pragma once

// The loading window: a small skinned popup with an animation that covers the wait while
// the main window's page loads. The main window creates it on its first show, shows it at
// every navigation and hides it when the page is complete.

#include "ui/wnd.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <string>

class SkinEngine;
class SkinForm;
class SkinControl;

// Where a window of `own` size goes to sit in the middle of `owner`: the centres of both
// halved with integer division that truncates toward zero, edge sums first.
QPoint LoadingPosition(const QRect& owner, QSize own);

class CTavroMainLoadingDlg : public CWnd
{
public:
    // Drawn with `skin`, which outlives the window.
    explicit CTavroMainLoadingDlg(SkinEngine* skin) : m_skin(skin) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The skin objects; they belong to the skin library.
    SkinForm* m_pForm = nullptr;
    SkinControl* m_pAnimation = nullptr;

protected:
    int OnCreate() override;

private:
    void CenterOverOwner();

    SkinEngine* m_skin;
};

// The main window's factory: "Loading" makes a loading window created hidden and owned by
// `owner` and drawn with `skin`; any other key, or an owner without a window, makes none.
// The caller owns it.
CTavroMainLoadingDlg* CreateLoadingWindow(const std::string& key, CWnd* owner, SkinEngine* skin);
