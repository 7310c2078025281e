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
    QStringList texts;
    texts.reserve(prefixes.size());
    for (const PrefixEntity& entity : prefixes)
        texts.append(entity.prefix);
    const QList<HaloText>& labels
        = labelCache().texts(texts, font, color, halo, haloRadius, devicePixelRatioOf(painter));

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF view(QPointF(0, 0), projection.size);
    for (qsizetype i = 0; i < prefixes.size(); ++i) {
        const HaloText& label = labels[i];
        const QPointF at = projection.point(prefixes[i].lat, prefixes[i].lon);
        // Labels wholly off the view cost nothing but this test.
        const QRectF extent(at - QPointF(label.box.width(), label.box.height()), label.box * 2);
        if (!view.intersects(extent.adjusted(-4, -4, 4, 4)))
            continue;
        label.drawCentered(painter, at);
    }
    painter.restore();
}
