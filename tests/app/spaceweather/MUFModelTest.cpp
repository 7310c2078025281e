// The shared MUF caches and the world images made from the services' real
// answers.
#include "map/AuroraLayer.h"
#include "map/MUFContourLayer.h"
#include "map/MUFFieldLayer.h"
#include "spaceweather/Ionosonde.h"
#include "spaceweather/MUFModel.h"
#include "spaceweather/SWPCFeeds.h"
#include "support/SpaceWeatherFeeds.h"

#include <QThreadPool>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>

#include <atomic>

namespace {

const QDateTime noon(QDate(2026, 8, 18), QTime(12, 0), QTimeZone::utc());

QList<IonosondeReading> readings()
{
    auto parsed = Zelq::parseStations(SpaceWeatherFeeds::zelqStations(noon), noon);
    EXPECT_TRUE(parsed.has_value());
    return parsed ? *parsed : QList<IonosondeReading>();
}

} // namespace

TEST(MUFModel, BuildsFieldGridAndContoursOncePerSlotForEveryThread)
{
    const QList<IonosondeReading> stations = readings();
    ASSERT_EQ(stations.size(), 2);
    const QDateTime inSlot = noon.addSecs(3 * 60 + 7);

    // The key: same slot and readings, same key; foF2 and confidence take
    // no part; a new slot or another MUF gives another.
    QList<IonosondeReading> rescored = stations;
    rescored[0].confidence = 12;
    rescored[0].fof2 = 3.3;
    EXPECT_EQ(MUFModel::key(stations, 118, noon), MUFModel::key(rescored, 118, noon.addSecs(599)));
    EXPECT_NE(MUFModel::key(stations, 118, noon), MUFModel::key(stations, 118, noon.addSecs(600)));
    EXPECT_NE(MUFModel::key(stations, 118, noon), MUFModel::key(stations, std::nullopt, noon));
    QList<IonosondeReading> remeasured = stations;
    remeasured[1].mufd += 0.1;
    EXPECT_NE(MUFModel::key(stations, 118, noon), MUFModel::key(remeasured, 118, noon));

    // Eight threads ask at once for the contours of one slot; they all get
    // the same lines, and the main thread then finds grid and contours made.
    std::atomic<int> same = 0;
    const QList<MUFModel::Contour> mine = MUFModel::contours(stations, 118, inSlot);
    const MUFModel::BuildCounts built = MUFModel::buildCounts();
    for (int i = 0; i < 8; ++i)
        QThreadPool::globalInstance()->start([&] {
            if (MUFModel::contours(stations, 118, noon) == mine
                && MUFModel::grid(stations, 118, inSlot).values().size())
                ++same;
        });
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_EQ(same, 8);
    EXPECT_EQ(MUFModel::buildCounts().grids, built.grids);
    EXPECT_EQ(MUFModel::buildCounts().contours, built.contours);

    // The field of the slot is evaluated at its centre.
    const MUFField field = MUFModel::field(stations, 118, inSlot);
    EXPECT_EQ(field.date(), noon.addSecs(300));
    EXPECT_EQ(MUFModel::grid(stations, 118, inSlot), MUFGrid(field));

    // One second into the next slot: a new grid for the new centre.
    const MUFGrid next = MUFModel::grid(stations, 118, noon.addSecs(601));
    EXPECT_EQ(MUFModel::buildCounts().grids, built.grids + 1);
    EXPECT_EQ(next, MUFGrid(MUFField(stations, 118, noon.addSecs(900))));

    // One contour per level, in order; a level the grid never reaches has
    // none, and labels only go on lines long enough for them.
    ASSERT_EQ(mine.size(), 10);
    for (std::size_t i = 0; i < MUFGrid::levels.size(); ++i)
        EXPECT_EQ(mine[qsizetype(i)].level, MUFGrid::levels[i]);
    const double highest = *std::max_element(next.values().begin(), next.values().end());
    for (const MUFModel::Contour& contour : mine) {
        if (contour.level > highest + 1) {
            EXPECT_TRUE(contour.lines.isEmpty() && contour.labels.isEmpty());
        }
        for (const QPointF& label : contour.labels)
            EXPECT_TRUE(std::ranges::any_of(contour.lines, [&](const auto& line) { return line.contains(label); }));
    }
    EXPECT_EQ(MUFContourLayer::label(24.9), "24.9");
    EXPECT_EQ(MUFContourLayer::label(35), "35");
}

TEST(MUFFieldLayer, BandedCellsTakeTheirLevelsColourSmoothOnesTheMix)
{
    // Ten stored colours, as the settings write them.
    const MUFPalette palette = MUFPalette::fromHex("#110000,#220000,#330000,#440000,#550000,"
                                                   "#660000,#770000,#880000,#990000,#AA0000");
    // Cells (0, 0), (1, 0) and (2, 0) average 2, 14 and 40 MHz; the rest 12.
    QList<double> values(MUFGrid::columns * MUFGrid::rows, 12.0);
    auto node = [&](int x, int y) -> double& { return values[y * MUFGrid::columns + x]; };
    node(0, 0) = node(0, 1) = 2;
    node(1, 0) = node(1, 1) = 2;  // cell 0: 2
    node(2, 0) = node(2, 1) = 26; // cell 1: (2 + 2 + 26 + 26) / 4 = 14
    node(3, 0) = node(3, 1) = 54; // cell 2: (26 + 26 + 54 + 54) / 4 = 40
    const MUFGrid grid(values);

    const std::optional<QImage> banded = MUFFieldLayer::makeImage(grid, true, palette);
    ASSERT_TRUE(banded);
    EXPECT_EQ(banded->size(), QSize(360, 180));
    EXPECT_EQ(banded->pixelColor(0, 0), QColor(0x11, 0, 0)); // below 3.5: the first colour
    EXPECT_EQ(banded->pixelColor(1, 0), QColor(0x55, 0, 0)); // exactly 14: the fifth
    EXPECT_EQ(banded->pixelColor(2, 0), QColor(0xAA, 0, 0)); // 40: the tenth
    EXPECT_EQ(banded->pixelColor(100, 100), QColor(0x44, 0, 0));
    const std::optional<QImage> smooth = MUFFieldLayer::makeImage(grid, false, palette);
    const QColor mixed = palette.color(12);
    EXPECT_EQ(smooth->pixelColor(100, 100), QColor(int(mixed.redF() * 255), 0, 0));
    EXPECT_EQ(smooth->pixelColor(100, 100).alpha(), 255);

    // The image cache: one entry under its key, shared by every asker.
    const std::uint64_t key = MUFFieldLayer::imageKey(7, true, palette, 0.55);
    EXPECT_NE(key, MUFFieldLayer::imageKey(7, false, palette, 0.55));
    EXPECT_NE(key, MUFFieldLayer::imageKey(7, true, MUFPalette::fromHex(QString()), 0.55));
    EXPECT_NE(key, MUFFieldLayer::imageKey(7, true, palette, 0.6));
    // An opacity that is no number is whole: a request for it always equals itself.
    EXPECT_EQ(MUFFieldLayer::imageKey(7, true, palette, std::nan("")), MUFFieldLayer::imageKey(7, true, palette, 1.0));
    const QImage first = MUFFieldLayer::cachedImage(key, grid, true, palette, 0.55);
    EXPECT_EQ(first.pixel(1, 0), qRgba(47, 0, 0, 140)); // 0x55 at the opacity, premultiplied
    EXPECT_EQ(MUFFieldLayer::cachedImage(key, MUFGrid(QList<double>()), true, palette, 0.55).cacheKey(),
              first.cacheKey());
}

TEST(AuroraLayer, ImageOfTheRealForecastAndItsBoost)
{
    const auto grid = SWPCParser::aurora(SpaceWeatherFeeds::ovationAurora());
    ASSERT_TRUE(grid.has_value());
    const std::optional<QImage> image = AuroraLayer::makeImage(*grid, 1);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(360, 181));
    // 67° N, 0° E holds 72: yellow to red at alpha 0.9, premultiplied bytes.
    const QImage bytes = image->convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const uchar* oval = bytes.constScanLine(23) + 180 * 4;
    EXPECT_EQ((std::array<int, 4> { oval[0], oval[1], oval[2], oval[3] }), (std::array<int, 4> { 229, 122, 0, 229 }));
    int brightest = 0;
    for (int y = 0; y < bytes.height(); ++y)
        for (int x = 0; x < bytes.width(); ++x)
            brightest = std::max(brightest, int(bytes.constScanLine(y)[x * 4 + 3]));
    EXPECT_EQ(brightest, 229);                   // never above 0.9 without a boost
    EXPECT_EQ(qAlpha(image->pixel(180, 90)), 0); // the equator: nothing

    // The two bands of the ovals and nothing between them.
    const QImage cached = AuroraLayer::cachedImage(AuroraLayer::cacheKey(*grid, 1), *grid, 1);
    const auto rows = AuroraLayer::visibleRows(cached);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], std::make_pair(16, 31));
    EXPECT_EQ(rows[1], std::make_pair(150, 165));

    // A small value, plain and boosted 2.5 times.
    AuroraGrid one = *grid;
    one.values.assign(one.values.size(), 0);
    one.values[0] = 4;
    auto first = [](const QImage& image) {
        const uchar* px = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied).constBits();
        return std::array<int, 4> { px[0], px[1], px[2], px[3] };
    };
    EXPECT_EQ(first(*AuroraLayer::makeImage(one, 1)), (std::array<int, 4> { 7, 87, 27, 99 }));
    EXPECT_EQ(first(*AuroraLayer::makeImage(one, 2.5)), (std::array<int, 4> { 15, 231, 55, 255 }));
    EXPECT_EQ(AuroraLayer::boost(1.8), 1.8);
    EXPECT_EQ(AuroraLayer::viewOpacity(1.8), 1.0);
    EXPECT_NE(AuroraLayer::cacheKey(one, 1), AuroraLayer::cacheKey(*grid, 1));
}
