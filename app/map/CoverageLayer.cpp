#include "map/CoverageLayer.h"

#include "map/WorldRaster.h"
#include "prediction/ReliabilityColor.h"
#include "spaceweather/MUFModel.h"
#include "support/CacheKey.h"
#include "support/OneEntryCache.h"
#include "support/RowBands.h"

#include <cmath>

namespace {

OneEntryCache<QImage>& cache()
{
    static OneEntryCache<QImage> instance;
    return instance;
}

// What every cell of one image shares: the slot's grid and the Sun's place,
// sunspot number and Kp of its field, and the band's frequency.
struct Sky {
    MUFGrid grid;
    GeoCoordinate subsolar;
    double sunspotNumber = 0;
    double kp = CoverageLayer::assumedKp;
    double mhz = 0;

    Sky(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date,
        std::optional<double> kpNow, double mhz)
        : grid(MUFModel::grid(readings, ssn, date))
        , mhz(mhz)
    {
        const MUFField field = MUFModel::field(readings, ssn, date);
        subsolar = field.subsolar();
        sunspotNumber = field.sunspotNumber();
        kp = kpNow.value_or(CoverageLayer::assumedKp);
    }

    // The short path's reliability from home to one point, its MUF read
    // from the grid along the way.
    double reliability(const PropagationPredictor& predictor, const GeoCoordinate& home, const GeoCoordinate& to) const
    {
        const auto g = PropagationPredictor::geometry(home, to, false);
        const auto conditions = PropagationPredictor::conditions(
            g, home, to, [this](const GeoCoordinate& point) { return grid.interpolated(point); }, subsolar,
            sunspotNumber, kp, false);
        return predictor.reliability(mhz, g, conditions);
    }
};

} // namespace

std::uint64_t CoverageLayer::cacheKey(const GeoCoordinate& home, Band band, const QList<IonosondeReading>& readings,
                                      std::optional<double> ssn, const QDateTime& date, std::optional<double> kp,
                                      const StationSetup& setup)
{
    CacheKey key;
    key.add(MUFModel::key(readings, ssn, date));
    key.add(std::int64_t(rawValue(band)));
    key.add(home.latitude).add(home.longitude).add(setup.powerW);
    key.add(std::uint64_t(setup.antennas.hash(0)));
    key.add(rawValue(setup.mode)).add(rawValue(setup.noise));
    // Kp counts in thirds, the steps the index is published in.
    key.add(kp.has_value());
    if (kp)
        key.add(std::int64_t(std::isfinite(*kp) ? std::trunc(std::clamp(*kp, -1e6, 1e6) * 3) : 0));
    return key.value();
}

std::optional<QImage> CoverageLayer::image(const GeoCoordinate& home, Band band,
                                           const QList<IonosondeReading>& readings, std::optional<double> ssn,
                                           const QDateTime& date, std::optional<double> kp, const StationSetup& setup)
{
    const auto mhz = PropagationPredictor::mhz(band);
    if (!mhz)
        return std::nullopt;
    return cache().get(cacheKey(home, band, readings, ssn, date, kp, setup), [&] {
        const Sky sky(readings, ssn, date, kp, *mhz);
        const PropagationPredictor predictor(setup);
        QList<double> values(rows * columns, 0.0);
        double* const cells = values.data();
        // The cost of a cell grows with its distance (hops), so rows are
        // dealt out in turn rather than cut into blocks.
        RowBands::deal(rows, [&](int part, int parts) {
            for (int r = part; r < rows; r += parts) {
                const double latitude = 89.0 - 2.0 * r;
                for (int column = 0; column < columns; ++column)
                    cells[r * columns + column]
                        = sky.reliability(predictor, home, GeoCoordinate { latitude, -179.0 + 2.0 * column });
            }
        });
        return coverageImage(values, columns, rows);
    });
}

std::optional<double> CoverageLayer::quickValue(const GeoCoordinate& at, const GeoCoordinate& home, Band band,
                                                const QList<IonosondeReading>& readings, std::optional<double> ssn,
                                                const QDateTime& date, std::optional<double> kp,
                                                const StationSetup& setup)
{
    const auto mhz = PropagationPredictor::mhz(band);
    if (!mhz)
        return std::nullopt;
    return Sky(readings, ssn, date, kp, *mhz).reliability(PropagationPredictor(setup), home, at);
}

int CoverageLayer::imageBuilds() { return cache().builds(); }

std::optional<std::pair<int, int>> CoverageLayer::visibleRows(const QImage& image)
{
    std::optional<int> first;
    int last = 0;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 0) {
                if (!first)
                    first = y;
                last = y + 1;
                break;
            }
    }
    if (!first)
        return std::nullopt;
    return std::pair { *first, last };
}

void CoverageLayer::draw(QPainter& painter) const { WorldRaster { raster, projection }.paint(painter); }
