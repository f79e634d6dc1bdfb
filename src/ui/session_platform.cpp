#include "ui/session_platform.h"

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
