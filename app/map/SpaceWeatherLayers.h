#pragma once

#include "kit/MUFPalette.h"
#include "map/MUFLayer.h"
#include "map/MapProjection.h"
#include "spaceweather/MUFModel.h"
#include "spaceweather/SpaceWeather.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class PieceWork;
class QPainter;
class SpaceWeatherStore;
struct MapBorders;
struct MapOptions;

// What one map view shows of space weather: the aurora forecast (layer 2),
// the MUF shading with the borders over it and the contours (3c) and the
// ionosonde dots (3g).
//
// The costly parts never run while the map paints. When the snapshot, the
// 10-minute slot or a setting of these layers changes, the aurora image,
// the MUF grid, its contours and the shading image are built on the thread
// pool (through the process-wide one-entry caches of AuroraLayer, MUFModel
// and MUFFieldLayer, which other views and panels share) and handed back
// here; until then the map keeps showing what it had. The view's frame then
// only stretches the finished images when it is drawn anew. A layer
// switched off lets go of its images at once.
class SpaceWeatherLayers : public QObject {
    Q_OBJECT
public:
    // Follows the store's snapshot; without a store the snapshot stays
    // empty (the MUF layers then show the model alone).
    explicit SpaceWeatherLayers(SpaceWeatherStore* store, QObject* parent = nullptr);
    ~SpaceWeatherLayers() override;

    const SpaceWeatherSnapshot& snapshot() const;

    // Asks for the world images these options and the slow layers' date
    // need; builds what is missing on the pool, after the build under way
    // if there is one. Cheap; the map calls it at every paint.
    void prepare(const MapOptions& options, const QDateTime& date);

    // The layers as the bands of the view's frame draw them: each draws in
    // view points over the painter's clip and only reads what it was given
    // (an empty function when the layer shows nothing). Made on the main
    // thread for one projection and pixel ratio.
    using Draw = std::function<void(QPainter&)>;
    // 2: the aurora forecast, while it is on and the snapshot has a grid.
    Draw aurora(const MapProjection& projection, const MapOptions& options) const;
    // 3c: the MUF shading, the borders over it and the contours, each as
    // the options say, composed over one another before they go onto the
    // map. The contour lines' pictures, which may be made ahead of the
    // bands, go to `ahead` when asked for.
    Draw muf(const MapProjection& projection, const MapOptions& options, const MapBorders& borders,
             const QColor& halo, double ratio, std::shared_ptr<PieceWork>* ahead = nullptr);
    // 3g: the ionosonde dots of the snapshot.
    Draw ionosondes(const MapProjection& projection, const MapOptions& options, const QColor& halo, double ratio);

    // True while a build runs or one is waiting for it.
    bool building() const { return m_running; }
    // The finished world images in use (null when none).
    const QImage& auroraImage() const { return m_aurora.image; }
    const QImage& mufImage() const { return m_muf.image; }
    const QList<MUFModel::Contour>& contours() const { return m_muf.contours; }

Q_SIGNALS:
    // New world images arrived: the map should paint again.
    void picturesChanged();

private:
    // What the aurora and MUF layers need built; none while a layer is off.
    struct AuroraAsk {
        quint64 snapshot = 0; // the snapshot's generation
        double setting = 1;   // auroraOpacity: the boost and the opacity
        friend bool operator==(const AuroraAsk&, const AuroraAsk&) = default;
    };
    struct MUFAsk {
        quint64 snapshot = 0;
        qint64 slot = 0;
        QDateTime date; // in the slot; the field is evaluated at its centre
        bool banded = true;
        QStringList palette;
        double opacity = 1;
        friend bool operator==(const MUFAsk& a, const MUFAsk& b)
        {
            return a.snapshot == b.snapshot && a.slot == b.slot && a.banded == b.banded && a.palette == b.palette
                && a.opacity == b.opacity;
        }
    };
    struct Ask {
        std::optional<AuroraAsk> aurora;
        std::optional<MUFAsk> muf;
    };
    struct AuroraBuilt {
        std::optional<AuroraAsk> ask;
        std::uint64_t key = 0;
        QImage image;
        QList<std::pair<int, int>> rows; // image rows with visible pixels
    };
    struct MUFBuilt {
        std::optional<MUFAsk> ask;
        std::uint64_t key = 0;      // MUFModel::key
        std::uint64_t imageKey = 0; // MUFFieldLayer::imageKey
        QImage image;
        QList<MUFModel::Contour> contours;
    };
    struct Built {
        std::optional<AuroraBuilt> aurora;
        std::optional<MUFBuilt> muf;
    };

    void snapshotChanged();
    // Starts a build of what the last ask needs and is not yet built.
    void startBuild();
    void take(Built built);
    bool stale() const;
    const MUFPalette& palette(const QString& text);

    SpaceWeatherStore* m_store = nullptr;
    quint64 m_generation = 1;
    Ask m_asked;
    bool m_running = false;
    AuroraBuilt m_aurora;
    MUFBuilt m_muf;

    QString m_paletteText;
    MUFPalette m_palette;

    // The contours thinned for the scale last drawn, and that scale's key.
    QList<MUFModel::Contour> m_thinned;
    std::uint64_t m_thinnedKey = 0;
    MUFLayer::Sprites m_dots;
};
