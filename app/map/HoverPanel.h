#pragma once

#include "cluster/SpotGroup.h"
#include "geo/MapData.h"
#include "map/HoverInfo.h"
#include "map/MapProjection.h"
#include "map/PredictionCache.h"
#include "map/PropagationWheel.h"

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QWidget>

#include <optional>

class HoverInfoView;
class PredictionStore;
struct MapOptions;
struct SpaceWeatherSnapshot;

// The panel the map shows for the place under the pointer (a label, or the
// two-degree cell where the pointer rested): the hover information and,
// for places more than 300 km from the station, the 24-hour band wheel to
// them, side by side and top-aligned, 8 points apart. It sits in the map's
// top-leading corner, 10 points in, above the map's badges and legends, and
// lets the pointer through. On a map too short for the whole panel the
// information gives up lines (fittedLines), and the wheel is drawn
// smaller; a map that changes its size fits the panel anew.
//
// What it shows is decided here too: which label is under the pointer, and
// the panel's content for a label, from the map's settings, the space
// weather snapshot, the spotted labels and the predictions.
class HoverPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int inset = 10;
    static constexpr int spacing = 8;
    // Places this close to the station get no wheel, km.
    static constexpr double wheelMinimumKm = 300;

    // What the content is computed from: the map's state at this moment.
    struct Inputs {
        const MapOptions& options;
        const SpaceWeatherSnapshot& snapshot;
        const QList<SpotGroup>& groups; // the spotted labels, in the map's order
        QDateTime now;
        bool use24Hour = true;
        // The store whose engine predicts; none for the quick model.
        PredictionStore* engine = nullptr;
    };

    struct Content {
        HoverInfo info;
        std::optional<PropagationWheel::Content> wheel;

        friend bool operator==(const Content&, const Content&) = default;
    };

    // The label nearest a view point within max(1.3 × the label font size,
    // 10) points: first the spotted labels, then, when they are shown, the
    // prefix labels; on equal distances the earlier one. Positions are
    // projected without any date-line handling.
    static std::optional<PrefixEntity> labelUnderPointer(QPointF point, const MapProjection& projection,
                                                         const QList<SpotGroup>& groups,
                                                         const QList<PrefixEntity>& prefixes, bool showPrefixes,
                                                         double prefixFontSize);

    // The panel's content for a label or cell. The quick model's day chart
    // comes from the cache, computed there on a miss.
    static Content content(const PrefixEntity& entity, const Inputs& inputs, PredictionCache& cache);

    // The information's lines within a height (points, the panel's
    // padding included): as many spot rows as leave room for the rest,
    // down to one; then without the place's secondary lines, with one
    // spot row or, where even that is too tall, none but the count.
    static QList<HoverLine> fittedLines(const HoverInfo& info, const QDateTime& now, int height);

    explicit HoverPanel(QWidget* parent = nullptr);

    // Shows the content for an entity (computing what it needs), or hides
    // the panel for none.
    void showFor(const std::optional<PrefixEntity>& entity, const Inputs& inputs);

    const std::optional<Content>& shownContent() const { return m_content; }
    PredictionCache& cache() { return m_cache; }
    HoverInfoView* infoView() const { return m_info; }
    PropagationWheel* wheel() const { return m_wheel; }

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The lines and the wheel within the map's height.
    void fit();
    void layOut();

    PredictionCache m_cache;
    std::optional<Content> m_content;
    QDateTime m_now; // of the content shown
    HoverInfoView* m_info = nullptr;
    PropagationWheel* m_wheel = nullptr;
};
