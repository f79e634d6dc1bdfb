#include "ui/window_geometry.h"

#include <algorithm>
#include <cmath>

QRect ApplyWindowPos(const QRect& current, int x, int y, int cx, int cy, UINT flags)
{
    QRect r = current;
    if (!(flags & SWP_NOMOVE))
        r.moveTo(x, y);
    if (!(flags & SWP_NOSIZE))
        r.setSize(QSize(std::max(cx, 0), std::max(cy, 0)));
    return r;
}

QPoint CenteredPosition(QSize size, const QRect& over, const QRect& workArea)
{
    // Edges as Windows keeps them: right and bottom exclusive.
    const int overRight = over.x() + over.width();
    const int overBottom = over.y() + over.height();
    int x = (over.x() + overRight) / 2 - size.width() / 2;
    int y = (over.y() + overBottom) / 2 - size.height() / 2;

    const int areaRight = workArea.x() + workArea.width();
    const int areaBottom = workArea.y() + workArea.height();
    if (x + size.width() > areaRight)
        x = areaRight - size.width();
    if (x < workArea.x())
        x = workArea.x();
    if (y + size.height() > areaBottom)
        y = areaBottom - size.height();
    if (y < workArea.y())
        y = workArea.y();
    return {x, y};
}

QRect FitInWorkArea(const QRect& window, const QRect& workArea)
{
    const QSize size = window.size().boundedTo(workArea.size());
    const int x =
        std::clamp(window.x(), workArea.x(), workArea.x() + workArea.width() - size.width());
    const int y =
        std::clamp(window.y(), workArea.y(), workArea.y() + workArea.height() - size.height());
    return {QPoint(x, y), size};
}

double AlphaToOpacity(int alpha) { return std::clamp(alpha, 0, 255) / 255.0; }

int OpacityToAlpha(double opacity)
{
    return std::clamp(static_cast<int>(std::lround(opacity * 255.0)), 0, 255);
}
