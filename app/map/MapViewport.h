#pragma once

#include <QPointF>
#include <QSizeF>

#include <optional>

// How far the map is zoomed and where it is centred. The centre is in unit
// coordinates of the world rectangle: x 0 is 180° W and 1 is 180° E, y 0 is
// 90° N and 1 is 90° S (y grows southwards).
struct MapViewport {
    static constexpr double minZoom = 1.0;
    static constexpr double maxZoom = 12.0;

    double zoom = 1.0;
    QPointF center { 0.5, 0.5 };

    // The whole world, centred.
    static MapViewport world() { return {}; }

    // The viewport made legal for a view and base size: zoom within 1...12
    // and the centre kept where the visible part of the world stays inside
    // the world rectangle. A world narrower (or lower) than the view is
    // centred on that axis. Without a usable view and base, the half extent
    // of the visible part is taken as 0.5 / zoom on both axes.
    MapViewport clamped(std::optional<QSizeF> view = std::nullopt, std::optional<QSizeF> base = std::nullopt) const;

    friend bool operator==(const MapViewport&, const MapViewport&) = default;
};
