// Tavro's program: wires the modules together and runs the application object.

#include "app/parent_dlg.h"
#include "app/tavro_app.h"
#include "app/termination.h"
#include "float/float_dlg.h"
#include "settings/set_dlg.h"
#include "settings/set_first_dlg.h"
#include "ui/qt_services.h"
#include "ui/wnd.h"
#include "web/web_module_loader.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler g_qtHandler = nullptr;
bool g_openingDisplay = false;

// Without a display Qt ends the process with an abort and advice to reinstall, which is
// wrong and frightening; the user is told what is really missing instead.
void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg && g_openingDisplay) {
        std::fputs("Tavro 需要图形桌面才能运行：无法打开显示（DISPLAY 未设置或无法连接）。\n"
                   "Tavro needs a graphical desktop: no display could be opened "
                   "(DISPLAY is not set or cannot be reached).\n",
                   stderr);
        std::_Exit(2);
    }
    g_qtHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv)
{
    // Taken before Qt sees them: Qt removes the arguments it knows, and the command line is
    // compared as the user gave it.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    g_qtHandler = qInstallMessageHandler(OnQtMessage);
    g_openingDisplay = true;
    QApplication qtApp(argc, argv);
    g_openingDisplay = false;
    // The program lives on in its widget and tray icon when no window is shown.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtServices();

    InstanceLock lock(InstanceLock::DefaultPath());
    static CTavroV4App theApp;
    CTavroV4Dlg::RegisterWindowClass("SetFirst", [] { return new CTavroSetFirstDlg; });
    CTavroV4Dlg::RegisterWindowClass("Set", [] { return new CTavroSetDlg; });
    CTavroV4Dlg::RegisterWindowClass("Float", [] { return new CTavroFloatDlg; });
    InstallTerminationHandler([] { theApp.RequestQuit(); });
    theApp.InitInstance(arguments, StartupHost::System(lock));
    const int code = theApp.ExitInstance();
    // Web views must go before the QApplication, or the engine reports a leaked profile.
    DestroyWebViews();
    // No event loop turns any more to free the widgets of destroyed windows.
    ReleaseDestroyedWindows();
    return code;
}
