#pragma once

// The picture shown in the reminder popup for one day of pregnancy: a calm pastel scene
// with a round womb in which the baby grows from a tiny seed to a curled newborn, and the
// day and week written beside it.

#include <QImage>
#include <QSize>
#include <QString>

constexpr int kPregnancyDays = 280;

// The font the pictures are written in. The generator refuses to run without it, since a
// missing CJK font would print empty boxes into every picture.
QString PictureFontFamily();
bool PictureFontAvailable();

// The drawings (data/drawings/*.svg) are built into the generator. Names the first
// one that cannot be read as SVG, or gives an empty string when all can be drawn.
QString BrokenDrawing();

// The texts written on the picture of a day (1..280).
QString DayTitle(int day);       // "第180天"
QString WeekTitle(int day);      // "孕第26周"
QString StageTitle(int day);     // "孕中期"
QString CountdownTitle(int day); // "还有100天见面"

// Paints the picture for a day (1..280) at the given size. The same day and size always
// give the same pixels.
QImage PaintDayPicture(int day, QSize size);
