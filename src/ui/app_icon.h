#pragma once

// The program's icon, for its windows and the notification area.

#include <QIcon>
#include <QString>

// The skin's art "tavro_icon.svg" (or "tavro_icon.png") from the skin folder `skinDir`
// when it loads; otherwise a drawn stand-in of the same picture (a pastel disc with a
// small heart), so that the program always has an icon. Neither is rendered before a
// size is asked for, and each size is rendered from the vector art, so the icon is sharp
// at any scale factor.
QIcon AppIcon(const QString& skinDir = QString());

// The drawn stand-in alone.
QIcon DrawnAppIcon();
