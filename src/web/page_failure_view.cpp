#include "web/page_failure_view.h"

#include "web/error_page.h"

#include <QPainter>
#include <QPushButton>

namespace {

// The error page's measures and palette (error_page.cpp), so that both look alike.
constexpr int kCardWidth = 360;
constexpr int kCardHeight = 300;
constexpr int kMark = 56;

QFont PixelFont(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

CPageFailureView::CPageFailureView(QWidget* parent, std::function<void()> retry)
    : QWidget(parent), m_retry(new QPushButton(QString::fromUtf8(kErrorPageRetry), this))
{
    setAccessibleName(QString::fromUtf8(kErrorPageTitle));
    m_retry->setFont(PixelFont(15, true));
    m_retry->setCursor(Qt::PointingHandCursor);
    m_retry->setStyleSheet(QStringLiteral(
        "QPushButton { color: #FFFFFF; border: none; border-radius: 20px;"
        "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #F79AA6, stop:1 #E66A80); }"
        "QPushButton:hover, QPushButton:focus { background: qlineargradient(x1:0, y1:0, x2:0, "
        "  y2:1, stop:0 #F9A9B3, stop:1 #EA7A8E); }"));
    QObject::connect(m_retry, &QPushButton::clicked, this, [retry = std::move(retry)] {
        if (retry)
            retry();
    });
}

void CPageFailureView::SetRetryOffered(bool offered) { m_retry->setVisible(offered); }

QRect CPageFailureView::Card() const
{
    return QRect((width() - kCardWidth) / 2, (height() - kCardHeight) / 2, kCardWidth, kCardHeight);
}

void CPageFailureView::resizeEvent(QResizeEvent*)
{
    const QRect card = Card();
    m_retry->setGeometry(card.left() + 100, card.bottom() + 1 - 30 - 40, 160, 40);
}

void CPageFailureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0xFF, 0xFD, 0xFB));
    const QRect card = Card();
    painter.setPen(QColor(0xF1, 0xD3, 0xC9));
    painter.setBrush(QColor(0xFF, 0xF8, 0xF3));
    painter.drawRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 18, 18);

    const QRect mark(card.center().x() - kMark / 2 + 1, card.top() + 34, kMark, kMark);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFC, 0xE3, 0xE4));
    painter.drawEllipse(mark);
    painter.setPen(QColor(0xE0, 0x60, 0x7A));
    painter.setFont(PixelFont(30));
    painter.drawText(mark, Qt::AlignCenter, QStringLiteral("!"));

    QRect line(card.left() + 28, mark.bottom() + 17, card.width() - 56, 26);
    painter.setPen(QColor(0xD8, 0x5A, 0x72));
    painter.setFont(PixelFont(18, true));
    painter.drawText(line, Qt::AlignCenter, QString::fromUtf8(kErrorPageTitle));
    painter.setPen(QColor(0x8A, 0x6A, 0x70));
    painter.setFont(PixelFont(13));
    line.translate(0, 34);
    line.setHeight(22);
    for (const char* text : kErrorPageLines) {
        painter.drawText(line, Qt::AlignCenter, QString::fromUtf8(text));
        line.translate(0, 22);
    }
}
