#pragma once

#include "kit/MapStyle.h"
#include "map/MapProjection.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <array>
#include <iterator>
#include <vector>

class QPainter;

// Country borders as the user set them: colour (opacity included) and
// width in view points.
struct MapBorders {
    QColor color;
    double width = 0.6;

    friend bool operator==(const MapBorders&, const MapBorders&) = default;
};

// Font and colour of the graticule labels; with the system font their
// digits stand in cells of equal width (gridLabelEqualDigits).
struct GridLabels {
    QFont font;
    QColor color;
    bool equalDigits = false;

    friend bool operator==(const GridLabels&, const GridLabels&) = default;
};

// The graticule label font: the map's label font, never bold ("System" or
// an empty family gives the system font at medium weight; any other family
// is used as named). Sizes are in view points, like every other size on the
// map.
QFont gridLabelFont(const QString& family, double size);
// True when the labels' digits get cells of equal width: with the system
// font only; a named family is drawn as it comes.
bool gridLabelEqualDigits(const QString& family);

// The graticule numbers' colour from its colour text: an empty text means
// black on light styles and white on the others, both at 0.55 opacity. The
// map and the settings window's colour well and preview read it alike.
QColor gridLabelColor(const QString& stored, MapStyle style);

// One filled piece of the base map: a country polygon (its outer ring and
// holes, even-odd) or a lake (its shore and islands, non-zero), with its
// bounds in degree space so pieces off the view cost nothing.
struct BaseMapPiece {
    QPainterPath path;
    QRectF bounds;
    int group = 0; // the country's colour group; 0 for lakes
    // The piece's points when it is a single ring (no holes), closed: such
    // a piece is filled from these, which no drawing ever writes to.
    QPolygonF ring;
};

// The static outlines of the base map in degree space (x = longitude + 180,
// y = 90 − latitude), built once and drawn through the projection's world
// transform. Land fills even-odd, lakes non-zero. Once built they are only
// read, never drawn as they are: several threads draw from them at once,
// each from copies of its own.
//
// Every polygon is also kept as a piece of its own: the rasteriser fills a
// thousand small paths far faster than one huge one, and pieces outside
// the view can be skipped. Filling polygon by polygon only differs from
// filling the whole land path at once where two countries overlap.
struct BaseMapPaths {
    QPainterPath land;  // every country ring, in list order
    QPainterPath lakes; // every lake ring
    std::vector<BaseMapPiece> countryPieces;
    std::vector<BaseMapPiece> lakePieces;

    // Polygons are lists of rings; a ring is a flat list longitude,
    // latitude, … in degrees. Rings of fewer than three points are skipped
    // and an odd number left at a ring's end is ignored; every ring is its
    // own closed sub-path.
    template <typename Polygons>
    static QPainterPath makePath(const Polygons& polygons, double tolerance = 0)
    {
        QPainterPath path;
        for (const auto& polygon : polygons)
            for (const auto& ring : polygon)
                addRing(path, std::data(ring), qsizetype(std::size(ring)), tolerance);
        return path;
    }

    // Countries carry a colour group `c` and polygons `p`; lakes are lists
    // of rings (each lake a polygon). A positive tolerance (degrees) drops
    // ring points that deviate less than that from the simplified outline;
    // rings that shrink below three points vanish.
    template <typename Countries, typename Lakes>
    static BaseMapPaths build(const Countries& countries, const Lakes& lakes, double tolerance = 0)
    {
        BaseMapPaths paths;
        for (const auto& country : countries)
            for (const auto& polygon : country.p)
                paths.addPiece(paths.countryPieces, makePath(std::array { polygon }, tolerance), country.c);
        for (const auto& lake : lakes)
            paths.addPiece(paths.lakePieces, makePath(std::array { lake }, tolerance), 0);
        paths.finish();
        return paths;
    }

private:
    static void addRing(QPainterPath& path, const double* ring, qsizetype count, double tolerance);
    static void addPiece(std::vector<BaseMapPiece>& pieces, QPainterPath path, int group);
    void finish();
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

    // The process-wide outlines from the map data, built on first use:
    // full detail, and simplified copies for views too coarse to show it.
    static const BaseMapPaths& paths();
    // The outlines with as much detail as a projection shows on a device
    // of the given pixel ratio (points closer than a third of a pixel to the
    // drawn line are dropped).
    static const BaseMapPaths& paths(const MapProjection& projection, double pixelRatio);

    // The finished picture a view keeps between repaints (below).
    struct Picture;

    // Draws the layer, reusing the view's picture when nothing it depends on
    // (projection, style, settings, device pixel ratio) has changed, and
    // drawing it anew (in bands of rows, on several threads) otherwise.
    void paint(QPainter& painter, Picture& picture) const;

    // Draws everything from scratch with the given outlines. Safe to run
    // on several threads at once over the same outlines: it never draws
    // them directly (see BaseMapLayer.cpp).
    void draw(QPainter& painter, const BaseMapPaths& outlines) const;

    friend bool operator==(const BaseMapLayer&, const BaseMapLayer&) = default;

private:
    void drawGrid(QPainter& painter) const;
};

// One view's last finished base map with what it was drawn for. Every map
// view owns one, so windows of different sizes never evict each other's
// picture; a new picture replaces the old one (reusing its memory when the
// size holds).
struct BaseMapLayer::Picture {
    // How often the picture was drawn from scratch.
    int renders() const { return m_renders; }

private:
    friend struct BaseMapLayer;
    BaseMapLayer m_layer;
    double m_ratio = 0;
    QImage m_image;
    int m_renders = 0;
};

// Only the borders and lake outlines, redrawn above the MUF shading so
// they stay visible through it (from copies, like the base map).
struct BorderOverlayLayer {
    MapProjection projection;
    MapBorders borders;

    void draw(QPainter& painter, const BaseMapPaths& outlines) const;
};
