#include "track/kick_chart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

const QColor kBar(0xF0, 0x9A, 0xA8);
const QColor kToday(0xD8, 0x5A, 0x72);
const QColor kMissed(0xC9, 0xB6, 0xB9);
const QColor kUsual(0x8A, 0x6A, 0x70);
const QColor kText(0x8A, 0x6A, 0x70);
constexpr double kTopMinutes = 120;

} // namespace

KickChart::KickChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void KickChart::SetBars(std::vector<KickBar> bars, std::optional<double> usualMinutes)
{
    m_bars = std::move(bars);
    m_usual = usualMinutes;
    update();
}

void KickChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const int labelHeight = 16;
    const QRectF plot(30, 16, width() - 36, height() - 16 - labelHeight);
    if (m_bars.empty()) {
        painter.setPen(kText);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("最近14天还没有记录"));
        return;
    }
    // The scale grows with the slowest session, up to the two hours that end one.
    double top = 30;
    for (const KickBar& bar : m_bars)
        top = std::max(top, bar.reachedTen ? bar.minutes : kTopMinutes);
    if (m_usual)
        top = std::max(top, *m_usual);
    top = std::min(kTopMinutes, top * 1.1);
    auto yOf = [&](double minutes) {
        return plot.bottom() - plot.height() * std::min(minutes, top) / top;
    };

    painter.setPen(QColor(0xF1, 0xDD, 0xD5));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.setPen(kText);
    painter.drawText(QRectF(0, plot.top() - 2, 28, 14), Qt::AlignRight,
                     QString::number(static_cast<int>(top)));
    painter.drawText(QRectF(0, plot.bottom() - 12, 28, 14), Qt::AlignRight, QStringLiteral("0"));

    const double slot = plot.width() / static_cast<double>(m_bars.size());
    const double barWidth = std::clamp(slot * 0.6, 3.0, 22.0);
    QString lastLabel;
    double lastLabelX = -1000;
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        const KickBar& bar = m_bars[i];
        const double x = plot.left() + slot * (static_cast<double>(i) + 0.5);
        // A session of under a minute still shows as a stub.
        const double y = std::min(yOf(bar.reachedTen ? bar.minutes : top), plot.bottom() - 4);
        QPainterPath path;
        path.addRoundedRect(QRectF(x - barWidth / 2, y, barWidth, plot.bottom() - y), 3, 3);
        painter.fillPath(path, !bar.reachedTen ? kMissed : bar.today ? kToday : kBar);
        // One label per day, under its first bar, where there is room beside the last one.
        if (bar.label != lastLabel && x - lastLabelX >= 36) {
            painter.setPen(bar.today ? kToday : kText);
            painter.drawText(QRectF(x - 20, plot.bottom() + 2, 40, labelHeight - 2),
                             Qt::AlignHCenter | Qt::AlignTop,
                             bar.today ? QStringLiteral("今天") : bar.label);
            lastLabel = bar.label;
            lastLabelX = x;
        }
    }
    if (m_usual) {
        const double y = yOf(*m_usual);
        QPen pen(kUsual, 1.2, Qt::DashLine);
        painter.setPen(pen);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        // Named above the plot, where no bar reaches.
        painter.drawLine(QPointF(plot.right() - 150, 6), QPointF(plot.right() - 130, 6));
        painter.setPen(kUsual);
        painter.drawText(QRectF(plot.right() - 126, 0, 126, 14), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("平时约 %1 分钟").arg(*m_usual, 0, 'f', 0));
    }
}
