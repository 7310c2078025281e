#include "map/GreylineLayer.h"
#include "geo/SolarCalculator.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace {

using Bytes = std::array<std::uint8_t, 4>;

QDateTime utc(int y, int m, int d, int h, int min = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), Qt::UTC);
}

// The raster cell holding a coordinate, as red, green, blue, alpha.
Bytes pixelAt(const QImage& image, double lat, double lon)
{
    const int i = std::min(int((lon + 180) * 2), GreylineLayer::rasterWidth - 1);
    const int j = std::min(int((90 - lat) * 2), GreylineLayer::rasterHeight - 1);
    const QRgb p = image.pixel(i, j); // premultiplied ARGB, no conversion
    return { std::uint8_t(qRed(p)), std::uint8_t(qGreen(p)), std::uint8_t(qBlue(p)), std::uint8_t(qAlpha(p)) };
}

} // namespace

TEST(GreylineLayer, CellShadesNightAndLightsTwilight)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double elevation, night, glow;
        NightTint tint;
        Bytes expected;
    };
    const Case cases[] = {
        // Day side and the first half degree of sunrise stay clear.
        { 0.5, 0.95, 1, NightTint::dark, { 0, 0, 0, 0 } },
        { 45, 0.95, 1, NightTint::light, { 0, 0, 0, 0 } },
        // No night and no glow: clear even at midnight.
        { -60, 0, 0, NightTint::dark, { 0, 0, 0, 0 } },
        // The night cap: intensity 1 is held to 0.95 (alpha 242).
        { -60, 1, 0, NightTint::dark, { 0, 4, 19, 242 } },
        { -18, 0.95, 0, NightTint::light, { 48, 58, 87, 242 } },
        { -30, 0.45, 0, NightTint::dark, { 0, 2, 9, 114 } },
        // Glow 1 at −2°: the glow alone reaches the caps.
        { -2, 0.45, 1, NightTint::dark, { 255, 219, 140, 255 } },
        // Just below the clear limit: almost no night, most of the glow tent's edge.
        { 0.49, 0, 1, NightTint::dark, { 43, 37, 23, 43 } },
        // Outside the tent (−5° and below) only the night remains.
        { -5, 0, 1, NightTint::dark, { 0, 0, 0, 0 } },
        // Broken settings never wrap around the byte range.
        { -2, 0, -1, NightTint::dark, { 0, 0, 0, 0 } },
        { -60, nan, nan, NightTint::dark, { 0, 0, 0, 0 } },
        { nan, 0.95, 1, NightTint::dark, { 0, 0, 0, 0 } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(GreylineLayer::cell(c.elevation, c.night, c.glow, c.tint), c.expected)
            << "elevation " << c.elevation << " night " << c.night << " glow " << c.glow;

    // Premultiplied throughout: no colour byte exceeds alpha, and the
    // night only deepens as the Sun sinks.
    int lastAlpha = 0;
    for (double e = 0.4; e > -30; e -= 0.1) {
        const Bytes px = GreylineLayer::cell(e, 0.95, 0, NightTint::light);
        EXPECT_LE(px[0], px[3]);
        EXPECT_LE(px[2], px[3]);
        EXPECT_GE(int(px[3]), lastAlpha);
        lastAlpha = px[3];
        const Bytes glowing = GreylineLayer::cell(e, 0.95, 1, NightTint::dark);
        EXPECT_LE(glowing[0], glowing[3]);
    }
}

TEST(GreylineLayer, RasterFollowsTheSun)
{
    // At the June solstice the north pole has day and the south pole night;
    // at 12 UTC the Sun stands near 0° longitude.
    const QDateTime june = utc(2026, 6, 21, 12);
    const std::optional<QImage> image = GreylineLayer::makeImage(june, 0.45, 0.1, NightTint::dark);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(720, 360));
    EXPECT_EQ(pixelAt(*image, 89.9, 0)[3], 0);
    EXPECT_EQ(pixelAt(*image, -89.9, 0)[3], 114);
    EXPECT_EQ(pixelAt(*image, 0, 0)[3], 0);
    EXPECT_EQ(pixelAt(*image, 0, 179.9)[3], 114);

    // Every cell is the cell function of the Sun's elevation at its centre.
    const GeoCoordinate sun = SolarCalculator::position(june).subsolarPoint;
    for (int j = 1; j < 360; j += 37)
        for (int i = 3; i < 720; i += 41) {
            const GeoCoordinate centre { 90 - (j + 0.5) / 2, (i + 0.5) / 2 - 180 };
            const double e = SolarCalculator::elevation(centre, sun);
            const Bytes expected = GreylineLayer::cell(e, 0.45, 0.1, NightTint::dark);
            if (std::abs(e - 0.5) > 1e-6) {
                EXPECT_EQ(pixelAt(*image, centre.latitude, centre.longitude), expected) << i << "," << j;
            }
        }

    // Twelve hours later day and night have swapped sides along the equator.
    const std::optional<QImage> midnight
        = GreylineLayer::makeImage(june.addSecs(12 * 3600), 0.45, 0.1, NightTint::dark);
    ASSERT_TRUE(midnight);
    EXPECT_EQ(pixelAt(*midnight, 0, 0)[3], 114);
    EXPECT_EQ(pixelAt(*midnight, 0, 179.9)[3], 0);
}

TEST(GreylineLayer, CacheKeepsOneImageWithinASecond)
{
    GreylineCache cache;
    int made = 0;
    bool fail = false;
    const GreylineCache::Maker maker = [&](const QDateTime&, double, double, NightTint) -> std::optional<QImage> {
        ++made;
        if (fail)
            return std::nullopt;
        QImage image(2, 1, QImage::Format_RGBA8888_Premultiplied);
        image.fill(QColor::fromRgb(made, 0, 0));
        return image;
    };
    const QDateTime t0 = utc(2026, 3, 20, 6);

    const QImage first = cache.image(t0, 0.45, 0.1, NightTint::dark, maker);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(cache.image(t0.addMSecs(500), 0.45, 0.1, NightTint::dark, maker), first);
    EXPECT_EQ(cache.image(t0.addMSecs(-999), 0.45, 0.1, NightTint::dark, maker), first);
    EXPECT_EQ(made, 1);

    // A second or more away, or any changed setting, makes a new image.
    cache.image(t0.addMSecs(1000), 0.45, 0.1, NightTint::dark, maker);
    EXPECT_EQ(made, 2);
    cache.image(t0.addMSecs(1000), 0.46, 0.1, NightTint::dark, maker);
    cache.image(t0.addMSecs(1000), 0.46, 0.2, NightTint::dark, maker);
    const QImage light = cache.image(t0.addMSecs(1000), 0.46, 0.2, NightTint::light, maker);
    EXPECT_EQ(made, 5);

    // A failed computation shows nothing and keeps the entry it had.
    fail = true;
    EXPECT_TRUE(cache.image(t0.addSecs(30), 0.46, 0.2, NightTint::light, maker).isNull());
    EXPECT_EQ(made, 6);
    EXPECT_EQ(cache.image(t0.addMSecs(1200), 0.46, 0.2, NightTint::light, maker), light);
    EXPECT_EQ(made, 6);
}

TEST(GreylineLayer, PaintsTheNightOverTheProjectedWorld)
{
    // Noon UTC at the equinox over a white page: the middle of the world
    // stays white, the date line is deep in the night.
    const QSizeF size(800, 400);
    const MapProjection projection = MapProjection::forView(size, MapViewport::world(), true);
    const GreylineLayer layer { projection, utc(2026, 3, 20, 12), 0.95, 0, NightTint::dark };

    QImage canvas(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    GreylineLayer::Picture picture;
    layer.paint(painter, picture);
    painter.end();

    EXPECT_EQ(canvas.pixel(projection.point(0, 0).toPoint()), qRgb(255, 255, 255));
    EXPECT_LT(qRed(canvas.pixel(projection.point(0, 175).toPoint())), 20);
    EXPECT_LT(qRed(canvas.pixel(projection.point(30, -175).toPoint())), 20);
}
