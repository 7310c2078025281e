#pragma once

#include "geo/GeoMath.h"

#include <QList>
#include <QPointF>

#include <array>

class MUFField;

// The MUF sampled once on a one-degree world grid, so that maps can shade
// bands and trace contour lines without evaluating the field per pixel.
//
// Node (x, y) lies at longitude x − 180 and latitude 90 − y: column 0 is
// 180° W and column 360 is 180° E (the antimeridian is present twice, with
// equal values), row 0 is 90° N and row 180 is 90° S. Contour points and
// label positions are in the same grid coordinates, fractional.
//
// A grid is an immutable value; it may be read from several threads at once.
class MUFGrid {
public:
    static constexpr int columns = 361;
    static constexpr int rows = 181;
    // The contour levels in MHz used everywhere: palette, legend, settings.
    static constexpr std::array<double, 10> levels { 3.5, 5, 7, 10, 14, 18, 21, 24.9, 28, 35 };

    // A grid of given values, row-major (index = row × 361 + column). A list
    // of the wrong length is cut, or padded with the 1 MHz floor.
    explicit MUFGrid(QList<double> values);
    // Evaluates the field at every node: each value equals `field.muf` there.
    explicit MUFGrid(const MUFField& field);

    const QList<double>& values() const { return m_values; }

    // The node value, x clamped to 0...360 and y to 0...180.
    double value(int x, int y) const;

    // Bilinear value at a coordinate. Longitudes beyond ±180 and latitudes
    // beyond ±90 are clamped to the grid's edge, not wrapped. A NaN
    // coordinate gives NaN.
    double interpolated(const GeoCoordinate& point) const;

    // The index of the highest level at or below the value, −1 below the
    // lowest level.
    static int levelIndex(double muf);

    // The contour lines of one level by marching squares: a node at or above
    // the level is inside. Each line is joined from the cells' pieces and
    // smoothed; closed lines end on their first point, open lines end on the
    // grid's border. Lines are not joined across the antimeridian.
    QList<QList<QPointF>> contour(double level) const;

    // Where labels go along a level's lines: lines shorter than
    // `minimumPoints` get none; a line of at most 2 × `every` points gets its
    // middle point, a longer one every `every` points starting at every / 2.
    // A candidate within 10 grid units of an accepted one is dropped. An
    // `every` below 1 counts as 1.
    static QList<QPointF> labelPositions(const QList<QList<QPointF>>& lines, int every, int minimumPoints);

    // Two passes of corner cutting. Lines of fewer than 4 points are
    // returned unchanged; open lines keep their end points, closed lines
    // (first and last point within 1e-6) stay closed.
    static QList<QPointF> smooth(const QList<QPointF>& points);

    friend bool operator==(const MUFGrid&, const MUFGrid&) = default;

private:
    QList<double> m_values;
};
