#pragma once

// The parent window: never visible, it owns the program's top-level windows and the
// notification-area icon, and creates, shows, hides or destroys windows when the others
// ask it to with the custom messages.

#include "app/running_copy.h"
#include "ui/wnd.h"

#include <QIcon>

#include <functional>
#include <string>

class CTavroAppData;
class CTavroMainDlgBase;

class CTavroV4Dlg : public CWnd
{
public:
    static constexpr UINT TRAY_ICON_ID = 1074;
    static constexpr UINT ID_TRAY_ABOUT = 1124;
    static constexpr UINT ID_TRAY_FEEDBACK = 1125;
    static constexpr UINT ID_TRAY_EXIT = 1126;
    static constexpr UINT ID_TRAY_SHOW_FLOAT = 1127;
    static constexpr UINT ID_TRAY_HIDE_FLOAT = 1128;
    static constexpr UINT ID_TRAY_CHANGE_DUE = 1129;
    static const QString kTitle;
    static const QString kTrayTip;

    // The windows the factory can make, by key ("SetFirst", "Main", "Set", "Float"). The
    // program registers its window classes at start; a key nobody registered makes none.
    using WindowMaker = std::function<CWnd*()>;
    static void RegisterWindowClass(const std::string& key, WindowMaker make);
    static void ClearWindowClasses();

    // Started once per run with the parent window when the network is up.
    using UpdateWorkerStarter = std::function<void(CTavroV4Dlg*)>;
    static void SetUpdateWorkerStarter(UpdateWorkerStarter start);

    explicit CTavroV4Dlg(CTavroAppData& app);
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
    void EnsureMainWindow();

    void AddTrayIcon();
    void RemoveTrayIcon();
    // The tray menu as it would be built now: (id, text) in menu order.
    std::vector<std::pair<UINT, QString>> TrayMenuItems() const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CTavroMainDlgBase* m_pMainDlg = nullptr;
    CWnd* m_pFloatDlg = nullptr;
    CWnd* m_pSetDlg = nullptr;
    CWnd* m_pSetFirstDlg = nullptr;
    QIcon m_hIcon;

private:
    void OnInitDialog();
    void OnTrayIcon(WPARAM id, LPARAM mouseMessage);
    void OnCommand(UINT id);
    void OnShowMain();
    void OnSetupDone();
    void OnDueDateChanged();
    void OnViewMain(WPARAM pageMode);
    void OnUpdateReady();
    void OnShowSettings();
    void OnDestroy() override;
    bool IsNetworkAlive() const;
    void OpenPage(const std::wstring& url) const;

    CTavroAppData& m_app;
    RunningCopyListener m_runningCopyListener;
    bool m_bEndedDuringInit = false;
    int m_nEndResult = 0;
};

// Shows a window the way the handlers do it: restore and show, then raise it.
void ShowAndRaise(CWnd* wnd);
