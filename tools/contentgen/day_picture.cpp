#include "day_picture.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Everything is drawn on this canvas and scaled to the frame, so the composition stays
// the same whatever size the layout gives the frame.
constexpr qreal kCanvasWidth = 280;
constexpr qreal kCanvasHeight = 180;
const QPointF kWombCentre(86, 90);
constexpr qreal kWombRadius = 68;

int WeekOf(int day) { return (day - 1) / 7 + 1; }

// 0 on the first day, 1 on the last.
qreal Progress(int day)
{
    return std::clamp(qreal(day - 1) / (kPregnancyDays - 1), qreal(0), qreal(1));
}

QColor Mix(const QColor& a, const QColor& b, qreal t)
{
    const auto channel = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()),
                  channel(a.blue(), b.blue()), channel(a.alpha(), b.alpha()));
}

// The sky moves from a cool blush in the first weeks through lavender to a warm peach.
struct Palette
{
    QColor skyTop, skyBottom, accent;
};

Palette PaletteFor(qreal progress)
{
    static const Palette keys[] = {
        {QColor(0xFB, 0xEA, 0xF0), QColor(0xE6, 0xF2, 0xF6), QColor(0xE8, 0x9A, 0xAE)},
        {QColor(0xEE, 0xE8, 0xFA), QColor(0xFB, 0xF1, 0xE8), QColor(0xB0, 0x8C, 0xD0)},
        {QColor(0xFF, 0xE6, 0xDA), QColor(0xFF, 0xF6, 0xEA), QColor(0xEE, 0x9A, 0x7E)},
    };
    const qreal scaled = progress * 2;
    const int index = std::min(int(scaled), 1);
    const qreal t = scaled - index;
    return {Mix(keys[index].skyTop, keys[index + 1].skyTop, t),
            Mix(keys[index].skyBottom, keys[index + 1].skyBottom, t),
            Mix(keys[index].accent, keys[index + 1].accent, t)};
}

// A small fixed pseudo-random sequence per day, so decorations vary from day to day but
// every build draws the same picture.
class Scatter
{
public:
    explicit Scatter(int day) : m_state(0x9E3779B9u ^ (std::uint32_t(day) * 0x85EBCA6Bu)) {}
    qreal Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return qreal(m_state % 10000) / 10000;
    }

private:
    std::uint32_t m_state;
};

QFont PictureFont(int pixelSize, QFont::Weight weight)
{
    QFont font(PictureFontFamily());
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The cloud and the baby at each stage are SVG drawings from data/drawings, built into the
// generator. A drawing's point (0,0) is placed on its anchor and 100 of its units are the
// size it has on the day, so one drawing serves every day of its stage.
constexpr qreal kDrawingUnits = 100;

QString DrawingPath(const char* name) { return QStringLiteral(":/drawings/%1.svg").arg(name); }

const char* const kDrawings[] = {"cloud", "seed", "embryo", "baby"};

void PaintDrawing(QPainter& p, const char* name, QPointF anchor, qreal size)
{
    QSvgRenderer drawing(DrawingPath(name));
    const QRectF box = drawing.viewBoxF();
    const qreal scale = size / kDrawingUnits;
    drawing.render(&p, QRectF(anchor + box.topLeft() * scale, box.size() * scale));
}

void PaintSparkle(QPainter& p, QPointF at, qreal size, QColor color)
{
    QPainterPath star;
    star.moveTo(at.x(), at.y() - size);
    star.quadTo(at, QPointF(at.x() + size, at.y()));
    star.quadTo(at, QPointF(at.x(), at.y() + size));
    star.quadTo(at, QPointF(at.x() - size, at.y()));
    star.quadTo(at, QPointF(at.x(), at.y() - size));
    p.fillPath(star, color);
}

void PaintSky(QPainter& p, const Palette& palette, int day)
{
    QLinearGradient sky(0, 0, 0, kCanvasHeight);
    sky.setColorAt(0, palette.skyTop);
    sky.setColorAt(1, palette.skyBottom);
    p.fillRect(QRectF(0, 0, kCanvasWidth, kCanvasHeight), sky);

    // Two soft clouds drifting a little from day to day, drawn one to one.
    const qreal drift = std::fmod(day * 3.7, 40.0);
    for (const QPointF anchor : {QPointF(190 + drift, 150), QPointF(150 - drift * 0.5, 20)})
        PaintDrawing(p, "cloud", anchor, kDrawingUnits);

    Scatter scatter(day);
    for (int i = 0; i < 7; ++i) {
        const QPointF at(160 + scatter.Next() * 112, 8 + scatter.Next() * 164);
        const qreal size = 1.5 + scatter.Next() * 2.5;
        QColor color = i % 2 ? QColor(255, 255, 255, 210) : palette.accent;
        if (i % 2 == 0)
            color.setAlpha(110);
        PaintSparkle(p, at, size, color);
    }
}

void PaintWomb(QPainter& p, const Palette& palette)
{
    // A soft halo, the womb itself, and a lighter inner glow.
    QRadialGradient halo(kWombCentre, kWombRadius + 12);
    halo.setColorAt(0.80, QColor(255, 255, 255, 90));
    halo.setColorAt(1.00, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(kWombCentre, kWombRadius + 12, kWombRadius + 12);

    QRadialGradient womb(kWombCentre - QPointF(14, 18), kWombRadius * 1.3);
    womb.setColorAt(0, QColor(0xFF, 0xFA, 0xF6));
    womb.setColorAt(0.6, Mix(QColor(0xFD, 0xE6, 0xE4), palette.skyTop, 0.3));
    womb.setColorAt(1, Mix(QColor(0xF6, 0xC9, 0xCF), palette.accent, 0.15));
    p.setBrush(womb);
    p.setPen(QPen(QColor(255, 255, 255, 200), 2));
    p.drawEllipse(kWombCentre, kWombRadius, kWombRadius);
}

void PaintGrowingBaby(QPainter& p, int day)
{
    const int week = WeekOf(day);
    if (week <= 5) {
        // The seed's size is its radius, a dot that has grown a little by the end of week 5.
        const qreal t = qreal(day - 1) / (5 * 7 - 1);
        PaintDrawing(p, "seed", kWombCentre, 3 + 4.8 * t);
    } else if (week <= 9) {
        const qreal t = qreal(day - 36) / (9 * 7 - 36);
        PaintDrawing(p, "embryo", kWombCentre, kWombRadius * (0.40 + 0.25 * t));
    } else {
        const qreal t = qreal(day - 64) / (kPregnancyDays - 64);
        PaintDrawing(p, "baby", kWombCentre, kWombRadius * (0.52 + 0.40 * t));
    }
}

void PaintTexts(QPainter& p, const Palette& palette, int day)
{
    const QColor ink(0x6E, 0x4F, 0x72);
    const QColor softInk(0x8E, 0x72, 0x92);
    const qreal left = 168;
    const qreal width = 104;

    // The stage of pregnancy in a small pill.
    const QFont stageFont = PictureFont(11, QFont::Medium);
    p.setFont(stageFont);
    const QString stage = StageTitle(day);
    const qreal pillWidth = QFontMetricsF(stageFont).horizontalAdvance(stage) + 14;
    const QRectF pill(left, 30, pillWidth, 18);
    QColor pillColor = palette.accent;
    pillColor.setAlpha(60);
    p.setPen(Qt::NoPen);
    p.setBrush(pillColor);
    p.drawRoundedRect(pill, 9, 9);
    p.setPen(ink);
    p.drawText(pill, Qt::AlignCenter, stage);

    p.setFont(PictureFont(24, QFont::Bold));
    p.drawText(QRectF(left, 52, width + 8, 32), Qt::AlignLeft | Qt::AlignVCenter, DayTitle(day));
    p.setPen(softInk);
    p.setFont(PictureFont(14, QFont::Medium));
    p.drawText(QRectF(left, 84, width, 20), Qt::AlignLeft | Qt::AlignVCenter, WeekTitle(day));

    // The journey so far, as a slim bar with a small heart at its end.
    const QRectF track(left, 114, width - 8, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 190));
    p.drawRoundedRect(track, 3, 3);
    const qreal filled = std::max<qreal>(track.height(), track.width() * day / kPregnancyDays);
    QLinearGradient bar(track.topLeft(), track.topRight());
    bar.setColorAt(0, Mix(palette.accent, Qt::white, 0.45));
    bar.setColorAt(1, palette.accent);
    p.setBrush(bar);
    p.drawRoundedRect(QRectF(track.left(), track.top(), filled, track.height()), 3, 3);
    const QPointF tip(track.left() + filled, track.center().y());
    QPainterPath heart;
    heart.moveTo(tip.x(), tip.y() + 4);
    heart.cubicTo(tip.x() - 7, tip.y() - 1, tip.x() - 3, tip.y() - 7, tip.x(), tip.y() - 3);
    heart.cubicTo(tip.x() + 3, tip.y() - 7, tip.x() + 7, tip.y() - 1, tip.x(), tip.y() + 4);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(palette.accent);
    p.drawPath(heart);

    p.setPen(softInk);
    p.setFont(PictureFont(11, QFont::Normal));
    p.drawText(QRectF(left, 128, width, 18), Qt::AlignLeft | Qt::AlignVCenter, CountdownTitle(day));
}

} // namespace

QString PictureFontFamily() { return QStringLiteral("Noto Sans CJK SC"); }

bool PictureFontAvailable() { return QFontDatabase::families().contains(PictureFontFamily()); }

QString BrokenDrawing()
{
    for (const char* name : kDrawings)
        if (!QSvgRenderer(DrawingPath(name)).isValid())
            return QStringLiteral("data/drawings/%1.svg").arg(name);
    return {};
}

QString DayTitle(int day) { return QStringLiteral("第%1天").arg(day); }

QString WeekTitle(int day) { return QStringLiteral("孕第%1周").arg(WeekOf(day)); }

QString StageTitle(int day)
{
    // Day N is a gestational age of N days: the second trimester begins at 14+0 (day 98)
    // and the third at 28+0 (day 196), not with the calendar's week 14 or 28.
    if (day < 14 * 7)
        return QStringLiteral("孕早期");
    if (day < 28 * 7)
        return QStringLiteral("孕中期");
    return QStringLiteral("孕晚期");
}

QString CountdownTitle(int day)
{
    const int left = kPregnancyDays - day;
    if (left <= 0)
        return QStringLiteral("今天是预产期");
    return QStringLiteral("还有%1天见面").arg(left);
}

QImage PaintDayPicture(int day, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    const Palette palette = PaletteFor(Progress(day));
    image.fill(palette.skyBottom);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    // Fit the canvas into the frame without distorting it; the sky fills any margin.
    const qreal scale = std::min(size.width() / kCanvasWidth, size.height() / kCanvasHeight);
    QLinearGradient margin(0, 0, 0, size.height());
    margin.setColorAt(0, palette.skyTop);
    margin.setColorAt(1, palette.skyBottom);
    p.fillRect(image.rect(), margin);
    p.translate((size.width() - kCanvasWidth * scale) / 2,
                (size.height() - kCanvasHeight * scale) / 2);
    p.scale(scale, scale);

    PaintSky(p, palette, day);
    PaintWomb(p, palette);
    PaintGrowingBaby(p, day);
    PaintTexts(p, palette, day);
    p.end();
    return image;
}
