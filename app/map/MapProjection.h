#pragma once

#include "geo/GeoMath.h"
#include "map/MapViewport.h"

#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <optional>
#include <span>

// A viewport applied to a concrete view size: the equirectangular
// (plate carrée) placement of the world rectangle in view points.
//
// Degree space is the plane the static map paths are stored in:
// x = longitude + 180 (0...360), y = 90 − latitude (0...180).
struct MapProjection {
    QSizeF size;          // view size in points
    MapViewport viewport; // already clamped for size and base
    QSizeF base;          // world rectangle size at zoom 1

    // The world rectangle at zoom 1. With fill it covers the whole view and
    // overflows on one axis, keeping 2:1; without fill it is the view itself.
    static QSizeF baseSize(QSizeF view, bool fill);

    // The projection the map draws with: base from the fit rule and the
    // viewport clamped for that view and base.
    static MapProjection forView(QSizeF view, const MapViewport& viewport, bool fill);

    double worldWidth() const { return viewport.zoom * base.width(); }
    double worldHeight() const { return viewport.zoom * base.height(); }
    QPointF origin() const;
    QRectF worldRect() const { return { origin(), QSizeF(worldWidth(), worldHeight()) }; }

    // Coordinate to view point; no wrapping, no clipping.
    QPointF point(const GeoCoordinate& c) const;
    QPointF point(double latitude, double longitude) const;

    // View point to coordinate; none outside the world rectangle (edges
    // included) or when the world rectangle is empty.
    std::optional<GeoCoordinate> coordinate(QPointF p) const;

    // The projected polylines of a line of coordinates, split wherever a
    // step between neighbours jumps more than 180° of longitude. Pieces of
    // fewer than two points are dropped.
    QList<QPolygonF> screenSegments(std::span<const GeoCoordinate> coordinates) const;

    // Degree space to view points: scale (W / 360, H / 180), then
    // translate to the world origin.
    QTransform worldTransform() const;

    friend bool operator==(const MapProjection&, const MapProjection&) = default;
};
