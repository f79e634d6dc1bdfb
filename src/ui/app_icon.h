#pragma once

// The program's icon, for its windows and the notification area.

#include <QIcon>
#include <QString>

// The icon art "tavro_icon.svg" or "tavro_icon.png" from the skin folder `skinDir` when
// one of them loads; otherwise a drawn stand-in (a pastel disc with a small heart) in the
// usual icon sizes, so that the program always has an icon.
QIcon AppIcon(const QString& skinDir = QString());

// The drawn stand-in alone.
QIcon DrawnAppIcon();
