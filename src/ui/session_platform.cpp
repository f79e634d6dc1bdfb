#include "ui/session_platform.h"

#include <QGuiApplication>
#include <QtGlobal>

QByteArray QtPlatformForSession(const std::function<QByteArray(const char*)>& variable)
{
    if (!variable("QT_QPA_PLATFORM").trimmed().isEmpty())
        return {};
    if (variable("WAYLAND_DISPLAY").isEmpty() || variable("DISPLAY").isEmpty())
        return {};
    return QByteArrayLiteral("xcb");
}

void ChooseQtPlatform()
{
    const QByteArray platform =
        QtPlatformForSession([](const char* name) { return qgetenv(name); });
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

bool IsXWaylandSession(QStringView platformName,
                       const std::function<QByteArray(const char*)>& variable)
{
    return platformName == u"xcb" && !variable("WAYLAND_DISPLAY").isEmpty();
}

bool RunsOnXWayland()
{
    return IsXWaylandSession(QGuiApplication::platformName(),
                             [](const char* name) { return qgetenv(name); });
}
