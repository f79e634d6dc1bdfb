#include "app/tavro_app.h"

#include "app/command_line.h"
#include "app/parent_dlg.h"
#include "app/running_copy.h"
#include "app/trace.h"
#include "host/host_utils.h"
#include "host/paths.h"
#include "host/services.h"
#include "host/text_codec.h"
#include "profile/calendar.h"
#include "profile/profile_file.h"
#include "remind/tip_database.h"
#include "skin/skin.h"
#include "update/install_journal.h"
#include "web/imp_idispatch.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <tinyxml.h>

namespace {

std::wstring ParentFolder(const std::wstring& path)
{
    const auto cut = path.find_last_of(L'/');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

[[noreturn]] void EndProcess()
{
    CurrentServices().processExit->Exit(0);
    // The real exit never returns; a replaced one that does must not let start-up go on.
    throw std::logic_error("process exit returned");
}

class LoggedBoxes final : public IMessageBox
{
public:
    void Show(const std::wstring& text, const std::wstring& caption, BoxIcon) override
    {
        qCWarning(lcApp).noquote()
            << "not shown while handing over:" << QString::fromStdWString(caption + L": " + text);
    }
};

constexpr const wchar_t* kSkinMissingText =
    L"Tavro 的界面文件缺失或无法读取，无法显示窗口。请重新安装 Tavro。\n\n";

} // namespace

StartupHost StartupHost::System(InstanceLock& lock)
{
    StartupHost host;
    host.postToRunningCopy = [](UINT message, WPARAM wParam, LPARAM lParam, int waitMs) {
        return PostToRunningCopy(CTavroV4Dlg::kTitle, message, wParam, lParam, waitMs);
    };
    host.isAnotherInstanceRunning = IsAnotherInstanceRunning;
    host.isUpdaterRunning = IsUpdaterRunning;
    host.acquireInstanceLock = [&lock] { return lock.TryAcquire(); };
    host.getProgramDir = GetProgramDir;
    host.getExecutableDir = [] { return ParentFolder(ReadExecutablePath()); };
    return host;
}

CTavroV4App::CTavroV4App() { SetTheApp(this); }

CTavroV4App::~CTavroV4App()
{
    if (&TheApp() == this)
        SetTheApp(nullptr);
}

void CTavroV4App::EndUnlessThisCopyRuns(const std::vector<std::string>& arguments,
                                        const StartupHost& host)
{
    // A running copy's parent window is told to show the main window, and this copy ends.
    if (host.postToRunningCopy(WM_SHOW_MAIN, 0, 0, 0)) {
        m_steps.push_back("handed to running copy");
        EndProcess();
    }
    // A first copy that has no parent window yet. Copies started at the same moment would
    // all count each other, so the per-user lock picks the one that goes on; the others
    // give the winner's window their request once it is there.
    const bool locked = host.acquireInstanceLock();
    if (!locked && host.isAnotherInstanceRunning()) {
        host.postToRunningCopy(WM_SHOW_MAIN, 0, 0, 10000);
        m_steps.push_back("another instance");
        EndProcess();
    }

    switch (ClassifyCommandLine(RawCommandLine(arguments))) {
    case StartSwitch::Empty:
        if (host.isUpdaterRunning()) {
            m_steps.push_back("updater running");
            EndProcess();
        }
        break;
    case StartSwitch::Start: {
        // The restarter's failure to start is not looked at: this copy ends either way.
        const std::wstring restarter = host.getProgramDir() + kRestarterTail;
        if (!WideToAnsi(restarter).empty())
            CurrentServices().shell->StartProgram(restarter);
        m_steps.push_back("restarter started");
        EndProcess();
    }
    case StartSwitch::Restart:
        restartMode = true;
        break;
    case StartSwitch::Other:
        break;
    }
    // For the updater, should this start hand over to it: it starts the program again in
    // the same mode.
    if (restartMode)
        qputenv(kHandOverSwitchVariable, "-restart");
    else
        qunsetenv(kHandOverSwitchVariable);
}

void CTavroV4App::RunParentWindow(const ParentWindowParts& parentParts)
{
    // The calendar follows the local date while the program runs (midnight, resumes).
    CalendarFollower follower;
    follower.Check(*this);
    QTimer dateTimer;
    QObject::connect(&dateTimer, &QTimer::timeout, [this, &follower] {
        if (follower.Check(*this))
            Trace("calendar follows the date");
    });
    dateTimer.start(kDateCheckMs);

    // A logout that came during start-up goes straight to shutdown.
    if (!m_bQuitRequested) {
        CTavroV4Dlg parent(*this, parentParts);
        m_pParentDlg = &parent;
        m_steps.push_back("parent running");
        parent.DoModal();
        m_pParentDlg = nullptr;
    }
}

bool CTavroV4App::InitInstance(const std::vector<std::string>& arguments, const StartupHost& host,
                               const ParentWindowParts& parentParts)
{
    // Windows' object and control initialisation has no counterpart here: Qt is
    // ready once the QApplication exists.
    EndUnlessThisCopyRuns(arguments, host);

    // The scripting object lives as long as the process; nothing ever frees it.
    static CImpIDispatch dispatch;
    m_pExternalDispatch = &dispatch;
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));

    // The skin package is named relative to the program's folder, whatever the current
    // folder is when the program is started.
    const std::wstring exeDir = host.getExecutableDir();
    const std::wstring base = exeDir.empty() ? std::wstring() : exeDir + L"/";
    m_pSkinEngine = OpenSkinW(base + kSkinLayout, base + kSkinFile, 0, 0, 0);
    m_steps.push_back("skin opened");

    programDir = host.getProgramDir();
    m_pTipDb = std::make_unique<CTipDatabase>(programDir);
    profileDoc = new TiXmlDocument;
    m_steps.push_back("profile loading");
    // A due date that has passed ends the program here, before any window exists.
    if (LoadProfile(*this) == DueDateState::Expired)
        EndExpired(dueTime);
    m_steps.push_back("profile loaded");
    // An update the updater dropped while the profile could not be written (a full disk)
    // leaves "needup" behind with nothing staged: handing over for it would loop.
    if (updatePending && !StagedUpdateFound(programDir)) {
        Trace("an update was pending, but nothing is staged");
        updatePending = false;
    }
    m_bHandingOver = updatePending || UnfinishedInstallFound(programDir);

    // Without its skin no window can be drawn (a blank window that cannot be closed): the
    // user is told what is missing in a plain box and the program ends.
    if (const std::wstring problems = SkinProblems(m_pSkinEngine); !problems.empty()) {
        CurrentServices().messageBox->Show(kSkinMissingText + problems, L"Tavro", BoxIcon::Error);
        m_steps.push_back("skin unusable");
        m_exitCode = 1;
        return false;
    }

    RunParentWindow(parentParts);
    m_steps.push_back("parent ended");
    return false;
}

int CTavroV4App::ExitInstance()
{
    Trace("shutdown");
    FreeSkin();
    m_pSkinEngine = nullptr;
    m_steps.push_back("skin freed");
    if (m_bHandingOver) {
        // The updater waits for this process to end: a box nobody answers would hold the
        // update back until the updater gives up. A failed save is logged instead.
        LoggedBoxes logged;
        Services services = CurrentServices();
        services.messageBox = &logged;
        const ScopedServices scoped(services);
        SaveProfile(*this);
    } else {
        SaveProfile(*this);
    }
    m_steps.push_back("profile saved");
    delete profileDoc;
    profileDoc = nullptr;
    m_pTipDb.reset();
    return m_exitCode;
}

void CTavroV4App::RequestQuit()
{
    m_bQuitRequested = true;
    CurrentServices().messageBox->CloseAll();
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // A menu and its open submenus; bounded in case one refuses to close.
        for (int i = 0; i < 8; ++i) {
            QWidget* popup = QApplication::activePopupWidget();
            if (!popup || !popup->close())
                break;
        }
    }
    if (m_pParentDlg && m_pParentDlg->IsWindow())
        m_pParentDlg->PostMessage(WM_COMMAND, TrayIcon::ID_TRAY_EXIT, 0);
}
