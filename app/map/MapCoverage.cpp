#include "map/MapCoverage.h"

#include "map/CoverageLayer.h"
#include "map/MapOptions.h"
#include "map/RasterImage.h"
#include "prediction/PredictionStore.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/CacheKey.h"
#include "support/PoolJob.h"

#include <QPainter>

#include <cmath>

MapCoverage::MapCoverage(SpaceWeatherStore* weather, PredictionStore* predictions, QObject* parent)
    : QObject(parent)
    , m_weather(weather)
    , m_predictions(predictions)
{
}

MapCoverage::~MapCoverage() = default;

std::optional<Band> MapCoverage::band(const MapOptions& options) { return bandFromRaw(options.coverageBand); }

void MapCoverage::prepare(const MapOptions& options, const QDateTime& date, bool useITU)
{
    const std::optional<Band> chosen = band(options);
    if (!chosen || !PropagationPredictor::mhz(*chosen)) {
        m_asked.reset();
        m_built = false;
        clear();
        return;
    }
    static const SpaceWeatherSnapshot noWeather;
    const SpaceWeatherSnapshot& weather = m_weather ? m_weather->snapshot() : noWeather;

    if (useITU && m_predictions) {
        // The store answers from its cache (or with its last image while
        // the engine computes) and starts a job on a miss. The last image
        // of another band would be shown under this band's legend: the map
        // shows nothing until this band's own image arrives.
        m_asked.reset();
        m_built = false;
        const std::optional<QImage> image
            = m_predictions->coverageImage(options.home, *chosen, options.station, weather.sunspotNumber, date);
        const auto& stored = m_predictions->coverage();
        if (image && stored && stored->band == *chosen)
            show(*image);
        else
            clear();
        return;
    }

    const std::uint64_t key = CoverageLayer::cacheKey(options.home, *chosen, weather.ionosondes, weather.sunspotNumber,
                                                      date, weather.kpNow, options.station);
    if (m_built && key == m_builtKey) {
        m_asked.reset();
        return;
    }
    m_asked = Ask { key,  options.home,  *chosen,        weather.ionosondes, weather.sunspotNumber,
                    date, weather.kpNow, options.station };
    if (!m_running)
        startBuild();
}

void MapCoverage::startBuild()
{
    // The job works on its own copy of the ask; the pool never touches
    // this object or the stores.
    const Ask ask = *m_asked;
    m_running = true;
    PoolJob::run(
        this,
        [ask] {
            return CoverageLayer::image(ask.home, ask.band, ask.readings, ask.ssn, ask.date, ask.kp, ask.setup)
                .value_or(QImage());
        },
        [this, key = ask.key](const QImage& image) { take(key, image); });
}

void MapCoverage::take(std::uint64_t key, const QImage& image)
{
    m_running = false;
    // What was switched off, or over to the engine, while the job ran
    // stays so.
    if (!m_asked)
        return;
    m_builtKey = key;
    m_built = true;
    if (image.isNull())
        clear();
    else
        show(image);
    if (m_asked->key != key)
        startBuild();
    else
        m_asked.reset();
    Q_EMIT picturesChanged();
}

void MapCoverage::show(const QImage& image)
{
    if (image.cacheKey() == m_image.cacheKey() && !m_image.isNull())
        return;
    m_image = image;
    m_faded = RasterImage::faded(image, CoverageLayer::mapOpacity);
    m_rows = CoverageLayer::visibleRows(m_faded);
}

void MapCoverage::clear()
{
    m_image = QImage();
    m_faded = QImage();
    m_rows.reset();
}

std::function<void(QPainter&)> MapCoverage::layer(const MapProjection& projection) const
{
    if (m_image.isNull() || !m_rows)
        return {};
    return [layer = CoverageLayer { projection, m_faded }](QPainter& band) { layer.draw(band); };
}
