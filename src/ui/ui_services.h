#pragma once

// The window framework's own replaceable services: popup menus, the notification-area
// icon and the pointer position. The program uses the Qt-backed ones (the defaults, see
// qt_services.h); tests install recording fakes (tests/support/fake_ui_services.h).

#include "host/scoped_install.h"
#include "ui/messages.h"

#include <QIcon>
#include <QPoint>
#include <QString>

#include <vector>

class CWnd;

struct MenuItem
{
    UINT id = 0;
    QString text;
    bool enabled = true;
};

// A popup menu tracked at a screen position; returns the chosen id, 0 when the menu was
// dismissed without a choice. Returns when the menu has closed.
class IPopupMenu
{
public:
    virtual ~IPopupMenu() = default;
    virtual UINT Track(const std::vector<MenuItem>& items, QPoint screenPos, CWnd* owner) = 0;
};

// Notification-area icons. Clicks on an icon are posted to `notify` as WM_TRAYICON with
// wParam = the icon's id and lParam = the mouse message: WM_LBUTTONDOWN (a click),
// WM_LBUTTONDBLCLK (a double click), WM_RBUTTONDOWN (a right click).
class ITrayIcon
{
public:
    virtual ~ITrayIcon() = default;
    // Adding an id that is already there replaces it. False when there is no notification
    // area at the moment; the icon is kept all the same and appears when one starts.
    virtual bool Add(UINT id, const QString& tip, const QIcon& icon, CWnd* notify) = 0;
    // False when there is no icon with that id.
    virtual bool Remove(UINT id) = 0;
};

// The pointer's position in screen coordinates.
class ICursor
{
public:
    virtual ~ICursor() = default;
    virtual QPoint Pos() const = 0;
};

struct UiServices
{
    IPopupMenu* menu = nullptr;
    ITrayIcon* tray = nullptr;
    ICursor* cursor = nullptr;
};

// The services in force. Never null: unset entries are the Qt-backed ones.
const UiServices& CurrentUiServices();

// Replaces the services in force (null entries select the Qt-backed ones) and returns the
// previous set, so that a test can put it back.
UiServices InstallUiServices(const UiServices& services);

// For tests: the window services swapped for the lifetime of the object.
using ScopedUiServices = ScopedInstall<UiServices, InstallUiServices>;

// The WM_TRAYICON mouse message for a notification-area activation, by Qt's reason
// (QSystemTrayIcon::ActivationReason as int); 0 for reasons the windows do not hear of.
LPARAM TrayMouseMessage(int activationReason);
