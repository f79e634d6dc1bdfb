#pragma once

// Which of Qt's window-system back ends Tavro runs on. The widget's fixed place and its
// staying on top need X11: on a Wayland session that offers XWayland the program runs
// there, so that it looks and behaves as on an X11 desktop. A platform the user chose
// (QT_QPA_PLATFORM) always stands.

#include <QByteArray>
#include <QStringView>

#include <functional>

// The platform to ask Qt for, from the session's environment (`variable` answers a
// variable's value, empty when it is unset): "xcb" on a Wayland session with XWayland
// (WAYLAND_DISPLAY and DISPLAY set) where the user chose none; empty to leave Qt's choice.
QByteArray QtPlatformForSession(const std::function<QByteArray(const char*)>& variable);

// Applies the choice to this process's environment; call before QApplication exists.
void ChooseQtPlatform();

// Whether Qt runs on XWayland: its X11 back end ("xcb") inside a Wayland session
// (WAYLAND_DISPLAY set). There the compositor places new X11 windows where it likes and
// keeps them there, whatever position the program asks for or moves them to later.
bool IsXWaylandSession(QStringView platformName,
                       const std::function<QByteArray(const char*)>& variable);

// The same for this process; call once QApplication exists.
bool RunsOnXWayland();

// Whether the program's X11 display connection has broken (the X server went away). Qt then
// ends the process with exit() from inside its event loop, while the windows still exist.
bool DisplayConnectionLost();
