#pragma once

#include "support/Hypotenuse.h"

#include <QPointF>

#include <cmath>
#include <utility>
#include <vector>

// The Douglas-Peucker step shared by the base map's rings and the MUF
// contours: of the points [first, last], marks in keep those lying farther
// than the tolerance from the chord between their kept neighbours. pointAt(i)
// gives point i, so each caller keeps its own storage.
namespace PolylineSimplifier {

template <typename PointAt>
void markFarPoints(PointAt pointAt, qsizetype first, qsizetype last, double tolerance, std::vector<char>& keep)
{
    std::vector<std::pair<qsizetype, qsizetype>> spans { { first, last } };
    while (!spans.empty()) {
        const auto [a, b] = spans.back();
        spans.pop_back();
        if (b <= a + 1)
            continue;
        const QPointF start = pointAt(a);
        const QPointF chord = pointAt(b) - start;
        const double length = hypotenuse(chord.x(), chord.y());
        qsizetype farthest = -1;
        double distance = -1;
        for (qsizetype i = a + 1; i < b; ++i) {
            const QPointF d = pointAt(i) - start;
            const double away
                = length > 0 ? std::abs(d.x() * chord.y() - d.y() * chord.x()) / length : hypotenuse(d.x(), d.y());
            if (away > distance) {
                distance = away;
                farthest = i;
            }
        }
        if (distance > tolerance) {
            keep[std::size_t(farthest)] = 1;
            spans.push_back({ a, farthest });
            spans.push_back({ farthest, b });
        }
    }
}

} // namespace PolylineSimplifier
