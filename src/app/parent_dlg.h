#pragma once

// The parent window: never visible, it owns the program's top-level windows and the
// notification-area icon, and creates, shows, hides or destroys windows when the others
// ask it to with the custom messages.

#include "app/running_copy.h"
#include "app/tray_icon.h"
#include "track/track_book.h"
#include "ui/wnd.h"

#include <QIcon>

#include <functional>
#include <map>
#include <optional>
#include <string>

class CTavroAppData;
class CTavroMainDlgBase;
class CTavroV4Dlg;
class CTrackDlgBase;
class SkinEngine;

// What the program hands the parent window: the window classes of its factory, by key
// ("SetFirst", "Main", "Set", "Float"; a key left out makes no window), and how the update
// worker starts (once per run, when the network is up; nothing when empty).
struct ParentWindowParts
{
    std::map<std::string, std::function<CWnd*()>> windowClasses;
    std::function<void(CTavroV4Dlg*)> startUpdateWorker;
    // The skin the parent draws the windows it makes itself with (the two tools); asked
    // when one is made, since the skin is opened after the parts are handed over.
    std::function<SkinEngine*()> skin;
};

class CTavroV4Dlg : public CWnd
{
public:
    static const QString kTitle;

    CTavroV4Dlg(CTavroAppData& app, ParentWindowParts parts);
    ~CTavroV4Dlg() override;

    // Creates the window, initialises it and runs it modally until the tray's "退出", the
    // destruction of the window or the update handover; then destroys it.
    int DoModal();
    // The first half of DoModal: creates the window and runs its initialisation. False when
    // the window could not be created or the initialisation already ended it.
    bool CreateAndInitialise();

    // A new window object for the key, created hidden and owned by this window; null for a
    // key other than the four.
    CWnd* CreateChildWindow(const std::string& key);
    // Makes sure the member holds an object whose window exists.
    void EnsureWindow(CWnd*& member, const std::string& key);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CTavroMainDlgBase* m_pMainDlg = nullptr;
    CWnd* m_pFloatDlg = nullptr;
    CWnd* m_pSetDlg = nullptr;
    CWnd* m_pSetFirstDlg = nullptr;
    CTrackDlgBase* m_pKickDlg = nullptr;
    CTrackDlgBase* m_pContractionDlg = nullptr;
    QIcon m_hIcon;

private:
    void OnInitDialog();
    void OnCommand(UINT id);
    void OnShowMain();
    void OnSetupDone();
    void OnDueDateChanged();
    void OnViewMain(WPARAM pageMode);
    void OnUpdateReady();
    void OnShowSettings();
    // "数胎动" and "宫缩计时": made on first use, then shown or brought forward.
    void OnShowTool(CTrackDlgBase*& member, bool kicks);
    void OnDestroy() override;

    void HandOverToUpdater();
    // The main window and the widget, made where missing, the setup window gone and the
    // tray icon added. The main window is shown in the given state, or left as it is.
    void EnterNormalMode(std::optional<int> mainShowState);
    CTavroMainDlgBase* CreateMainWindow();
    void EnsureMainWindow();
    // Hiding and showing again makes the main window compose and load its page anew.
    void ReloadMainWindow();
    bool IsWidgetVisible() const;
    bool IsNetworkAlive() const;
    void OpenPage(const std::wstring& url) const;

    CTavroAppData& m_app;
    ParentWindowParts m_parts;
    // The records of both tools and the watch over a running movement session.
    TrackBook m_trackBook;
    TrayIcon m_tray;
    RunningCopyListener m_runningCopyListener;
    bool m_bEndedDuringInit = false;
    int m_nEndResult = 0;
};
