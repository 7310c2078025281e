#pragma once

#include "cluster/Band.h"
#include "geo/GeoMath.h"
#include "map/MapProjection.h"
#include "prediction/PropagationPredictor.h"
#include "spaceweather/Ionosonde.h"

#include <QDateTime>
#include <QImage>
#include <QList>

#include <cstdint>
#include <optional>

class QPainter;

// Where the station's signal on one band reaches in the current hour: every
// 2-degree cell of the world coloured by the predicted reliability of the
// short path from the station to the cell's centre, as a 180 × 90 image
// (north up, west left) stretched translucently over the map.
//
// The quick model's image reads the MUF of every path from the slot's
// one-degree grid of MUFModel, so all cells share one field and one grid.
// Cells of the grid: row r centred at 89 − 2r degrees north, column c at
// −179 + 2c degrees east. The colours are reliabilityColor's, at 0.85 and
// alpha 216 (coverageImage), so the quick model's image and the engine's
// look alike.
struct CoverageLayer {
    MapProjection projection;
    QImage raster; // from image() or the prediction store, faded to mapOpacity

    static constexpr int rows = 90;
    static constexpr int columns = 180;
    // The map shows the layer at this opacity, on top of the image's own.
    static constexpr double mapOpacity = 0.6;
    // Kp taken for the predictions while space weather has none.
    static constexpr double assumedKp = 2.0;

    // The quick model's image of the band for the 10-minute slot of `date`,
    // through the process-wide one-entry cache: the cached image while the
    // key (cacheKey) is the same, else a new one that replaces it. None
    // for a band that is not predicted (6 m, 4 m, 2 m) or an image that
    // cannot be made (the cache then keeps what it had). Any thread; the
    // cells are computed in parallel on the pool.
    static std::optional<QImage> image(const GeoCoordinate& home, Band band, const QList<IonosondeReading>& readings,
                                       std::optional<double> ssn, const QDateTime& date, std::optional<double> kp,
                                       const StationSetup& setup);

    // The quick model's reliability at one point, computed exactly as one
    // cell of image(). None for a band that is not predicted.
    static std::optional<double> quickValue(const GeoCoordinate& at, const GeoCoordinate& home, Band band,
                                            const QList<IonosondeReading>& readings, std::optional<double> ssn,
                                            const QDateTime& date, std::optional<double> kp, const StationSetup& setup);

    // The key of image()'s cache: the MUF model's key (readings, sunspot
    // number, slot), the band, the station, its power, its antennas, mode
    // and noise, and Kp (absent, or the integer part of 3 × Kp).
    static std::uint64_t cacheKey(const GeoCoordinate& home, Band band, const QList<IonosondeReading>& readings,
                                  std::optional<double> ssn, const QDateTime& date, std::optional<double> kp,
                                  const StationSetup& setup);

    // How often image() has computed the cells in this process (for tests).
    static int imageBuilds();

    // The image's rows that hold a visible pixel, as the first and one past
    // the last; none for an image without one.
    static std::optional<std::pair<int, int>> visibleRows(const QImage& image);

    // Stretches the image over the world rectangle.
    void draw(QPainter& painter) const;
};
