#pragma once

#include "cluster/SpotGroup.h"
#include "geo/GeoMath.h"
#include "geo/MapData.h"
#include "spaceweather/Ionosonde.h"
#include "spaceweather/MUFField.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// One piece of text of the hover panel, in one of the panel's fonts and a
// colour. Text from outside (spot comments, calls, station names) stays
// plain text: the view draws it as it stands.
struct HoverText {
    enum class Font {
        caption,         // the panel's own font
        captionSemibold, // emphasis
        callout,         // header and bearings, larger and semibold
        tag,             // the small bold tag of a spot
    };

    QString text;
    Font font = Font::caption;
    QColor colour;
    int maxWidth = 0; // points; longer text is cut with an ellipsis; 0 for no limit

    friend bool operator==(const HoverText&, const HoverText&) = default;
};

// One line of the hover panel, top to bottom: a text, a divider or a row
// of a grid. Consecutive grid rows with the same number share their
// columns.
struct HoverLine {
    enum class Kind { text, divider, grid };
    // What a map too short for the whole panel leaves out once the spot
    // rows but one have given way: the place's secondary lines.
    enum class GivesWay { never, secondary };

    Kind kind = Kind::text;
    QList<HoverText> cells; // one for a text line, one per column for a grid row
    int gapAbove = 3;       // points between this line and the one above
    int grid = 0;
    int columnSpacing = 0;
    GivesWay givesWay = GivesWay::never;

    friend bool operator==(const HoverLine&, const HoverLine&) = default;
};

// What the map knows about the place under the pointer, as the hover
// panel shows it: where it is (country or grid square, zones, position and
// locator), the Sun there, the bearings and distances from the station on
// the short and the long path, the aurora chance, the MUF at the place and
// along the path, a coverage line and the cluster's spots at the label.
// The map fills the values; the zones, the bearings and distances and the
// Sun are derived here from the place and the station.
struct HoverInfo {
    GeoCoordinate coordinate;
    GeoCoordinate home;
    std::optional<PrefixEntity> nearest; // the label or two-degree cell; none: no header
    std::optional<std::uint8_t> aurora;  // percent
    double mufHere = 0;                  // MHz
    double measuredShare = 0;            // 0...1 of mufHere from ionosondes
    std::optional<Zelq::NearestStation> nearestIonosonde;
    std::optional<MUFField::PathMUF> pathMUF;
    std::optional<QString> coverageLine;
    std::optional<SpotGroup> group;
    QColor spotColor;
    QColor neededColor;
    QColor watchColor;
    QString neededLabel; // "NEW ONE" or "NEW BAND"
    bool use24Hour = true;

    friend bool operator==(const HoverInfo&, const HoverInfo&) = default;

    // The spots listed at most; the rest are counted in a line of their own.
    static constexpr int maxSpotRows = 8;

    // The panel's lines at the instant `now`, listing at most `spotRows`
    // spots (fewer than eight where a short map has no room for them); a
    // line under them counts the rest ("+ 3 more", or "+ 16 spots" with
    // none listed).
    QList<HoverLine> lines(const QDateTime& now, int spotRows = maxSpotRows) const;

    // "HH:mm" and "z" in UTC; "--:--" for no time.
    static QString utcTime(const std::optional<QDateTime>& date);
    // "HH:mm" (or "h:mm AM" without the 24-hour clock) in the machine's
    // time zone; "--:--" for no time.
    QString localTime(const std::optional<QDateTime>& date) const;
    // The MUF at the place, with its nearest ionosonde and a note when the
    // value is mostly the model's.
    QString mufLine() const;
    static QString pathLine(const MUFField::PathMUF& path);
    // Whole kilometres in groups of three digits separated by blanks.
    static QString km(double distance);
    // Watched spots in the watch colour, needed ones in the needed colour,
    // others in the panel's text colour.
    QColor callColor(const DXSpot& spot) const;
    // "WATCHED", the needed label, or nothing; watched wins.
    QString tag(const DXSpot& spot) const;
    // Whole minutes and " min", or "now" under a minute (and for times
    // ahead of `now`).
    static QString age(const QDateTime& time, const QDateTime& now);
};
