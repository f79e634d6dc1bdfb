// Tavro's program: wires the modules together and runs the application object.

#include "app/tavro_app.h"
#include "app/termination.h"
#include "ui/qt_services.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    // The program lives on in its widget and tray icon when no window is shown.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtServices();

    std::vector<std::string> arguments(argv + 1, argv + argc);
    InstanceLock lock(InstanceLock::DefaultPath());
    static CTavroV4App theApp;
    InstallTerminationHandler([] { theApp.RequestQuit(); });
    theApp.InitInstance(arguments, StartupHost::System(lock));
    return theApp.ExitInstance();
}
