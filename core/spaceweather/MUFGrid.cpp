#include "spaceweather/MUFGrid.h"

#include "spaceweather/MUFField.h"
#include "support/Hypotenuse.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int cellColumns = MUFGrid::columns - 1;
constexpr int cellRows = MUFGrid::rows - 1;
constexpr int nodeCount = MUFGrid::columns * MUFGrid::rows;
// Every node owns two edges: to its right neighbour (2n) and to the node
// below it (2n + 1).
constexpr int edgeKeyCount = 2 * nodeCount;

constexpr int nodeIndex(int x, int y) { return y * MUFGrid::columns + x; }

// One line segment of one cell, between two crossings on the cell's edges.
struct Piece {
    QPointF a;
    QPointF b;
    int ka;
    int kb;
};

// Where the level crosses an edge from value `from` to value `to`, as a
// fraction of the edge; edges with (almost) equal ends are cut in the middle.
double crossing(double level, double from, double to)
{
    const double span = to - from;
    return std::abs(span) < 1e-9 ? 0.5 : (level - from) / span;
}

// The marching-squares pieces of every cell, in cell order.
std::vector<Piece> tracePieces(const QList<double>& values, double level)
{
    std::vector<Piece> pieces;
    const double* v = values.constData();
    for (int y = 0; y < cellRows; ++y) {
        const double* top = v + nodeIndex(0, y);
        const double* bottom = v + nodeIndex(0, y + 1);
        for (int x = 0; x < cellColumns; ++x) {
            const double a = top[x], b = top[x + 1], c = bottom[x + 1], d = bottom[x];
            const int kind = (a >= level ? 1 : 0) | (b >= level ? 2 : 0) | (c >= level ? 4 : 0) | (d >= level ? 8 : 0);
            if (kind == 0 || kind == 15)
                continue;

            const auto topEdge = [&] {
                return std::pair { QPointF(x + crossing(level, a, b), y), 2 * nodeIndex(x, y) };
            };
            const auto bottomEdge = [&] {
                return std::pair { QPointF(x + crossing(level, d, c), y + 1), 2 * nodeIndex(x, y + 1) };
            };
            const auto leftEdge = [&] {
                return std::pair { QPointF(x, y + crossing(level, a, d)), 2 * nodeIndex(x, y) + 1 };
            };
            const auto rightEdge = [&] {
                return std::pair { QPointF(x + 1, y + crossing(level, b, c)), 2 * nodeIndex(x + 1, y) + 1 };
            };
            const auto add = [&](const std::pair<QPointF, int>& from, const std::pair<QPointF, int>& to) {
                pieces.push_back({ from.first, to.first, from.second, to.second });
            };

            switch (kind) {
            case 1:
            case 14:
                add(leftEdge(), topEdge());
                break;
            case 2:
            case 13:
                add(topEdge(), rightEdge());
                break;
            case 3:
            case 12:
                add(leftEdge(), rightEdge());
                break;
            case 4:
            case 11:
                add(rightEdge(), bottomEdge());
                break;
            case 6:
            case 9:
                add(topEdge(), bottomEdge());
                break;
            case 7:
            case 8:
                add(leftEdge(), bottomEdge());
                break;
            case 5:
            case 10: {
                // A saddle: the mean of the corners decides which diagonal
                // pair of corners the inside connects.
                // The order of the two pieces decides which line the
                // joining starts first.
                const bool centreInside = (a + b + c + d) / 4 >= level;
                if (kind == 5 && centreInside) {
                    add(leftEdge(), bottomEdge());
                    add(topEdge(), rightEdge());
                } else if (kind == 5) {
                    add(leftEdge(), topEdge());
                    add(rightEdge(), bottomEdge());
                } else if (centreInside) {
                    add(leftEdge(), topEdge());
                    add(rightEdge(), bottomEdge());
                } else {
                    add(topEdge(), rightEdge());
                    add(leftEdge(), bottomEdge());
                }
                break;
            }
            }
        }
    }
    return pieces;
}

// The pieces touching each edge key, in the order they were made, as a
// compressed table: the pieces of key k are entries[start[k] ... start[k + 1]).
struct EdgeIndex {
    std::vector<int> start;
    std::vector<int> entries;

    explicit EdgeIndex(const std::vector<Piece>& pieces)
        : start(edgeKeyCount + 1, 0)
        , entries(2 * pieces.size())
    {
        for (const Piece& piece : pieces) {
            ++start[piece.ka + 1];
            ++start[piece.kb + 1];
        }
        for (int k = 0; k < edgeKeyCount; ++k)
            start[k + 1] += start[k];
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (int i = 0; i < int(pieces.size()); ++i) {
            entries[fill[pieces[i].ka]++] = i;
            entries[fill[pieces[i].kb]++] = i;
        }
    }
};

// Follows the chain of unused pieces from an edge key, handing each far end
// to `emit`.
template <typename Emit>
void follow(int key, const std::vector<Piece>& pieces, const EdgeIndex& index, std::vector<char>& used, Emit emit)
{
    for (;;) {
        int next = -1;
        for (int e = index.start[key]; e < index.start[key + 1]; ++e) {
            if (!used[index.entries[e]]) {
                next = index.entries[e];
                break;
            }
        }
        if (next < 0)
            return;
        used[next] = 1;
        const Piece& piece = pieces[next];
        if (piece.ka == key) {
            emit(piece.b);
            key = piece.kb;
        } else {
            emit(piece.a);
            key = piece.ka;
        }
    }
}

QList<QPointF> cutCorners(const QList<QPointF>& points, bool closed)
{
    QList<QPointF> out;
    out.reserve(2 * points.size() + 1);
    if (!closed)
        out.append(points.first());
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const QPointF& p = points[i];
        const QPointF& q = points[i + 1];
        out.append(0.75 * p + 0.25 * q);
        out.append(0.25 * p + 0.75 * q);
    }
    out.append(closed ? out.first() : points.last());
    return out;
}

} // namespace

MUFGrid::MUFGrid(QList<double> values)
    : m_values(std::move(values))
{
    m_values.resize(nodeCount, 1.0);
}

MUFGrid::MUFGrid(const MUFField& field)
    : m_values(field.sampleWorld(columns, rows))
{
}

double MUFGrid::value(int x, int y) const
{
    return m_values[nodeIndex(std::clamp(x, 0, columns - 1), std::clamp(y, 0, rows - 1))];
}

double MUFGrid::interpolated(const GeoCoordinate& point) const
{
    const double fx = std::clamp(point.longitude + 180.0, 0.0, double(columns - 1));
    const double fy = std::clamp(90.0 - point.latitude, 0.0, double(rows - 1));
    if (std::isnan(fx) || std::isnan(fy))
        return std::numeric_limits<double>::quiet_NaN();
    const int x0 = int(fx);
    const int y0 = int(fy);
    const int x1 = std::min(x0 + 1, columns - 1);
    const int y1 = std::min(y0 + 1, rows - 1);
    const double tx = fx - x0;
    const double ty = fy - y0;
    const double* v = m_values.constData();
    return (1 - ty) * ((1 - tx) * v[nodeIndex(x0, y0)] + tx * v[nodeIndex(x1, y0)])
        + ty * ((1 - tx) * v[nodeIndex(x0, y1)] + tx * v[nodeIndex(x1, y1)]);
}

int MUFGrid::levelIndex(double muf)
{
    for (int i = int(levels.size()) - 1; i >= 0; --i) {
        if (muf >= levels[i])
            return i;
    }
    return -1;
}

QList<QList<QPointF>> MUFGrid::contour(double level) const
{
    const std::vector<Piece> pieces = tracePieces(m_values, level);
    QList<QList<QPointF>> lines;
    if (pieces.empty())
        return lines;

    const EdgeIndex index(pieces);
    std::vector<char> used(pieces.size(), 0);
    for (int i = 0; i < int(pieces.size()); ++i) {
        if (used[i])
            continue;
        used[i] = 1;
        QList<QPointF> forward { pieces[i].a, pieces[i].b };
        follow(pieces[i].kb, pieces, index, used, [&](const QPointF& p) { forward.append(p); });
        QList<QPointF> backward;
        follow(pieces[i].ka, pieces, index, used, [&](const QPointF& p) { backward.append(p); });

        QList<QPointF> line;
        if (backward.isEmpty()) {
            line = std::move(forward);
        } else {
            line.reserve(backward.size() + forward.size());
            for (auto it = backward.crbegin(); it != backward.crend(); ++it)
                line.append(*it);
            line.append(forward);
        }
        lines.append(smooth(line));
    }
    return lines;
}

QList<QPointF> MUFGrid::smooth(const QList<QPointF>& points)
{
    if (points.size() < 4)
        return points;
    const QPointF gap = points.last() - points.first();
    const bool closed = hypotenuse(gap.x(), gap.y()) < 1e-6;
    return cutCorners(cutCorners(points, closed), closed);
}

QList<QPointF> MUFGrid::labelPositions(const QList<QList<QPointF>>& lines, int every, int minimumPoints)
{
    every = std::max(every, 1);
    QList<QPointF> accepted;
    const auto tryAccept = [&](const QPointF& candidate) {
        for (const QPointF& p : accepted) {
            const QPointF gap = candidate - p;
            if (hypotenuse(gap.x(), gap.y()) <= 10.0)
                return;
        }
        accepted.append(candidate);
    };

    for (const QList<QPointF>& line : lines) {
        const qsizetype n = line.size();
        if (n < minimumPoints || n == 0)
            continue;
        if (2 * qsizetype(every) < n) {
            for (qsizetype i = every / 2; i < n; i += every)
                tryAccept(line[i]);
        } else {
            tryAccept(line[n / 2]);
        }
    }
    return accepted;
}
