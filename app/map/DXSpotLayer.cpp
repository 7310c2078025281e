#include "map/DXSpotLayer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

// 2001-01-01 00:00:00 UTC in ms since the Unix epoch.
constexpr qint64 referenceMs = 978307200000;

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

QPainterPath capsule(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
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
    const double spread = ringSpread(n);
    const QColor black(Qt::black);
    const QFontMetricsF metrics(font);
    const double textHeight = metrics.height();
    const double width = projection.size.width();
    const double height = projection.size.height();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font);
    for (const SpotGroup* group : order) {
        const QPointF at = projection.point(group->label.lat, group->label.lon);
        if (!(at.x() > -cullMargin && at.x() < width + cullMargin && at.y() > -cullMargin
              && at.y() < height + cullMargin))
            continue;
        const int groupRank = rank(*group);
        const bool lit = groupRank > 0;
        const QColor plateColor = groupRank == 2 ? watchColor : groupRank == 1 ? neededColor : color;
        const QString& text = group->label.prefix;
        const double textWidth = metrics.horizontalAdvance(text);
        const double margin = lit ? 6 : 4;
        const QRectF plate(at.x() - textWidth / 2 - margin, at.y() - textHeight / 2 - 1, textWidth + 2 * margin,
                           textHeight + 2);
        const double radius = plate.height() / 2;

        if (lit) {
            QColor ring = plateColor;
            ring.setAlphaF(ring.alphaF() * float(ringOpacity(n)));
            painter.setPen(QPen(ring, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(capsule(plate.adjusted(-spread, -spread, spread, spread), radius + spread));
        }
        const bool isSolid = solid(n, lit);
        if (isSolid) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(plateColor);
        } else {
            QColor back = halo;
            back.setAlphaF(back.alphaF() * 0.6f);
            painter.setPen(QPen(plateColor, lit ? 2 : 1.5));
            painter.setBrush(back);
        }
        painter.drawPath(capsule(plate, radius));

        painter.setPen(isSolid ? black : plateColor);
        const QRectF box(at.x() - textWidth / 2, at.y() - textHeight / 2, textWidth, textHeight);
        painter.drawText(box, Qt::AlignCenter | Qt::TextDontClip, text);
    }
    painter.restore();
}
