#include "map/ViewPicture.h"

#include "map/PainterPixelRatio.h"
#include "support/RowBands.h"

#include <QPainter>

#include <cmath>

void ViewPicture::paint(QPainter& painter, const MapProjection& projection, std::uint64_t key, QRect area,
                        const Draw& draw)
{
    area &= QRect(QPoint(0, 0), projection.size.toSize());
    if (area.isEmpty())
        return;
    const double ratio = devicePixelRatioOf(painter);
    if (m_image.isNull() || m_key != key || !(m_projection == projection) || m_area != area || m_ratio != ratio) {
        clear();
        const QSize pixels(int(std::ceil(area.width() * ratio)), int(std::ceil(area.height() * ratio)));
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) {
            // No memory for a picture: draw straight onto the view.
            painter.save();
            painter.setClipRect(area, Qt::IntersectClip);
            draw(painter);
            painter.restore();
            return;
        }
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        // Each band paints its own rows through its own image header over
        // the picture's memory, clipped to those rows.
        uchar* const bits = image.bits();
        const qsizetype bytesPerLine = image.bytesPerLine();
        const auto renderHints = painter.renderHints();
        RowBands::run(image.height(), [&](int top, int bottom) {
            QImage slice(bits + top * bytesPerLine, image.width(), bottom - top, bytesPerLine, image.format());
            slice.setDevicePixelRatio(ratio);
            QPainter band(&slice);
            band.setRenderHints(renderHints);
            band.translate(-area.left(), -area.top() - top / ratio);
            band.setClipRect(QRectF(area.left(), area.top() + top / ratio, area.width(), (bottom - top) / ratio));
            draw(band);
        });
        m_image = std::move(image);
        m_key = key;
        m_projection = projection;
        m_area = area;
        m_ratio = ratio;
        ++m_renders;
    }
    painter.drawImage(QPointF(m_area.topLeft()), m_image);
}

void ViewPicture::clear()
{
    m_image = QImage();
    m_key = 0;
    m_area = QRect();
    m_ratio = 0;
}
