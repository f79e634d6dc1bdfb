#include "ui/ui_services.h"

#include "ui/qt_services.h"

#include <QSystemTrayIcon>

namespace {

UiServices g_installed;
UiServices g_current;

void Resolve()
{
    const UiServices defaults = QtUiServices();
    g_current.menu = g_installed.menu ? g_installed.menu : defaults.menu;
    g_current.tray = g_installed.tray ? g_installed.tray : defaults.tray;
    g_current.cursor = g_installed.cursor ? g_installed.cursor : defaults.cursor;
}

} // namespace

const UiServices& CurrentUiServices()
{
    if (!g_current.menu)
        Resolve();
    return g_current;
}

UiServices InstallUiServices(const UiServices& services)
{
    const UiServices previous = g_installed;
    g_installed = services;
    Resolve();
    return previous;
}

LPARAM TrayMouseMessage(int activationReason)
{
    switch (activationReason) {
    case QSystemTrayIcon::Trigger:
        return WM_LBUTTONDOWN;
    case QSystemTrayIcon::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context:
        return WM_RBUTTONDOWN;
    case QSystemTrayIcon::MiddleClick:
        return WM_MBUTTONDOWN;
    default:
        return 0;
    }
}
