#pragma once

// Placement arithmetic of the window framework, kept apart from the widgets so that the
// rules can be checked directly.

#include "ui/messages.h"

#include <QPoint>
#include <QRect>
#include <QSize>

// The rectangle a window gets from SetWindowPos(x, y, cx, cy, flags), starting at
// `current`: SWP_NOMOVE keeps the position, SWP_NOSIZE keeps the size. Negative sizes
// count as 0.
QRect ApplyWindowPos(const QRect& current, int x, int y, int cx, int cy, UINT flags);

// Where CenterWindow puts a window of `size`: centred over `over` (edges halved with
// integer division that truncates toward zero), then moved inside `workArea` so that its
// right/bottom and then its left/top edges are inside.
QPoint CenteredPosition(QSize size, const QRect& over, const QRect& workArea);

// The window cut to the size of `workArea` where it is larger, then moved inside it: a
// window whose content can scroll never lies partly off the screen.
QRect FitInWorkArea(const QRect& window, const QRect& workArea);

// The opacity as a fraction for Qt, from the 0-255 scale the windows use.
double AlphaToOpacity(int alpha);
int OpacityToAlpha(double opacity);
