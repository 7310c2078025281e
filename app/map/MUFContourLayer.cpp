#include "map/MUFContourLayer.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

QString MUFContourLayer::label(double level)
{
    // QString::number writes the same digits in every locale.
    return QString::number(level, 'f', level == std::round(level) ? 0 : 1);
}

QFont MUFContourLayer::labelFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(10);
    font.setWeight(QFont::Bold);
    return font;
}

void MUFContourLayer::draw(QPainter& painter) const
{
    const QRectF view(QPointF(0, 0), projection.size);
    const QRectF drawn = painter.hasClipping() ? view.intersected(painter.clipBoundingRect()) : view;
    const QTransform world = projection.worldTransform();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    QColor haloLine = halo;
    haloLine.setAlphaF(halo.alphaF() * 0.7f);
    for (const MUFModel::Contour& contour : contours) {
        if (contour.lines.isEmpty())
            continue;
        // The path is made in view points here, by each drawing thread for
        // itself, and the pens are plain widths in view points.
        const QPainterPath path = world.map(contour.path());
        if (!path.controlPointRect().adjusted(-2, -2, 2, 2).intersects(drawn))
            continue;
        painter.setPen(QPen(haloLine, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
        painter.setPen(QPen(palette.color(contour.level), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
    }

    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    QColor plate = halo;
    plate.setAlphaF(halo.alphaF() * 0.75f);
    const double width = projection.size.width();
    const double height = projection.size.height();
    for (const MUFModel::Contour& contour : contours) {
        if (contour.labels.isEmpty())
            continue;
        const QString text = label(contour.level);
        const double w = metrics.horizontalAdvance(text);
        const double h = metrics.height();
        const QColor colour = palette.color(contour.level);
        for (const QPointF& at : contour.labels) {
            const QPointF p = world.map(at);
            if (!(p.x() > -20 && p.x() < width + 20 && p.y() > -20 && p.y() < height + 20))
                continue;
            const QRectF plateRect(p.x() - w / 2 - 3, p.y() - h / 2, w + 6, h);
            if (!plateRect.intersects(drawn))
                continue;
            QPainterPath rounded;
            rounded.addRoundedRect(plateRect, 4, 4);
            painter.fillPath(rounded, plate);
            painter.setPen(colour);
            // Centred on the point: half the advance to the left, the
            // text's box centred vertically.
            const double baseline = p.y() - h / 2 + metrics.ascent();
            painter.drawText(QPointF(p.x() - w / 2, baseline), text);
        }
    }
    painter.restore();
}
