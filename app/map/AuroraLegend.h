#pragma once

#include "map/OverlayPanel.h"

#include <QDateTime>
#include <QGradientStops>

#include <optional>

class QLabel;

// Explains the aurora layer's colours: a colour bar from 5 % to 90 %
// probability and, when the grid has one, the time of the model run in the
// user's time zone and locale. Shown in the map's bottom-leading column
// while the aurora layer is.
class AuroraLegend : public OverlayPanel {
    Q_OBJECT
public:
    explicit AuroraLegend(QWidget* parent = nullptr);

    // The colour bar's stops: the layer's colours at 4, 12, … 84 % placed
    // at (p − 4) / 86 along the bar. Made once.
    static const QGradientStops& stops();
    // "NOAA OVATION, " and the time (hour and minutes as the locale writes
    // a short time, with the zone's abbreviation; the date in front when it
    // is not the day of `now`) and a blank.
    static QString sourceText(const QDateTime& observationTime, const QDateTime& now);

    void setObservationTime(const std::optional<QDateTime>& time);
    // The last line; empty while hidden.
    QString sourceLine() const;

private:
    class Bar;

    std::optional<QDateTime> m_time;
    QLabel* m_source;
};
