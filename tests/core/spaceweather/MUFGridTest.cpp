#include "spaceweather/MUFGrid.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr int columns = MUFGrid::columns;
constexpr int rows = MUFGrid::rows;

// A grid of one value with a few nodes set.
struct GridBuilder {
    QList<double> values = QList<double>(columns * rows, 0.0);

    GridBuilder& fill(double v)
    {
        values.fill(v);
        return *this;
    }
    GridBuilder& set(int x, int y, double v)
    {
        values[y * columns + x] = v;
        return *this;
    }
    MUFGrid grid() const { return MUFGrid(values); }
};

using Line = QList<QPointF>;

bool isClosed(const Line& line) { return line.size() > 1 && line.first() == line.last(); }

bool onBorder(const QPointF& p) { return p.x() == 0 || p.x() == columns - 1 || p.y() == 0 || p.y() == rows - 1; }

} // namespace

TEST(MUFGrid, LevelsAndLevelBands)
{
    EXPECT_EQ(MUFGrid::levels.size(), 10u);
    EXPECT_TRUE(std::is_sorted(MUFGrid::levels.begin(), MUFGrid::levels.end()));
    EXPECT_EQ(MUFGrid::levels.front(), 3.5);
    EXPECT_EQ(MUFGrid::levels[7], 24.9);
    EXPECT_EQ(MUFGrid::levels.back(), 35);

    EXPECT_EQ(MUFGrid::levelIndex(3.49), -1);
    EXPECT_EQ(MUFGrid::levelIndex(0), -1);
    EXPECT_EQ(MUFGrid::levelIndex(-INFINITY), -1);
    EXPECT_EQ(MUFGrid::levelIndex(std::numeric_limits<double>::quiet_NaN()), -1);
    EXPECT_EQ(MUFGrid::levelIndex(3.5), 0);
    EXPECT_EQ(MUFGrid::levelIndex(4.99), 0);
    EXPECT_EQ(MUFGrid::levelIndex(5), 1);
    EXPECT_EQ(MUFGrid::levelIndex(24.89), 6);
    EXPECT_EQ(MUFGrid::levelIndex(24.9), 7);
    EXPECT_EQ(MUFGrid::levelIndex(34.99), 8);
    EXPECT_EQ(MUFGrid::levelIndex(35), 9);
    EXPECT_EQ(MUFGrid::levelIndex(100), 9);
}

TEST(MUFGrid, ReadsNodesWithClamping)
{
    GridBuilder b;
    b.set(0, 180, 7).set(360, 0, 9).set(12, 34, 5.5);
    const MUFGrid grid = b.grid();
    EXPECT_EQ(grid.values().size(), columns * rows);
    EXPECT_EQ(grid.value(12, 34), 5.5);
    EXPECT_EQ(grid.value(-5, 500), 7);
    EXPECT_EQ(grid.value(1000, -1), 9);
    EXPECT_EQ(grid.value(INT_MIN, INT_MAX), 7);

    // Lists of the wrong length are cut or padded with the floor value.
    const MUFGrid shortGrid(QList<double> { 4, 5 });
    EXPECT_EQ(shortGrid.values().size(), columns * rows);
    EXPECT_EQ(shortGrid.value(1, 0), 5);
    EXPECT_EQ(shortGrid.value(2, 0), 1.0);
    EXPECT_EQ(shortGrid.value(360, 180), 1.0);
    const MUFGrid longGrid(QList<double>(columns * rows + 10, 3.0));
    EXPECT_EQ(longGrid.values().size(), columns * rows);
}

TEST(MUFGrid, InterpolatesBilinearlyAndClampsAtTheEdges)
{
    GridBuilder b;
    // Node (190, 40) is at 10° E, 50° N.
    b.set(190, 40, 10).set(191, 40, 20).set(190, 41, 30).set(191, 41, 60);
    b.set(360, 100, 8).set(0, 100, 8).set(200, 180, 4).set(201, 180, 6);
    const MUFGrid grid = b.grid();

    EXPECT_EQ(grid.interpolated({ 50, 10 }), 10);
    EXPECT_EQ(grid.interpolated({ 49, 11 }), 60);
    // A quarter east and a half south of the node: rows blend 12.5 and 37.5.
    EXPECT_DOUBLE_EQ(grid.interpolated({ 49.5, 10.25 }), 25);
    EXPECT_DOUBLE_EQ(grid.interpolated({ 50, 10.5 }), 15);

    EXPECT_EQ(grid.interpolated({ -10, 180 }), 8);  // column 360
    EXPECT_EQ(grid.interpolated({ -10, 190 }), 8);  // clamped, not wrapped
    EXPECT_EQ(grid.interpolated({ -10, -180 }), 8); // column 0
    EXPECT_EQ(grid.interpolated({ -90, 20 }), 4);   // row 180
    EXPECT_DOUBLE_EQ(grid.interpolated({ -95, 20.5 }), 5);
    EXPECT_DOUBLE_EQ(grid.interpolated({ -INFINITY, 20.5 }), 5);
    EXPECT_TRUE(std::isnan(grid.interpolated({ std::numeric_limits<double>::quiet_NaN(), 0 })));
    EXPECT_TRUE(std::isnan(grid.interpolated({ 0, std::numeric_limits<double>::quiet_NaN() })));
}

TEST(MUFGridSmooth, CutsCornersTwiceKeepingEndsAndRings)
{
    const Line three { { 0, 0 }, { 1, 1 }, { 2, 0 } };
    EXPECT_EQ(MUFGrid::smooth(three), three);
    EXPECT_EQ(MUFGrid::smooth({}), Line {});

    const Line open { { 0, 0 }, { 4, 0 }, { 4, 4 }, { 0, 4 } };
    const Line s = MUFGrid::smooth(open);
    // First pass: (0,0) (1,0) (3,0) (4,1) (4,3) (3,4) (1,4) (0,4).
    ASSERT_EQ(s.size(), 16);
    EXPECT_EQ(s.first(), QPointF(0, 0));
    EXPECT_EQ(s.last(), QPointF(0, 4));
    EXPECT_EQ(s[1], QPointF(0.25, 0));
    EXPECT_EQ(s[2], QPointF(0.75, 0));
    EXPECT_EQ(s[5], QPointF(3.25, 0.25));
    EXPECT_EQ(s[6], QPointF(3.75, 0.75));
    EXPECT_EQ(s[14], QPointF(0.25, 4));

    const Line ring { { 0, 0 }, { 4, 0 }, { 4, 4 }, { 0, 4 }, { 0, 0 } };
    const Line r = MUFGrid::smooth(ring);
    // First pass: (1,0) (3,0) (4,1) (4,3) (3,4) (1,4) (0,3) (0,1) (1,0).
    ASSERT_EQ(r.size(), 17);
    EXPECT_EQ(r.first(), r.last());
    EXPECT_EQ(r.first(), QPointF(1.5, 0));
    EXPECT_EQ(r[15], QPointF(0.75, 0.25));

    // A gap just under 1e-6 still counts as closed; one of 1e-3 does not.
    const Line almost { { 0, 0 }, { 4, 0 }, { 4, 4 }, { 0, 4 }, { 0, 5e-7 } };
    EXPECT_EQ(MUFGrid::smooth(almost).size(), 17);
    const Line notQuite { { 0, 0 }, { 4, 0 }, { 4, 4 }, { 0, 4 }, { 0, 1e-3 } };
    EXPECT_EQ(MUFGrid::smooth(notQuite).size(), 20);
}

TEST(MUFGridContour, NoLinesWhenTheLevelIsNotCrossed)
{
    GridBuilder b;
    b.fill(10).set(50, 50, 12);
    const MUFGrid grid = b.grid();
    EXPECT_TRUE(grid.contour(5).isEmpty());  // every node inside
    EXPECT_TRUE(grid.contour(13).isEmpty()); // none inside
    EXPECT_TRUE(grid.contour(std::numeric_limits<double>::quiet_NaN()).isEmpty());
    // A level equal to every value puts every node inside.
    EXPECT_TRUE(GridBuilder().fill(7).grid().contour(7).isEmpty());
}

TEST(MUFGridContour, SinglePeakGivesOneClosedRing)
{
    GridBuilder b;
    b.set(100, 50, 10);
    const auto lines = b.grid().contour(5);
    // Joined from the first piece (cell 99,49: right → bottom) round the node.
    const Line raw { { 100, 49.5 }, { 99.5, 50 }, { 100, 50.5 }, { 100.5, 50 }, { 100, 49.5 } };
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].size(), 4 * 5 - 3);
    EXPECT_EQ(lines[0], MUFGrid::smooth(raw));
    EXPECT_TRUE(isClosed(lines[0]));
}

TEST(MUFGridContour, CrossingsAreInterpolatedAlongEachEdge)
{
    GridBuilder b;
    b.fill(2).set(100, 50, 12);
    // L = 4.5: a quarter of the way from the low nodes towards the peak.
    const auto lines = b.grid().contour(4.5);
    const Line raw { { 100, 49.25 }, { 99.25, 50 }, { 100, 50.75 }, { 100.75, 50 }, { 100, 49.25 } };
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], MUFGrid::smooth(raw));
}

TEST(MUFGridContour, SaddleWithInsideCentreJoinsTheDiagonal)
{
    // Cell (0, 0) has a = c = 10 and b = d = 0: the centre 5 is inside at
    // L = 5, so the cell gives left → bottom and top → right and the two
    // inside nodes share one line that runs from the left border to the top.
    GridBuilder b;
    b.set(0, 0, 10).set(1, 1, 10);
    const auto lines = b.grid().contour(5);
    const Line raw { { 0, 0.5 }, { 0.5, 1 }, { 1, 1.5 }, { 1.5, 1 }, { 1, 0.5 }, { 0.5, 0 } };
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].size(), 4 * 6);
    EXPECT_EQ(lines[0], MUFGrid::smooth(raw));
}

TEST(MUFGridContour, SaddleWithOutsideCentreSeparatesTheCorners)
{
    // The same corners at L = 6: the centre 5 is outside, the cell gives
    // left → top (around the corner node, a two-point line left unsmoothed)
    // and right → bottom (the start of a ring round node (1, 1)).
    GridBuilder b;
    b.set(0, 0, 10).set(1, 1, 10);
    const auto lines = b.grid().contour(6);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], (Line { { 0, 0.4 }, { 0.4, 0 } }));
    const Line ring { { 1, 0.6 }, { 0.6, 1 }, { 1, 1.4 }, { 1.4, 1 }, { 1, 0.6 } };
    EXPECT_EQ(lines[1], MUFGrid::smooth(ring));

    // The mirrored saddle (case 10: b and d inside) the same way round.
    GridBuilder m;
    m.set(11, 0, 10).set(10, 1, 10);
    const auto mirrored = m.grid().contour(6);
    ASSERT_EQ(mirrored.size(), 2);
    // Cell (9, 0) comes first and starts the ring round node (10, 1), which
    // takes the saddle's second piece (left → bottom); the first piece
    // (top → right) then starts the line round the border node (11, 0).
    const Line ring2 { { 10, 0.6 }, { 9.6, 1 }, { 10, 1.4 }, { 10.4, 1 }, { 10, 0.6 } };
    EXPECT_EQ(mirrored[0], MUFGrid::smooth(ring2));
    EXPECT_EQ(mirrored[1], (Line { { 10.6, 0 }, { 11, 0.4 }, { 11.4, 0 } }));

    // A case-10 saddle in the first cell: its top → right piece comes first,
    // so the line round node (1, 0) is the first line.
    GridBuilder first;
    first.set(1, 0, 10).set(0, 1, 10);
    const auto firstLines = first.grid().contour(6);
    ASSERT_EQ(firstLines.size(), 2);
    EXPECT_EQ(firstLines[0], (Line { { 0.6, 0 }, { 1, 0.4 }, { 1.4, 0 } }));
    EXPECT_EQ(firstLines[1], (Line { { 0, 0.6 }, { 0.4, 1 }, { 0, 1.4 } }));
}

TEST(MUFGridContour, NearlyEqualCornersAreCutInTheMiddle)
{
    // Columns up to 100 just below the level, the rest just above: the two
    // sides differ by 1e-10, so every crossing is at x = 100.5 however
    // lopsided the values are. One straight line from the top border to the
    // bottom one.
    GridBuilder b;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x)
            b.set(x, y, x <= 100 ? 5 - 1e-11 : 5 + 9e-11);
    }
    const auto lines = b.grid().contour(5);
    ASSERT_EQ(lines.size(), 1);
    const Line& line = lines[0];
    ASSERT_EQ(line.size(), 4 * rows);
    for (const QPointF& p : line)
        EXPECT_EQ(p.x(), 100.5);
    EXPECT_EQ(line.first().y(), 0);
    EXPECT_EQ(line.last().y(), 180);
}

TEST(MUFGridContour, TheAntimeridianColumnsAreNotJoined)
{
    // A band of high values along both edge columns: two lines, one on each
    // side, each from the top border to the bottom one.
    GridBuilder b;
    for (int y = 0; y < rows; ++y)
        b.set(0, y, 10).set(360, y, 10);
    const auto lines = b.grid().contour(5);
    ASSERT_EQ(lines.size(), 2);
    for (const Line& line : lines) {
        EXPECT_FALSE(isClosed(line));
        EXPECT_EQ(line.first().y(), 0);
        EXPECT_EQ(line.last().y(), 180);
    }
    EXPECT_EQ(lines[0].first().x(), 0.5);
    EXPECT_EQ(lines[1].first().x(), 359.5);
}

TEST(MUFGridContour, RandomGridsLoseAndRepeatNoSegment)
{
    // Noise full of saddles. Every piece of every cell must appear in exactly
    // one line: the raw point counts behind the smoothed lines add up to the
    // pieces counted cell by cell, closed lines end where they begin and open
    // lines end on the border.
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> digit(0, 9);
    GridBuilder b;
    for (double& v : b.values)
        v = digit(random);
    const MUFGrid grid = b.grid();

    for (const double level : { 4.5, 5.0, 0.5 }) {
        qsizetype expectedPieces = 0;
        for (int y = 0; y + 1 < rows; ++y) {
            for (int x = 0; x + 1 < columns; ++x) {
                const bool a = grid.value(x, y) >= level, bb = grid.value(x + 1, y) >= level;
                const bool c = grid.value(x + 1, y + 1) >= level, d = grid.value(x, y + 1) >= level;
                const int inside = a + bb + c + d;
                if (inside == 0 || inside == 4)
                    continue;
                expectedPieces += (inside == 2 && a == c) ? 2 : 1;
            }
        }
        ASSERT_GT(expectedPieces, 10000);

        qsizetype pieces = 0;
        for (const Line& line : grid.contour(level)) {
            const qsizetype m = line.size();
            ASSERT_GE(m, 2);
            qsizetype raw = m;
            if (m >= 4)
                raw = isClosed(line) ? (m + 3) / 4 : m / 4;
            pieces += raw - 1;
            if (!isClosed(line)) {
                EXPECT_TRUE(onBorder(line.first())) << line.first().x() << "," << line.first().y();
                EXPECT_TRUE(onBorder(line.last())) << line.last().x() << "," << line.last().y();
            }
            for (const QPointF& p : line) {
                ASSERT_GE(p.x(), 0);
                ASSERT_LE(p.x(), 360);
                ASSERT_GE(p.y(), 0);
                ASSERT_LE(p.y(), 180);
            }
        }
        EXPECT_EQ(pieces, expectedPieces) << "level " << level;
    }
}

TEST(MUFGridLabels, PicksEvenlySpacedPointsApart)
{
    const auto straight = [](int n, double y) {
        Line line;
        for (int i = 0; i < n; ++i)
            line.append(QPointF(i, y));
        return line;
    };

    // Up to 2 × every points: the middle point only.
    EXPECT_EQ(MUFGrid::labelPositions({ straight(60, 0) }, 50, 24), (Line { { 30, 0 } }));
    EXPECT_EQ(MUFGrid::labelPositions({ straight(100, 0) }, 50, 24), (Line { { 50, 0 } }));
    // Longer: every / 2, then every `every` points.
    EXPECT_EQ(MUFGrid::labelPositions({ straight(150, 0) }, 50, 24), (Line { { 25, 0 }, { 75, 0 }, { 125, 0 } }));
    EXPECT_EQ(MUFGrid::labelPositions({ straight(101, 0) }, 50, 24), (Line { { 25, 0 }, { 75, 0 } }));
    // Lines below the minimum are skipped.
    EXPECT_TRUE(MUFGrid::labelPositions({ straight(23, 0) }, 50, 24).isEmpty());
    EXPECT_EQ(MUFGrid::labelPositions({ straight(24, 0) }, 50, 24), (Line { { 12, 0 } }));
    EXPECT_TRUE(MUFGrid::labelPositions({ Line {} }, 50, 0).isEmpty());

    // Candidates 10 units or closer to an accepted one, from any line, are
    // dropped; the first stays.
    const Line near = MUFGrid::labelPositions({ straight(60, 0), straight(60, 10), straight(60, 10.001) }, 50, 24);
    EXPECT_EQ(near, (Line { { 30, 0 }, { 30, 10.001 } }));
    const Line dense = MUFGrid::labelPositions({ straight(60, 0) }, 4, 1);
    // Candidates 2, 6, 10, 14, ...: each accepted one shadows the next two.
    EXPECT_EQ(dense, (Line { { 2, 0 }, { 14, 0 }, { 26, 0 }, { 38, 0 }, { 50, 0 } }));

    // A spacing below 1 does not hang or crash.
    EXPECT_EQ(MUFGrid::labelPositions({ straight(5, 0) }, 0, 1), (Line { { 0, 0 } }));
}
