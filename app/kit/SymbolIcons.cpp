#include "kit/SymbolIcons.h"

#include "geo/MapData.h"
#include "kit/DarkAppearance.h"

#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace {

QByteArray readDrawing(const QString& symbol)
{
    const QString folder = ResourceFolders::standard().application;
    if (folder.isEmpty())
        return {};
    QFile file(folder + QStringLiteral("/icons/") + symbol + QStringLiteral(".svg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Draws an SVG whose strokes and fills say "currentColor" in the colour of
// the icon's mode and state; drawings with colours of their own keep them.
class TintedSvgEngine : public QIconEngine {
public:
    explicit TintedSvgEngine(QByteArray svg)
        : m_svg(std::move(svg))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        QColor color = state == QIcon::On ? DarkAppearance::accent() : DarkAppearance::text();
        if (mode == QIcon::Disabled)
            color = DarkAppearance::dimmedText();
        else if (mode == QIcon::Active && state == QIcon::Off)
            color = Qt::white;
        QByteArray svg = m_svg;
        svg.replace("currentColor", color.name().toLatin1());
        QSvgRenderer renderer(svg);
        renderer.render(painter, rect);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        const QSize device = (QSizeF(size) * scale).toSize();
        const QString key
            = QStringLiteral("%1x%2/%3/%4").arg(device.width()).arg(device.height()).arg(int(mode)).arg(int(state));
        if (const auto it = m_cache.constFind(key); it != m_cache.constEnd())
            return *it;
        QImage image(device, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            paint(&painter, QRect(QPoint(0, 0), device), mode, state);
        }
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(scale);
        m_cache.insert(key, pixmap);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new TintedSvgEngine(m_svg); }
    QString key() const override { return QStringLiteral("CorvantaTintedSvg"); }
    bool isNull() override { return m_svg.isEmpty(); }

private:
    QByteArray m_svg;
    QHash<QString, QPixmap> m_cache;
};

} // namespace

namespace SymbolIcons {

QString themeName(const QString& symbol)
{
    static const QHash<QString, QString> names {
        { QStringLiteral("minus.magnifyingglass"), QStringLiteral("zoom-out") },
          { QStringLiteral("plus.magnifyingglass"), QStringLiteral("zoom-in") },
            { QStringLiteral("arrow.clockwise"), QStringLiteral("view-refresh") },
              { QStringLiteral("gearshape"), QStringLiteral("preferences-system") },
                { QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning") },
              };
    return names.value(symbol);
}

QIcon bundled(const QString& symbol)
{
    QByteArray svg = readDrawing(symbol);
    if (svg.isEmpty())
        return {};
    return QIcon(new TintedSvgEngine(std::move(svg)));
}

QIcon icon(const QString& symbol)
{
    const QString name = themeName(symbol);
    if (!name.isEmpty() && QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return bundled(symbol);
}

} // namespace SymbolIcons
