#include "map/PrefixLayer.h"

#include "map/HaloText.h"
#include "map/PainterPixelRatio.h"

#include <QPainter>

namespace {

HaloTextCache& labelCache()
{
    static HaloTextCache cache;
    return cache;
}

} // namespace

int PrefixLayer::labelRenders() { return labelCache().renders(); }

void PrefixLayer::paint(QPainter& painter) const
{
    if (prefixes.isEmpty())
        return;
    draw(painter, labels(devicePixelRatioOf(painter)));
}

const QList<HaloText>& PrefixLayer::labels(double ratio) const
{
    QStringList texts;
    texts.reserve(prefixes.size());
    for (const PrefixEntity& entity : prefixes)
        texts.append(entity.prefix);
    return labelCache().texts(texts, font, color, halo, haloRadius, ratio);
}

void PrefixLayer::draw(QPainter& painter, const QList<HaloText>& labels) const
{
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF view(QPointF(0, 0), projection.size);
    // Labels wholly off the part being drawn cost nothing but this test.
    const QRectF drawn = painter.hasClipping() ? view.intersected(painter.clipBoundingRect()) : view;
    for (qsizetype i = 0; i < prefixes.size() && i < labels.size(); ++i) {
        const HaloText& label = labels[i];
        const QPointF at = projection.point(prefixes[i].lat, prefixes[i].lon);
        const QRectF extent(at - QPointF(label.box.width(), label.box.height()), label.box * 2);
        if (!view.intersects(extent.adjusted(-4, -4, 4, 4)) || !drawn.intersects(extent.adjusted(-4, -4, 4, 4)))
            continue;
        label.drawCentered(painter, at);
    }
    painter.restore();
}
