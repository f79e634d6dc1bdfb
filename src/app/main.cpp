// Tavro's program: wires the modules together and runs the application object.

#include "app/parent_dlg.h"
#include "app/tavro_app.h"
#include "app/termination.h"
#include "app/trace.h"
#include "float/float_dlg.h"
#include "settings/set_dlg.h"
#include "settings/set_first_dlg.h"
#include "ui/messages.h"
#include "ui/qt_services.h"
#include "ui/session_platform.h"
#include "ui/wnd.h"
#include "update/update_worker_thread.h"
#include "web/main_dlg.h"
#include "web/web_module_loader.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QTimer>

#include <thread>

namespace {

// Qt's accessibility bridge connects to the session bus, and from there to the
// accessibility bus, the first time a window shows, and waits for both connections: on a
// desktop that is a good part of the widget's first appearance. Making the same two
// connections here, on a thread of their own while start-up goes on, leaves the bridge
// ready connections to pick up. Accessibility works as before; a later start of the
// accessibility bus is still seen by the bridge. Nothing is started that is not running.
void ConnectAccessibilityBuses()
{
    const QDBusConnection session = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.a11y.Bus");
    if (!session.isConnected() || !session.interface()->isServiceRegistered(service))
        return;
    const QDBusReply<QString> address = session.call(QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/a11y/bus"), service, QStringLiteral("GetAddress")));
    // The bridge opens its connection under this name and reuses one that exists.
    if (address.isValid() && !address.value().isEmpty())
        QDBusConnection::connectToBus(address.value(), QStringLiteral("a11y"));
}

} // namespace

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
    // The tavro.* diagnostics: stderr as always, and the trace file TAVRO_TRACE names.
    const TraceHandler trace(TracePathFromEnvironment());
    g_qtHandler = qInstallMessageHandler(OnQtMessage);
    ChooseQtPlatform();
    g_openingDisplay = true;
    QApplication qtApp(argc, argv);
    g_openingDisplay = false;
    // Ways out of start-up end the process at once, so the thread never outlives Qt.
    std::thread accessibilityBuses(ConnectAccessibilityBuses);
    // The program lives on in its widget and tray icon when no window is shown.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtServices();

    InstanceLock lock(InstanceLock::DefaultPath());
    static CTavroV4App theApp;
    // Asked to stop and joined on every way out (also exit() on an expired date), so a quit
    // during a download ends within about a second instead of waiting for the transfer.
    static UpdateWorkerThread updateWorker;
    // When the display goes away Qt ends the process with exit() from inside its event loop:
    // destroying the windows then, with the display gone, crashes. Such an exit ends the
    // process at once (registered after the objects above, this runs before their
    // destructors); the page process and the update worker go with it.
    std::atexit([] {
        if (DisplayConnectionLost())
            std::_Exit(1);
    });
    ParentWindowParts parentParts;
    parentParts.windowClasses = {
        {"SetFirst", [] { return new CTavroSetFirstDlg(theApp.Skin(), theApp); }},
        {"Main",
         [] { return new CTavroMainDlg(theApp, theApp.Skin(), theApp.ExternalDispatch()); }},
        {"Set", [] { return new CTavroSetDlg(theApp.Skin(), theApp); }},
        {"Float", [] { return new CTavroFloatDlg(theApp.Skin(), *theApp.Tips()); }},
    };
    parentParts.skin = [] { return theApp.Skin(); };
    parentParts.startUpdateWorker = [](CTavroV4Dlg* parent) {
        const HWND window = parent->GetSafeHwnd();
        // Started by the event loop's first turn, just after the widget is up: it shares
        // nothing with start-up, and setting up the HTTP library and the worker's own first
        // work then no longer hold the widget back.
        QTimer::singleShot(0, parent->GetWidget(), [window] {
            // Not once the parent has ended: its widget may outlive it for a moment.
            if (IsWindow(window))
                updateWorker.Start(
                    ModuleUpdateCheck(QCoreApplication::applicationDirPath().toStdString()),
                    [window] { PostMessage(window, WM_UPDATE_READY, 1, 0); });
        });
    };
    InstallTerminationHandler([] { theApp.RequestQuit(); });
    theApp.InitInstance(arguments, StartupHost::System(lock), parentParts);
    updateWorker.Stop();
    const int code = theApp.ExitInstance();
    accessibilityBuses.join();
    // Web views must go before the QApplication, or the engine reports a leaked profile.
    DestroyWebViews();
    // No event loop turns any more to free the widgets of destroyed windows.
    ReleaseDestroyedWindows();
    return code;
}
