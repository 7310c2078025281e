#pragma once

#include "geo/GeoMath.h"
#include "infobar/IndexTile.h"
#include "infobar/SpaceWeatherHelp.h"
#include "kit/MUFPalette.h"
#include "spaceweather/SpaceWeather.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QToolButton;
class SpaceWeatherStore;

// Space weather and HF propagation at a glance, at the left of the info
// bar: a header with the data sources and the time of the last update, five
// tiles (Kp, solar flux, A, sunspots and the MUF at the station), and a line
// saying where the station's MUF comes from. The help button opens a
// popover that explains the numbers.
//
// It only reads: the store's snapshot and loading flag, the MUF colours and
// the station position. It is rebuilt when the store publishes or one of
// those settings changes, never on a timer; the station's MUF comes from the
// map's shared field of the current 10-minute slot.
class SpaceWeatherPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumPanelWidth = 560;
    // Ionosondes farther than this from the station are not named.
    static constexpr double nearestLimitKm = 3000;

    struct Options {
        std::function<QDateTime()> now; // UTC now when empty
    };

    explicit SpaceWeatherPanel(SpaceWeatherStore* store, QWidget* parent = nullptr);
    SpaceWeatherPanel(SpaceWeatherStore* store, Options options, QWidget* parent = nullptr);

    // The five tiles' contents for a snapshot: Kp, SFI, A, SSN, MUF. A
    // value measured more than two days before `now` (the MUF's ionosonde
    // readings: more than three hours) has its age in its tool tip; such an
    // index is drawn muted, its age ("151 days old") in place of a rating.
    // The MUF's tool tip points to the MUF layer while it is off.
    static QList<IndexTile::Content> tiles(const SpaceWeatherSnapshot& snapshot, double mufAtHome,
                                           const QString& locator, const MUFPalette& palette, const QDateTime& now,
                                           bool mufLayerShown = false);
    // The MUF at the station from the shared field of the date's slot.
    static double mufAtHome(const SpaceWeatherSnapshot& snapshot, const GeoCoordinate& home, const QDateTime& now);
    // The line under the tiles: the nearest ionosonde within 3000 km, or the
    // model's words, naming the sunspot number it stood in for a missing one.
    static QString mufCaption(const SpaceWeatherSnapshot& snapshot, const GeoCoordinate& home, const QDateTime& now);
    // ", measured 12 min ago", or empty without a time.
    static QString ageText(const std::optional<QDateTime>& time, const QDateTime& now);
    // "GFZ · NOAA · Zelq" or "NOAA · Zelq".
    static QString sourcesText(const SpaceWeatherSnapshot& snapshot);

    IndexTile* tile(int index) const { return m_tiles.value(index); }
    QString statusText() const;
    // The header's status line: its text, colour and tool tip as shown.
    QLabel* statusLabel() const { return m_status; }
    QString captionText() const;
    QToolButton* helpButton() const { return m_helpButton; }
    // The help popover while it is open.
    SpaceWeatherHelp* help() const { return m_help; }
    bool showHelp() const;
    void toggleHelp();

    // Rebuilds everything from the store and the settings.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QDateTime now() const;

    QPointer<SpaceWeatherStore> m_store;
    Options m_options;
    QLabel* m_sources = nullptr;
    QLabel* m_status = nullptr;
    QToolButton* m_helpButton = nullptr;
    QList<IndexTile*> m_tiles;
    QLabel* m_caption = nullptr;
    QPointer<SpaceWeatherHelp> m_help;
};
