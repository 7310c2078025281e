#include "kit/MapStyle.h"
#include "map/HaloText.h"
#include "map/LineRaster.h"
#include "map/MarkersLayer.h"
#include "map/PrefixLayer.h"
#include "map/ZoneLayer.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <functional>

namespace {

QFont testFont(int pixels)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

QImage render(QSize size, const std::function<void(QPainter&)>& paint, double ratio = 1)
{
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter);
    return image;
}

// Bounding box and count of the pixels that pass a test.
struct Ink {
    QRect box;
    int count = 0;
};

Ink ink(
    const QImage& image, const std::function<bool(QRgb)>& test = [](QRgb p) { return qAlpha(p) > 0; })
{
    Ink result;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixel(x, y))) {
                result.box = result.box.united(QRect(x, y, 1, 1));
                ++result.count;
            }
    return result;
}

const MapProjection world { QSizeF(360, 180), MapViewport::world(), QSizeF(360, 180) }; // 1 point per degree

RadioZone zone(int number, double lat, double lon, QList<Ring> rings)
{
    return { number, "Zone " + QString::number(number), lat, lon, std::move(rings) };
}

} // namespace

TEST(HaloText, GlowSurroundsTheGlyphsInTheHaloColourAndTheSetIsRenderedOnce)
{
    const QFont font = testFont(14);
    const HaloText plain = HaloText::render("W1", font, Qt::white, Qt::transparent, 1.2, 1);
    const HaloText glowing = HaloText::render("W1", font, Qt::white, QColor(255, 0, 0), 4, 1);
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_GT(plain.box.width(), 10);
    EXPECT_EQ(plain.box, glowing.box); // the halo never changes the text's box
    // Red glow outside the white glyphs, none without a halo colour.
    auto reddish = [](QRgb p) { return qAlpha(p) > 20 && qRed(p) > 2 * qGreen(p) + 10; };
    EXPECT_EQ(ink(plain.image, reddish).count, 0);
    EXPECT_GT(ink(glowing.image, reddish).count, 20);
    EXPECT_GT(ink(glowing.image).box.width(), ink(plain.image).box.width());
    EXPECT_TRUE(HaloText::render("", font, Qt::white, Qt::black, 1.2, 1).isEmpty());

    // Twice the pixel ratio: twice the pixels, the same box in points.
    const HaloText sharp = HaloText::render("W1", font, Qt::white, Qt::black, 1.2, 2);
    EXPECT_EQ(sharp.box, plain.box);
    EXPECT_NEAR(sharp.image.width(), 2 * plain.image.width(), 4);

    HaloTextCache cache;
    const QStringList texts { "G", "DL", "JA" };
    cache.texts(texts, font, Qt::yellow, Qt::black, 1.2, 1);
    cache.texts(QStringList { "G", "DL", "JA" }, font, Qt::yellow, Qt::black, 1.2, 1);
    EXPECT_EQ(cache.renders(), 1);
    cache.texts(texts, font, Qt::yellow, Qt::white, 1.2, 1);
    cache.texts(texts, font, Qt::yellow, Qt::white, 1.2, 2);
    EXPECT_EQ(cache.texts(texts, testFont(20), Qt::yellow, Qt::white, 1.2, 2).size(), 3);
    EXPECT_EQ(cache.renders(), 4);
}

TEST(PrefixLayer, LabelsSitCentredOnTheirPlacesAtAnyZoomAndAreMeasuredOnce)
{
    const QList<PrefixEntity> labels { { "ZZ9", "Test land", 0, 0, "EU" } };
    const QSize size(360, 180);
    const int before = PrefixLayer::labelRenders();
    for (const MapViewport& viewport :
         { MapViewport::world(), MapViewport { 4, { 0.5, 0.5 } }, MapViewport { 4, { 0.45, 0.55 } } }) {
        const MapProjection projection { QSizeF(size), viewport, QSizeF(size) };
        const QImage image = render(size, [&](QPainter& p) {
            PrefixLayer { projection, labels, testFont(12), Qt::yellow, QColor(0, 0, 0, 230) }.paint(p);
        });
        const QPointF at = projection.point(0, 0);
        const Ink text = ink(image, [](QRgb p) { return qRed(p) > 128 && qGreen(p) > 128; });
        ASSERT_GT(text.count, 10);
        EXPECT_NEAR(text.box.center().x(), at.x(), 2.5);
        EXPECT_NEAR(text.box.center().y(), at.y(), 3.5);
        EXPECT_LT(text.box.height(), 16); // the size does not follow the zoom
    }
    EXPECT_EQ(PrefixLayer::labelRenders(), before + 1);

    // A label far off the view draws nothing inside it.
    const MapProjection zoomed { QSizeF(size), MapViewport { 8, { 0.9, 0.1 } }.clamped(QSizeF(size), QSizeF(size)),
                                 QSizeF(size) };
    const QImage empty = render(size, [&](QPainter& p) {
        PrefixLayer { zoomed, labels, testFont(12), Qt::yellow, Qt::black }.paint(p);
    });
    EXPECT_EQ(ink(empty).count, 0);
}

TEST(MarkersLayer, HomeOverTheSunAndTheCallsignInUpperCaseBesideIt)
{
    const QSize size(360, 180);
    auto markers = [&](const QString& call, GeoCoordinate sun) {
        return render(size, [&](QPainter& p) { MarkersLayer { world, { 0, 0 }, call, sun }.paint(p); });
    };
    const QImage bare = markers("", { 45, -90 });
    const QImage lower = markers("ly2abc", { 45, -90 });
    const QImage upper = markers("LY2ABC", { 45, -90 });
    EXPECT_EQ(lower, upper);
    auto white = [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; };
    // The text starts 12 points right of home and sits above it.
    const Ink text = ink(upper.copy(192, 0, 168, 180), white);
    EXPECT_GT(text.count, 20);
    EXPECT_EQ(ink(bare.copy(192, 0, 168, 180)).count, 0);
    EXPECT_NEAR(text.box.center().y(), 80, 3);
    EXPECT_NEAR(text.box.left() + 192, 192, 2);

    // Home drawn over the Sun: its dot's colour at the common centre.
    const QColor centre = markers("", { 0, 0 }).pixelColor(180, 90);
    EXPECT_NEAR(centre.redF(), MapTheme::home().redF(), 0.05);
    EXPECT_NEAR(centre.greenF(), MapTheme::home().greenF(), 0.05);
    // The Sun alone: disc within radius 7, glow fading out by radius 14.
    const QImage& sun = bare;
    const QColor disc = sun.pixelColor(90, 45);
    EXPECT_NEAR(disc.greenF(), MapTheme::sun().greenF(), 0.05);
    EXPECT_GT(qAlpha(sun.pixel(90 + 10, 45)), 0);
    EXPECT_EQ(qAlpha(sun.pixel(90 + 15, 45)), 0);
}

TEST(ZoneLayer, OutlinesKeepWholeRingsInThreeCopiesAndSkipDegenerateOnes)
{
    const QList<RadioZone> zones {
        zone(1, 0, 0, { { 10, 10, 20, 10 }, { 10, 10, 20, 10, 15, 20, 99 } }),
        zone(2, 0, 0, {}),
    };
    const ZoneLayer::Outlines outlines = ZoneLayer::buildOutlines(zones);
    ASSERT_EQ(outlines.rings.size(), 3); // the two-point ring is skipped
    const double shifts[] = { -360, 0, 360 };
    for (int i = 0; i < 3; ++i) {
        const QPainterPath& ring = outlines.rings[i];
        ASSERT_EQ(ring.elementCount(), 4); // three points and the close; the odd 99 ignored
        EXPECT_EQ(QPointF(ring.elementAt(0)), QPointF(190 + shifts[i], 80));
        EXPECT_EQ(QPointF(ring.elementAt(2)), QPointF(195 + shifts[i], 70));
        EXPECT_EQ(outlines.bounds[i], QRectF(190 + shifts[i], 70, 10, 10));
    }
    EXPECT_TRUE(ZoneLayer::buildOutlines({}).rings.isEmpty());
}

TEST(ZoneLayer, LinesCrossTheDateLineAndNumbersAreDrawnOnceAtFullOpacity)
{
    // A zone written from 170.5° E to 190.5° E (past the date line); its
    // lines run along pixel centres.
    const QList<RadioZone> zones { zone(31, 5, 175, { { 170.5, 0.5, 190.5, 0.5, 190.5, 10.5, 170.5, 10.5 } }) };
    const ZoneLayer::Outlines outlines = ZoneLayer::buildOutlines(zones);
    const QSize size(360, 180);
    auto draw = [&](ZoneKind kind, const QList<RadioZone>& numbers, double opacity) {
        return render(size, [&](QPainter& p) {
            ZoneLayer { world, kind, QColor(255, 160, 0), opacity, testFont(12), Qt::black }.draw(p, outlines, numbers);
        });
    };
    const QImage cq = draw(ZoneKind::cq, {}, 1.0);
    // Its west copy shows at the left edge: the bottom line from −180 to −170.
    EXPECT_GT(qAlpha(cq.pixel(5, 89)), 250);
    EXPECT_GT(qAlpha(cq.pixel(355, 89)), 250);
    EXPECT_EQ(qAlpha(cq.pixel(180, 89)), 0);
    EXPECT_GT(qAlpha(cq.pixel(10, 85)), 250); // the copy's east side at −169.5°

    // Line opacity dims the lines only, never the numbers.
    const QImage dim = draw(ZoneKind::cq, zones, 0.5);
    EXPECT_NEAR(qAlpha(dim.pixel(5, 89)), 128, 3); // away from the number's text, which Qt blends differently on each processor
    const Ink number = ink(dim.copy(340, 70, 20, 20), [](QRgb p) { return qAlpha(p) == 255 && qRed(p) > 200; });
    EXPECT_GT(number.count, 5);
    // Drawn once: nothing near the west copy of the label point.
    EXPECT_EQ(ink(dim.copy(0, 70, 20, 18), [](QRgb p) { return qAlpha(p) == 255; }).count, 0);

    // No zones, no outlines: nothing at all.
    const QImage nothing = render(size, [&](QPainter& p) {
        ZoneLayer { world, ZoneKind::itu, Qt::red, 1, testFont(12), Qt::black }.draw(p, {}, {});
    });
    EXPECT_EQ(ink(nothing).count, 0);
}

TEST(ZoneLayer, ItuLinesAreDashedAndThinnerThanCqLines)
{
    const QList<RadioZone> zones { zone(1, 0, 0, { { -150, 29.5, 150, 29.5, 150, -30, -150, -30 } }) };
    const ZoneLayer::Outlines outlines = ZoneLayer::buildOutlines(zones);
    auto row = [&](ZoneKind kind) {
        const QImage image = render(QSize(360, 180), [&](QPainter& p) {
            ZoneLayer { world, kind, Qt::white, 1, testFont(12), Qt::black }.draw(p, outlines, {});
        });
        // Ink across the top line (along the centres of row 60) and along it.
        double across = 0;
        for (int y = 55; y < 66; ++y)
            across += qAlpha(image.pixel(100, y)) / 255.0;
        int gaps = 0;
        for (int x = 40; x < 320; ++x)
            gaps += qAlpha(image.pixel(x, 60)) < 128 ? 1 : 0;
        return std::pair { across, gaps };
    };
    const auto [cqInk, cqGaps] = row(ZoneKind::cq);
    EXPECT_EQ(cqGaps, 0);
    EXPECT_NEAR(cqInk, 1.2, 0.15);
    // Dashes of 5 on and 3 off: about three eighths of the line is gap.
    const auto [ituInk, ituGaps] = row(ZoneKind::itu);
    EXPECT_NEAR(ituGaps, 280 * 3 / 8.0, 20);
    EXPECT_LT(ituInk, cqInk);
}

TEST(LineRaster, CoverageIsTheLineWidthAndCrossingsNeverDarken)
{
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    LineRaster raster(image, Qt::white, 2.0);
    const QPointF across[] = { { 0, 20.3 }, { 40, 20.3 } };
    const QPointF down[] = { { 20.3, 0 }, { 20.3, 40 } };
    raster.polyline(across, 2);
    raster.polyline(down, 2);
    double total = 0;
    for (int y = 0; y < 40; ++y)
        total += qAlpha(image.pixel(5, y)) / 255.0;
    EXPECT_NEAR(total, 2.0, 0.05);
    EXPECT_EQ(qAlpha(image.pixel(20, 20)), 255);
    EXPECT_EQ(image.pixel(20, 20), qRgba(255, 255, 255, 255));
    // Points off the image are simply not drawn.
    const QPointF outside[] = { { -50, -50 }, { 100, -10 }, { 100, 100 } };
    raster.polyline(outside, 3);
    raster.polyline(outside, 1);
    // Ends beyond the range of int draw the same visible part as near ones.
    QImage far(40, 40, QImage::Format_ARGB32_Premultiplied);
    far.fill(Qt::transparent);
    LineRaster farOff(far, Qt::white, 2.0);
    const QPointF wide[] = { { -1e10, 20.3 }, { 1e10, 20.3 } }, tall[] = { { 20.3, 1e10 }, { 20.3, -1e10 } };
    const QPointF askew[] = { { 0, 5e9 }, { 1e10, -5e9 } }; // 5e9 rows below the image there
    for (const QPointF* line : { wide, tall, askew })
        farOff.polyline(line, 2);
    EXPECT_EQ(far, image);

    // Drawn in bands of rows, a dashed zig-zag comes out exactly as whole.
    const QPointF zigzag[] = { { 1, 1 }, { 38, 9.3 }, { 3, 21.7 }, { 30, 39 }, { 39.5, 2 } };
    auto dashed = [&](const std::vector<std::pair<int, int>>& bands) {
        QImage picture(40, 40, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        for (const auto& [first, last] : bands) {
            LineRaster band(picture.bits(), 40, 40, picture.bytesPerLine(), QColor(0, 200, 255, 180), 1.5, 5, 3);
            band.limitRows(first, last);
            band.polyline(zigzag, 5);
        }
        return picture;
    };
    const QImage whole = dashed({ { 0, 40 } });
    EXPECT_GT(ink(whole).count, 60);
    EXPECT_EQ(dashed({ { 0, 13 }, { 13, 14 }, { 14, 40 } }), whole);
    EXPECT_EQ(ink(dashed({ { 20, 10 } })).count, 0);
}
