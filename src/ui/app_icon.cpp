#include "ui/app_icon.h"

#include "host/file_io.h"

#include <QDir>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QSvgRenderer>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace {

// The stand-in, painted at whatever size and pixel ratio the caller's device has. The
// skin's tavro_icon.svg is the same picture on a 256 grid.
void PaintIcon(QPainter& painter, const QRectF& box)
{
    const double s = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(s / 2, s / 2));

    const QRectF disc(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QRadialGradient fill(disc.center() - QPointF(s * 0.15, s * 0.15), s * 0.7);
    fill.setColorAt(0.0, QColor(0xFF, 0xE4, 0xEC));
    fill.setColorAt(1.0, QColor(0xF4, 0xA6, 0xC0));
    painter.setPen(QPen(QColor(0xE0, 0x84, 0xA4), std::max(1.0, s / 32.0)));
    painter.setBrush(fill);
    painter.drawEllipse(disc);

    // A heart from two arcs and a point.
    QPainterPath heart;
    heart.moveTo(0.50 * s, 0.74 * s);
    heart.cubicTo(0.18 * s, 0.52 * s, 0.24 * s, 0.26 * s, 0.40 * s, 0.28 * s);
    heart.cubicTo(0.46 * s, 0.29 * s, 0.49 * s, 0.33 * s, 0.50 * s, 0.37 * s);
    heart.cubicTo(0.51 * s, 0.33 * s, 0.54 * s, 0.29 * s, 0.60 * s, 0.28 * s);
    heart.cubicTo(0.76 * s, 0.26 * s, 0.82 * s, 0.52 * s, 0.50 * s, 0.74 * s);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0xFF, 0xFF, 0xE6));
    painter.drawPath(heart);
    painter.restore();
}

// Paints the stand-in on request instead of keeping pixmaps of fixed sizes: nothing is
// drawn before a window or the tray asks, and a scaled screen gets a sharp picture.
class DrawnIconEngine final : public QIconEngine
{
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        PaintIcon(*painter, rect);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new DrawnIconEngine; }
    QString key() const override { return QStringLiteral("TavroDrawnIcon"); }
};

// The skin's SVG, read and parsed once and rendered at each size when it is asked for. Qt's
// own SVG icon engine is a plugin that is looked up and loaded at the first icon and parses
// the file again for every size; every window's icon is rendered at four sizes as it is
// created, so that work sat in front of the widget's first appearance.
class SvgIconEngine final : public QIconEngine
{
public:
    struct Art
    {
        QSvgRenderer renderer;
        std::map<std::pair<int, int>, QPixmap> rendered;
    };

    explicit SvgIconEngine(std::shared_ptr<Art> art) : m_art(std::move(art)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        QSize size = rect.size();
        if (painter->device())
            size *= painter->device()->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(size, mode, state));
    }

    // The art keeps its own shape: QIcon::paint centres this size in a wider or taller box
    // (a notification area's slot) instead of stretching the picture over it.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return Fitted(size); }

    // Rendered as Qt's SVG icon engine renders: the art's own shape fitted into the size.
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const QSize fitted = Fitted(size);
        if (fitted.isEmpty())
            return QPixmap();
        QPixmap& kept = m_art->rendered[{fitted.width(), fitted.height()}];
        if (kept.isNull()) {
            QImage image(fitted, QImage::Format_ARGB32_Premultiplied);
            image.fill(0);
            QPainter painter(&image);
            m_art->renderer.render(&painter);
            painter.end();
            kept = QPixmap::fromImage(image);
        }
        return kept;
    }

    QIconEngine* clone() const override { return new SvgIconEngine(m_art); }
    QString key() const override { return QStringLiteral("TavroSvgIcon"); }

private:
    QSize Fitted(const QSize& size) const
    {
        QSize fitted = m_art->renderer.defaultSize();
        if (!fitted.isNull())
            fitted.scale(size, Qt::KeepAspectRatio);
        return fitted;
    }

    std::shared_ptr<Art> m_art;
};

// Makes the real icon the first time it is used instead of when it is made: the program
// makes its icon early in start-up, and finding and parsing the art then held the widget
// back although nothing asks for a picture before the widget is up.
class DeferredIconEngine final : public QIconEngine
{
public:
    explicit DeferredIconEngine(std::function<QIcon()> make)
        : m_shared(std::make_shared<Shared>(Shared{std::move(make), {}}))
    {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    // The ratio is 1 here: a scaled request arrives with its size already multiplied.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, 1.0, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override { return Icon().isNull(); }

    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }
    QString key() const override { return QStringLiteral("TavroDeferredIcon"); }

private:
    struct Shared
    {
        std::function<QIcon()> make;
        QIcon icon;
    };

    // Copies share one icon, made once.
    const QIcon& Icon()
    {
        if (m_shared->make)
            m_shared->icon = std::exchange(m_shared->make, nullptr)();
        return m_shared->icon;
    }

    std::shared_ptr<Shared> m_shared;
};

QIcon LoadAppIcon(const QString& skinDir)
{
    if (!skinDir.isEmpty()) {
        for (const char* name : {"tavro_icon.svg", "tavro_icon.png"}) {
            const QString path = QDir(skinDir).filePath(QString::fromLatin1(name));
            // Only a regular file: a FIFO in its place would block the icon's loading.
            if (!IsRegularFile(QFile::encodeName(path).toStdString()))
                continue;
            // The SVG is kept as vector art and rendered per size when one is asked for; a
            // file that does not parse is passed over.
            if (path.endsWith(QLatin1String(".svg"))) {
                auto art = std::make_shared<SvgIconEngine::Art>();
                if (art->renderer.load(path) && art->renderer.isValid())
                    return QIcon(new SvgIconEngine(std::move(art)));
                continue;
            }
            // Loading checks that the file decodes; a file that does not gives a null icon.
            QIcon icon(path);
            if (!icon.isNull())
                return icon;
        }
    }
    return DrawnAppIcon();
}

} // namespace

QIcon DrawnAppIcon() { return QIcon(new DrawnIconEngine); }

QIcon AppIcon(const QString& skinDir)
{
    return QIcon(new DeferredIconEngine([skinDir] { return LoadAppIcon(skinDir); }));
}
