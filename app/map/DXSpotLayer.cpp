#include "map/DXSpotLayer.h"

#include "map/MapContrast.h"
#include "map/PainterPixelRatio.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

// 2001-01-01 00:00:00 UTC in ms since the Unix epoch.
constexpr qint64 referenceMs = 978307200000;

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// One plate in one look, with its ring for a highlighted plate, rendered
// once: a redraw copies it, so no text is laid out and no ring is stroked
// again while the font and colours stay. A highlighted plate has four looks
// (the beat modulo 4 sets both its fill and its ring), an ordinary one two.
struct Plate {
    QImage image;  // device pixel ratio set
    QRectF extent; // the image's rectangle relative to the label point, points
};

class PlateCache {
public:
    // Forgets every plate when the font, the halo or the pixel ratio changed.
    void use(const QFont& font, const QColor& halo, double ratio)
    {
        if (font == m_font && halo == m_halo && ratio == m_ratio && m_plates.size() <= maxPlates)
            return;
        m_plates.clear();
        m_font = font;
        m_halo = halo;
        m_ratio = ratio;
    }

    // `look`: the beat modulo 4 for a highlighted plate; 0 (solid) or 1
    // (outlined) for an ordinary one.
    const Plate& plate(const QString& text, const QColor& plateColor, bool lit, int look)
    {
        const Key key { text, plateColor.rgba(), lit, look };
        auto found = m_plates.find(key);
        if (found == m_plates.end())
            found = m_plates.insert(key, render(key, plateColor));
        return *found;
    }

private:
    // More than a map can show at once; beyond it the cache starts afresh.
    static constexpr qsizetype maxPlates = 4096;

    struct Key {
        QString text;
        QRgb color;
        bool lit;
        int look;
        friend bool operator==(const Key&, const Key&) = default;
        friend size_t qHash(const Key& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.text, key.color, key.lit, key.look);
        }
    };

    Plate render(const Key& key, const QColor& plateColor) const
    {
        const QFontMetricsF metrics(m_font);
        const double textWidth = metrics.horizontalAdvance(key.text);
        const double textHeight = metrics.height();
        const double margin = key.lit ? 6 : 4;
        const bool solid = key.look % 2 == 0;
        const double spread = key.lit ? DXSpotLayer::ringSpread(key.look) : 0;
        const QRectF capsule(-textWidth / 2 - margin, -textHeight / 2 - 1, textWidth + 2 * margin, textHeight + 2);
        const double radius = capsule.height() / 2;
        const QRectF extent = capsule.adjusted(-spread - 2, -spread - 2, spread + 2, spread + 2);
        QImage image(qCeil(extent.width() * m_ratio), qCeil(extent.height() * m_ratio),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(m_ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-extent.topLeft());
        // What stands on the map itself (the ring, the outlined look) takes
        // the colour's partner on a light style; the solid plate keeps it.
        const QColor onMap = MapContrast::onHalo(plateColor, m_halo);
        if (key.lit) {
            // The ring first: the plate covers its inner edge.
            QColor ring = onMap;
            ring.setAlphaF(ring.alphaF() * float(DXSpotLayer::ringOpacity(key.look)));
            painter.setPen(QPen(ring, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(capsule.adjusted(-spread, -spread, spread, spread), radius + spread,
                                    radius + spread);
        }
        if (solid) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(plateColor);
        } else {
            QColor back = m_halo;
            back.setAlphaF(back.alphaF() * 0.6f);
            painter.setPen(QPen(onMap, key.lit ? 2 : 1.5));
            painter.setBrush(back);
        }
        painter.drawRoundedRect(capsule, radius, radius);
        painter.setFont(m_font);
        painter.setPen(solid ? QColor(Qt::black) : onMap);
        painter.drawText(QRectF(-textWidth / 2, -textHeight / 2, textWidth, textHeight),
                         Qt::AlignCenter | Qt::TextDontClip, key.text);
        return { image, extent };
    }

    QFont m_font;
    QColor m_halo;
    double m_ratio = 0;
    QHash<Key, Plate> m_plates;
};

PlateCache& plates()
{
    static PlateCache cache;
    return cache;
}

} // namespace

int DXSpotLayer::rank(const SpotGroup& group)
{
    if (!group.watchedIDs.isEmpty())
        return 2;
    return group.neededIDs.isEmpty() ? 0 : 1;
}

qint64 DXSpotLayer::beat(const QDateTime& time) { return floorDiv(time.toMSecsSinceEpoch() - referenceMs, beatMs); }

bool DXSpotLayer::solid(qint64 beat, bool highlighted)
{
    const qint64 counter = highlighted ? beat : floorDiv(beat, 2);
    return counter % 2 == 0;
}

double DXSpotLayer::ringSpread(qint64 beat) { return 4 + 10 * (double(((beat % 4) + 4) % 4) / 4); }

double DXSpotLayer::ringOpacity(qint64 beat) { return 0.9 * (1 - double(((beat % 4) + 4) % 4) / 4); }

QDateTime DXSpotLayer::nextChange(const QDateTime& now, bool anyHighlighted)
{
    const qint64 step = anyHighlighted ? 1 : 2;
    const qint64 next = (floorDiv(beat(now), step) + 1) * step;
    return QDateTime::fromMSecsSinceEpoch(referenceMs + next * beatMs, Qt::UTC);
}

void DXSpotLayer::paint(QPainter& painter, const QDateTime& now) const
{
    if (groups.isEmpty())
        return;
    QList<const SpotGroup*> order;
    order.reserve(groups.size());
    for (const SpotGroup& group : groups)
        order.append(&group);
    std::ranges::stable_sort(order, {}, [](const SpotGroup* group) { return rank(*group); });

    const qint64 n = beat(now);
    const int phase = int(((n % 4) + 4) % 4);
    const double ratio = devicePixelRatioOf(painter);
    const double width = projection.size.width();
    const double height = projection.size.height();
    plates().use(font, halo, ratio);

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const SpotGroup* group : order) {
        const QPointF at = projection.point(group->label.lat, group->label.lon);
        if (!(at.x() > -cullMargin && at.x() < width + cullMargin && at.y() > -cullMargin
              && at.y() < height + cullMargin))
            continue;
        const int groupRank = rank(*group);
        const bool lit = groupRank > 0;
        const QColor& plateColor = groupRank == 2 ? watchColor : groupRank == 1 ? neededColor : color;
        const Plate& plate
            = plates().plate(group->label.prefix, plateColor, lit, lit ? phase : (solid(n, false) ? 0 : 1));
        // Whole device pixels, so the copy stays as crisp as it was rendered.
        const QPointF topLeft(std::round((at.x() + plate.extent.left()) * ratio) / ratio,
                              std::round((at.y() + plate.extent.top()) * ratio) / ratio);
        painter.drawImage(topLeft, plate.image);
    }
    painter.restore();
}

QRegion DXSpotLayer::blinkArea() const
{
    const QFontMetricsF metrics(font);
    // The widest look: the lit plate's margin and its ring at full spread,
    // plus a point for antialiasing and rounding to whole pixels.
    const double reach = 6 + ringSpread(3) + 3;
    QRegion area;
    for (const SpotGroup& group : groups) {
        const QPointF at = projection.point(group.label.lat, group.label.lon);
        const double halfWidth = metrics.horizontalAdvance(group.label.prefix) / 2 + reach;
        const double halfHeight = metrics.height() / 2 + 1 + reach;
        area += QRectF(at.x() - halfWidth, at.y() - halfHeight, 2 * halfWidth, 2 * halfHeight).toAlignedRect();
    }
    return area;
}
