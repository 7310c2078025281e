#include "map/RasterImage.h"
#include "map/WorldRaster.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <climits>
#include <vector>

TEST(RasterImage, AcceptsOnlyExactlySizedBuffers)
{
    std::vector<std::uint8_t> four { 10, 20, 30, 40 };
    const auto one = RasterImage::make(1, 1, four);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->size(), QSize(1, 1));
    EXPECT_EQ(one->format(), QImage::Format_RGBA8888_Premultiplied);

    EXPECT_FALSE(RasterImage::make(1, 1, std::vector<std::uint8_t>(3)));
    EXPECT_FALSE(RasterImage::make(1, 1, std::vector<std::uint8_t>(5)));
    EXPECT_FALSE(RasterImage::make(0, 1, std::vector<std::uint8_t> {}));
    EXPECT_FALSE(RasterImage::make(1, 0, std::vector<std::uint8_t> {}));
    EXPECT_FALSE(RasterImage::make(-1, -1, four));
    // A size whose byte count overflows 32 bits is no match for a small buffer.
    EXPECT_FALSE(RasterImage::make(INT_MAX, INT_MAX, four));
    EXPECT_FALSE(RasterImage::make(32768, 32768, four));
}

TEST(RasterImage, CopiesPremultipliedRowsTopFirst)
{
    // 3 × 2 pixels: odd width, so the image pads nothing but rows still
    // have to line up one after another.
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            bytes.insert(bytes.end(), { std::uint8_t(40 * x), std::uint8_t(100 * y), 7, 200 });
    const auto image = RasterImage::make(3, 2, bytes);
    ASSERT_TRUE(image);
    bytes.assign(bytes.size(), 0); // the image keeps its own copy
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const std::uint8_t* px = image->constScanLine(y) + 4 * x;
            EXPECT_EQ(px[0], 40 * x);
            EXPECT_EQ(px[1], 100 * y);
            EXPECT_EQ(px[2], 7);
            EXPECT_EQ(px[3], 200);
        }

    const auto clear = RasterImage::make(4, 4, std::vector<std::uint8_t>(64, 0));
    ASSERT_TRUE(clear);
    EXPECT_EQ(clear->pixelColor(2, 2).alpha(), 0);
    EXPECT_EQ(clear->convertToFormat(QImage::Format_ARGB32_Premultiplied).pixel(1, 1), 0u);
}

namespace {

// A world raster whose every one-degree cell has a colour of its own:
// red = column / 2, green = row, blue = column % 2 × 255.
QImage cellImage()
{
    QImage image(360, 180, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 360; ++x)
            image.setPixelColor(x, y, QColor(x / 2, y, (x % 2) * 255));
    return image;
}

QImage render(const WorldRaster& raster, QSize canvas)
{
    QImage out(canvas, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    raster.paint(painter);
    return out;
}

// The cell an image pixel belongs to, from its colour.
std::pair<int, int> cellOf(QColor c) { return { c.red() * 2 + (c.blue() > 127 ? 1 : 0), c.green() }; }

} // namespace

TEST(WorldRaster, LinesUpWithTheProjection)
{
    // Zoom 1 with the base equal to the view: the image covers the view.
    const MapProjection whole = MapProjection::forView(QSizeF(720, 360), MapViewport::world(), false);
    const QImage full = render({ cellImage(), whole }, QSize(720, 360));
    EXPECT_EQ(full.pixelColor(0, 0).alpha(), 255);
    EXPECT_EQ(full.pixelColor(719, 359).alpha(), 255);
    EXPECT_EQ(cellOf(full.pixelColor(0, 0)), std::make_pair(0, 0));
    EXPECT_EQ(cellOf(full.pixelColor(719, 359)), std::make_pair(359, 179));

    // Zoomed and panned: the pixel under the projection of a cell's centre
    // has that cell's colour.
    const MapProjection zoomed = MapProjection::forView(QSizeF(800, 500), { 6, QPointF(0.53, 0.28) }, true);
    const QImage part = render({ cellImage(), zoomed }, QSize(800, 500));
    for (const GeoCoordinate c :
         { GeoCoordinate { 45.5, 10.5 }, GeoCoordinate { 30.5, -5.5 }, GeoCoordinate { 50.5, 25.5 } }) {
        const QPointF p = zoomed.point(c);
        ASSERT_TRUE(QRectF(0, 0, 800, 500).contains(p));
        const auto [col, row] = cellOf(part.pixelColor(p.toPoint()));
        EXPECT_EQ(col, int(c.longitude + 180)) << c.latitude << "," << c.longitude;
        EXPECT_EQ(row, int(90 - c.latitude)) << c.latitude << "," << c.longitude;
    }
}

TEST(WorldRaster, StaysInsideTheView)
{
    // The view is 400 × 200 inside a larger canvas; the world overflows the
    // view when zoomed, and nothing may land outside the view.
    const MapProjection zoomed = MapProjection::forView(QSizeF(400, 200), { 3, QPointF(0.5, 0.5) }, false);
    const QImage out = render({ cellImage(), zoomed }, QSize(600, 300));
    EXPECT_EQ(out.pixelColor(399, 199).alpha(), 255);
    EXPECT_EQ(out.pixelColor(401, 100).alpha(), 0);
    EXPECT_EQ(out.pixelColor(100, 201).alpha(), 0);

    // A null image draws nothing.
    const QImage none = render({ QImage(), zoomed }, QSize(100, 100));
    EXPECT_EQ(none.pixelColor(50, 50).alpha(), 0);
}
