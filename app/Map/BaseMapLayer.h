#pragma once

#include "MapProjection.h"
#include "MapStyle.h"

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QString>

#include <array>
#include <iterator>

class QPainter;

// Country borders as the user set them: colour (opacity included) and
// width in view points.
struct MapBorders {
    QColor color;
    double width = 0.6;

    friend bool operator==(const MapBorders&, const MapBorders&) = default;
};

// Font and colour of the graticule labels.
struct GridLabels {
    QFont font;
    QColor color;

    friend bool operator==(const GridLabels&, const GridLabels&) = default;
};

// The graticule label font: "System" (or an empty family) gives the system
// font at medium weight; any other family is used as named. Sizes are in
// view points, like every other size on the map.
QFont gridLabelFont(const QString& family, double size);

// The static outlines of the base map in degree space (x = longitude + 180,
// y = 90 − latitude), built once and drawn through the projection's world
// transform. Land and the colour groups fill even-odd, lakes non-zero.
struct BaseMapPaths {
    QPainterPath land;                  // every country ring, in list order
    std::array<QPainterPath, 7> groups; // countries of colour group 1...7
    QPainterPath lakes;

    // Polygons are lists of rings; a ring is a flat list longitude,
    // latitude, … in degrees. Rings of fewer than three points are skipped
    // and an odd number left at a ring's end is ignored; every ring is its
    // own closed sub-path.
    template <typename Polygons>
    static QPainterPath makePath(const Polygons& polygons)
    {
        QPainterPath path;
        for (const auto& polygon : polygons)
            for (const auto& ring : polygon)
                addRing(path, std::data(ring), qsizetype(std::size(ring)));
        return path;
    }

    // Countries carry a colour group `c` and polygons `p`; lakes are lists
    // of rings (each lake a polygon).
    template <typename Countries, typename Lakes>
    static BaseMapPaths build(const Countries& countries, const Lakes& lakes)
    {
        BaseMapPaths paths;
        for (const auto& country : countries) {
            const QPainterPath outline = makePath(country.p);
            paths.land.addPath(outline);
            if (country.c >= 1 && country.c <= 7)
                paths.groups[std::size_t(country.c - 1)].addPath(outline);
        }
        paths.lakes = makePath(lakes);
        paths.setFillRules();
        return paths;
    }

private:
    static void addRing(QPainterPath& path, const double* ring, qsizetype count);
    void setFillRules();
};

// The bottom layer of the world map: ocean gradient, land (or the
// political style's country colours), borders, lakes and, on request, the
// graticule with its labels and the tropics and polar circles.
struct BaseMapLayer {
    MapProjection projection;
    MapStyle style = MapStyle::dark;
    bool showGrid = true;
    MapBorders borders;
    GridLabels gridLabels;

    // The process-wide outlines from the map data, built on first use.
    static const BaseMapPaths& paths();

    // Draws the layer, reusing the previous picture when nothing it depends
    // on (projection, style, settings, device pixel ratio) has changed.
    void paint(QPainter& painter) const;

    // Draws everything from scratch with the given outlines.
    void draw(QPainter& painter, const BaseMapPaths& outlines) const;

    friend bool operator==(const BaseMapLayer&, const BaseMapLayer&) = default;

private:
    void drawGrid(QPainter& painter) const;
};

// Only the borders and lake outlines, redrawn above the MUF shading so
// they stay visible through it.
struct BorderOverlayLayer {
    MapProjection projection;
    MapBorders borders;

    void paint(QPainter& painter) const;
    void draw(QPainter& painter, const BaseMapPaths& outlines) const;
};
