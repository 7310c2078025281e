#pragma once

#include "cluster/Band.h"
#include "geo/GeoMath.h"
#include "map/MapProjection.h"
#include "prediction/PropagationPredictor.h"
#include "spaceweather/Ionosonde.h"

#include <QDateTime>
#include <QImage>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

class PredictionStore;
class QPainter;
class SpaceWeatherStore;
struct MapOptions;

// What one map view shows of the coverage layer (3b): the image of the
// chosen band, from the prediction store while the P.533 engine serves,
// else from the quick model.
//
// The quick model's image never runs while the map paints: when its key
// (CoverageLayer::cacheKey: band, station, setup, space weather, slot)
// changes, one pool job makes it through CoverageLayer's process-wide
// cache and hands it back here; until then the map keeps the image it has.
// The store's image is asked for at each paint; the store answers from its
// cache and computes in the background. The view's frame only stretches
// the finished image when it is drawn anew. No band frees everything at
// once.
class MapCoverage : public QObject {
    Q_OBJECT
public:
    // Either store may be missing: no space weather means the model alone,
    // no prediction store means the quick model.
    MapCoverage(SpaceWeatherStore* weather, PredictionStore* predictions, QObject* parent = nullptr);
    ~MapCoverage() override;

    // The band the options choose; none for 0 or a number that is no band.
    static std::optional<Band> band(const MapOptions& options);

    // Asks for the image these options, engine and the slow layers' date
    // need. Cheap; the map calls it at every paint.
    void prepare(const MapOptions& options, const QDateTime& date, bool useITU);
    // The image in use over the map at the layer's opacity, as the bands of
    // the view's frame draw it (only reading; empty when there is none).
    std::function<void(QPainter&)> layer(const MapProjection& projection) const;

    // The finished image in use (null when none).
    const QImage& image() const { return m_image; }
    // True while a quick-model image is being made.
    bool building() const { return m_running; }

Q_SIGNALS:
    // A new image arrived: the map should paint again.
    void picturesChanged();

private:
    // Everything the quick model's image is made from, copied for the pool.
    struct Ask {
        std::uint64_t key = 0;
        GeoCoordinate home;
        Band band = Band::m20;
        QList<IonosondeReading> readings;
        std::optional<double> ssn;
        QDateTime date;
        std::optional<double> kp;
        StationSetup setup;
    };

    void startBuild();
    void take(std::uint64_t key, const QImage& image);
    void show(const QImage& image);
    void clear();

    SpaceWeatherStore* m_weather = nullptr;
    PredictionStore* m_predictions = nullptr;
    std::optional<Ask> m_asked; // the quick model's, while it serves
    bool m_running = false;
    std::uint64_t m_builtKey = 0;
    bool m_built = false;

    QImage m_image;
    QImage m_faded;                            // m_image at the layer's opacity, made once per image
    std::optional<std::pair<int, int>> m_rows; // the image's rows with a visible pixel
};
