#include "ui/app_icon.h"

#include "host/file_io.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

namespace {

QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF disc(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    QRadialGradient fill(disc.center() - QPointF(size * 0.15, size * 0.15), size * 0.7);
    fill.setColorAt(0.0, QColor(0xFF, 0xE4, 0xEC));
    fill.setColorAt(1.0, QColor(0xF4, 0xA6, 0xC0));
    painter.setPen(QPen(QColor(0xE0, 0x84, 0xA4), std::max(1.0, size / 32.0)));
    painter.setBrush(fill);
    painter.drawEllipse(disc);

    // A heart from two arcs and a point.
    const double s = size;
    QPainterPath heart;
    heart.moveTo(0.50 * s, 0.74 * s);
    heart.cubicTo(0.18 * s, 0.52 * s, 0.24 * s, 0.26 * s, 0.40 * s, 0.28 * s);
    heart.cubicTo(0.46 * s, 0.29 * s, 0.49 * s, 0.33 * s, 0.50 * s, 0.37 * s);
    heart.cubicTo(0.51 * s, 0.33 * s, 0.54 * s, 0.29 * s, 0.60 * s, 0.28 * s);
    heart.cubicTo(0.76 * s, 0.26 * s, 0.82 * s, 0.52 * s, 0.50 * s, 0.74 * s);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0xFF, 0xFF, 0xE6));
    painter.drawPath(heart);
    return pixmap;
}

} // namespace

QIcon DrawnAppIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(DrawIcon(size));
    return icon;
}

QIcon AppIcon(const QString& skinDir)
{
    if (!skinDir.isEmpty()) {
        for (const char* name : {"tavro_icon.svg", "tavro_icon.png"}) {
            const QString path = QDir(skinDir).filePath(QString::fromLatin1(name));
            // Only a regular file: a FIFO in its place would block the icon's loading.
            if (!IsRegularFile(QFile::encodeName(path).toStdString()))
                continue;
            // QIcon loads lazily; a file that does not decode gives no sizes.
            QIcon icon(path);
            if (!icon.pixmap(32, 32).isNull())
                return icon;
        }
    }
    return DrawnAppIcon();
}
