// Tavro's program: wires the modules together and runs the application object.

#include "app/parent_dlg.h"
#include "app/tavro_app.h"
#include "app/termination.h"
#include "float/float_dlg.h"
#include "settings/set_dlg.h"
#include "settings/set_first_dlg.h"
#include "ui/messages.h"
#include "ui/qt_services.h"
#include "ui/wnd.h"
#include "update/update_worker.h"
#include "web/web_module_loader.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Taken before Qt sees them: Qt removes the arguments it knows, and the command line is
    // compared as the user gave it.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    QApplication qtApp(argc, argv);
    // The program lives on in its widget and tray icon when no window is shown.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtServices();

    InstanceLock lock(InstanceLock::DefaultPath());
    static CTavroV4App theApp;
    CTavroV4Dlg::RegisterWindowClass("SetFirst", [] { return new CTavroSetFirstDlg; });
    CTavroV4Dlg::RegisterWindowClass("Set", [] { return new CTavroSetDlg; });
    CTavroV4Dlg::RegisterWindowClass("Float", [] { return new CTavroFloatDlg; });
    // Asked to stop and joined on every way out (also exit() on an expired date), so a quit
    // during a download ends within about a second instead of waiting for the transfer.
    static UpdateWorkerThread updateWorker;
    HttpClient::GlobalInit();
    CTavroV4Dlg::SetUpdateWorkerStarter([](CTavroV4Dlg* parent) {
        HWND window = parent;
        updateWorker.Start(DefaultUpdateSettings(),
                           [window] { PostMessage(window, WM_UPDATE_READY, 1, 0); });
    });
    InstallTerminationHandler([] { theApp.RequestQuit(); });
    theApp.InitInstance(arguments, StartupHost::System(lock));
    updateWorker.Stop();
    const int code = theApp.ExitInstance();
    // Web views must go before the QApplication, or the engine reports a leaked profile.
    DestroyWebViews();
    // No event loop turns any more to free the widgets of destroyed windows.
    ReleaseDestroyedWindows();
    return code;
}
