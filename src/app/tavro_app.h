#pragma once

// The application object: start-up decides whether this process may run at all, prepares
// what the windows share and runs the parent window; shutdown writes the profile back.

#include "app/instance_lock.h"
#include "profile/app_data.h"
#include "ui/messages.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CImpIDispatch;
class CTavroV4Dlg;
class CTipDatabase;
class SkinEngine;
struct ParentWindowParts;

// What start-up asks of the machine, replaceable so that tests decide the answers.
struct StartupHost
{
    // Hands (message, wParam, lParam) to a running copy's parent window, waiting up to
    // waitMs for it; false when there is none.
    std::function<bool(UINT, WPARAM, LPARAM, int waitMs)> postToRunningCopy;
    std::function<bool()> isAnotherInstanceRunning;
    std::function<bool()> isUpdaterRunning;
    // Takes the per-user instance lock; false when another copy holds it.
    std::function<bool()> acquireInstanceLock;
    std::function<std::wstring()> getProgramDir;
    // The folder of the executable, against which the skin package is found.
    std::function<std::wstring()> getExecutableDir;

    // The real machine.
    static StartupHost System(InstanceLock& lock);
};

class CTavroV4App : public CTavroAppData
{
public:
    static constexpr const wchar_t* kSkinLayout = L"../Skin/RizIrozara.dui";
    static constexpr const wchar_t* kSkinFile = L"../Skin/Default.skn";

    CTavroV4App();
    ~CTavroV4App();
    CTavroV4App(const CTavroV4App&) = delete;
    CTavroV4App& operator=(const CTavroV4App&) = delete;

    // Start-up: checks, services, profile, then the parent window's modal run with the
    // parts the program hands it. Always
    // answers false (no message loop of its own). The refusals end the process through
    // CurrentServices().processExit with code 0.
    bool InitInstance(const std::vector<std::string>& arguments, const StartupHost& host,
                      const ParentWindowParts& parentParts);
    // Shutdown: releases the skin, writes the profile, frees the document and the database.
    // 0, or 1 when start-up could not show any window (the skin package is unusable).
    int ExitInstance();

    // Ends the parent window's run as the tray's "退出" does (a logout's SIGTERM). Open
    // message boxes and menus are closed first: their nested loops would hold shutdown up.
    void RequestQuit();

    // How often the local date is looked at, to follow midnight and resumes.
    static constexpr int kDateCheckMs = 30000;

    // The parts start-up makes for the windows; null before start-up and after shutdown.
    SkinEngine* Skin() const { return m_pSkinEngine; }
    CImpIDispatch* ExternalDispatch() const { return m_pExternalDispatch; }
    CTipDatabase* Tips() const { return m_pTipDb.get(); }

    // Where the steps that matter have got to, for the order tests.
    std::vector<std::string> m_steps;

private:
    // The refusals: a running copy, another instance, a running updater and the start
    // switch end this process (through CurrentServices().processExit) before anything is
    // prepared; "-restart" sets restartMode.
    void EndUnlessThisCopyRuns(const std::vector<std::string>& arguments, const StartupHost& host);
    // Runs the parent window modally while the calendar follows the local date; a quit
    // asked for during start-up skips the run.
    void RunParentWindow(const ParentWindowParts& parentParts);

    SkinEngine* m_pSkinEngine = nullptr;
    CImpIDispatch* m_pExternalDispatch = nullptr;
    std::unique_ptr<CTipDatabase> m_pTipDb;
    CTavroV4Dlg* m_pParentDlg = nullptr;
    bool m_bQuitRequested = false;
    // The parent window hands over to the updater at once (an update is pending, or an
    // install was cut short).
    bool m_bHandingOver = false;
    int m_exitCode = 0;
};
