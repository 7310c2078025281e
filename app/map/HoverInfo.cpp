#include "map/HoverInfo.h"

#include "geo/Maidenhead.h"
#include "geo/SolarCalculator.h"
#include "geo/Zones.h"
#include "kit/TimeFormat.h"
#include "map/OverlayPanel.h"
#include "support/NumberText.h"
#include "support/VectorState.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {

const QChar degree(0x00B0);

QString zoneText(ZoneKind kind, const GeoCoordinate& at)
{
    const std::optional<RadioZone> zone = Zones::zone(kind, at);
    return zone ? QString::number(zone->number) : QString(QChar(0x2013));
}

// "005°": whole degrees, at least three digits.
QString bearingText(double bearing) { return NumberText::printf("%03.0f", bearing) + degree; }

using GivesWay = HoverLine::GivesWay;

HoverLine textLine(QString text, HoverText::Font font, QColor colour, int gapAbove = 3,
                   GivesWay givesWay = GivesWay::never)
{
    return HoverLine {
        HoverLine::Kind::text, { HoverText { std::move(text), font, std::move(colour) } }, gapAbove, 0, 0, givesWay
    };
}

HoverLine divider() { return HoverLine { HoverLine::Kind::divider, {}, 3, 0, 0, GivesWay::never }; }

} // namespace

QList<HoverLine> HoverInfo::lines(const QDateTime& now, int spotRows) const
{
    using Font = HoverText::Font;
    const QColor primary = OverlayPanel::textColor();
    const QColor secondary = OverlayPanel::secondaryTextColor();
    QList<HoverLine> out;

    if (nearest) {
        if (nearest->isCell()) {
            out << textLine(QStringLiteral("Grid square ") + Maidenhead::locator(coordinate, 4), Font::callout,
                                           primary);
            out << textLine(nearest->name, Font::caption, secondary);
        } else {
            out << textLine(nearest->prefix + QStringLiteral("  ") + nearest->name, Font::callout, primary);
        }
    }
    out << textLine(QStringLiteral("CQ zone ") + zoneText(ZoneKind::cq, coordinate)
                                   + QStringLiteral("   ITU zone ") + zoneText(ZoneKind::itu, coordinate),
                                                    Font::caption, primary);
    out << divider();

    const SolarCalculator::SunTimes sun
        = SolarCalculator::sunTimes(now, coordinate, QTimeZone::utc(), SolarCalculator::sunriseAltitude);
    switch (sun.kind) {
    case SolarCalculator::DayKind::normal:
        out << textLine(QStringLiteral("Sunrise ") + utcTime(sun.sunrise)
                                       + QStringLiteral("   Sunset ") + utcTime(sun.sunset), Font::caption, primary);
        out << textLine(QStringLiteral("Your time: ") + localTime(sun.sunrise)
                                       + QStringLiteral(" / ") + localTime(sun.sunset), Font::caption, secondary, 1,
                                                        GivesWay::secondary);
        break;
    case SolarCalculator::DayKind::polarDay:
        out << textLine(QStringLiteral("Sun up all day (midnight sun)"), Font::caption, primary);
        break;
    case SolarCalculator::DayKind::polarNight:
        out << textLine(QStringLiteral("Sun down all day (polar night)"), Font::caption, primary);
        break;
    }
    const double elevation = SolarCalculator::elevation(coordinate, SolarCalculator::position(now).subsolarPoint);
    out << textLine(NumberText::printf("Sun elevation now %.0f", elevation) + degree, Font::caption, secondary, 3,
                    GivesWay::secondary);
    out << divider();

    out << textLine(NumberText::printf("%.2f", std::abs(coordinate.latitude)) + degree
                    + (coordinate.latitude < 0 ? QStringLiteral("S") : QStringLiteral("N"))
                       + QStringLiteral("  ") + NumberText::printf("%.2f", std::abs(coordinate.longitude)) + degree
                                        + (coordinate.longitude < 0 ? QStringLiteral("W") : QStringLiteral("E"))
                                           + QStringLiteral("   Grid ") + Maidenhead::locator(coordinate, 6),
                                                            Font::caption, primary);
    out << divider();

    out << textLine(QStringLiteral("Antenna from your QTH"), Font::caption, secondary, 3, GivesWay::secondary);
    const double d = GeoMath::distanceKm(home, coordinate);
    const double b = GeoMath::bearing(home, coordinate);
    double longBearing = std::fmod(b + 180, 360);
    if (longBearing < 0)
        longBearing += 360;
    const auto pathRow = [&](const QString& title, double bearing, double distance, int gapAbove) {
        return HoverLine { HoverLine::Kind::grid,
                           { HoverText { title, Font::caption, primary },
                             HoverText { bearingText(bearing), Font::callout, primary },
                             HoverText { km(distance), Font::caption, primary } },
                           gapAbove,
                           1,
                           10 };
    };
    out << pathRow(QStringLiteral("Short path"), b, d, 3);
    out << pathRow(QStringLiteral("Long path"), longBearing, std::max(0.0, GeoMath::earthCircumferenceKm - d), 1);

    if (aurora && *aurora >= 4)
        out << textLine(QStringLiteral("Aurora probability ") + QString::number(*aurora) + QLatin1Char('%'),
                                       Font::caption, primary);
    out << textLine(mufLine(), Font::caption, primary);
    if (coverageLine)
        out << textLine(*coverageLine, Font::captionSemibold, primary);
    if (pathMUF)
        out << textLine(pathLine(*pathMUF), Font::caption, primary);

    if (group && !group->spots.isEmpty()) {
        out << divider();
        out << textLine(QStringLiteral("On the DX cluster now"), Font::captionSemibold, spotColor);
        const qsizetype shown
            = std::clamp<qsizetype>(spotRows, 0, std::min<qsizetype>(group->spots.size(), maxSpotRows));
        for (qsizetype i = 0; i < shown; ++i) {
            const DXSpot& spot = group->spots[i];
            const QColor colour = callColor(spot);
            const QString said = spot.comment.isEmpty() ? QStringLiteral("de ") + spot.spotter
                                                        : spot.comment + QStringLiteral("  de ") + spot.spotter;
            out << HoverLine {
                HoverLine::Kind::grid,
                { HoverText { NumberText::printf("%.1f", spot.frequencyKHz), Font::captionSemibold, primary },
                  HoverText { spot.mode ? rawValue(*spot.mode) : QString(), Font::caption, primary },
                  HoverText { spot.call, Font::caption, colour },
                  HoverText { age(spot.time, now), Font::caption, secondary },
                  HoverText { tag(spot), Font::tag, colour }, HoverText { said, Font::caption, secondary, 260 } },
                i == 0 ? 3 : 1,
                2,
                8
            };
        }
        // With no row left, the heading's count says how many are spotted.
        const qsizetype left = group->spots.size() - shown;
        const QString what
            = shown > 0 ? QStringLiteral(" more") : left == 1 ? QStringLiteral(" spot") : QStringLiteral(" spots");
        if (left > 0)
            out << textLine(QStringLiteral("+ ") + QString::number(left) + what, Font::caption, secondary);
    }
    return out;
}

QString HoverInfo::utcTime(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid())
        return QStringLiteral("--:--");
    return TimeFormat::formatter(QStringLiteral("HH:mm"), QTimeZone::utc()).string(*date) + QLatin1Char('z');
}

QString HoverInfo::localTime(const std::optional<QDateTime>& date) const
{
    if (!date || !date->isValid())
        return QStringLiteral("--:--");
    const QString pattern = use24Hour ? QStringLiteral("HH:mm") : QStringLiteral("h:mm AP");
    const QTimeZone zone = QTimeZone::systemTimeZone();
    VectorState::clean(); // Qt finds the zone by hashing its name
    return TimeFormat::formatter(pattern, zone).string(*date);
}

QString HoverInfo::mufLine() const
{
    QString line = NumberText::printf("MUF here \u2248 %.0f MHz", mufHere);
    if (nearestIonosonde)
        line += QStringLiteral(" (nearest ionosonde ") + nearestIonosonde->reading.name
                               + NumberText::printf(", %.0f km)", nearestIonosonde->distanceKm);
    if (measuredShare < 0.3)
        line += QStringLiteral(", modelled estimate");
    return line;
}

QString HoverInfo::pathLine(const MUFField::PathMUF& path)
{
    const QString hops
        = path.hops == 1 ? QStringLiteral("1 hop") : QString::number(path.hops) + QStringLiteral(" hops");
    const GeoCoordinate& at = path.limitingPoint;
    const QString place = NumberText::printf("%.0f", std::abs(at.latitude)) + degree
        + (at.latitude < 0 ? QStringLiteral("S ") : QStringLiteral("N "))
           + NumberText::printf("%.0f", std::abs(at.longitude)) + degree
           + (at.longitude < 0 ? QStringLiteral("W") : QStringLiteral("E"));
    QString line = NumberText::printf("Path MUF (short path) \u2248 %.0f MHz, up to ", path.muf)
        + Zelq::highestOpenBand(path.muf)
        + QStringLiteral(" \u00B7 ") + hops + QStringLiteral(", lowest near ") + place;
    if (path.measuredShare < 0.3)
        line += QStringLiteral(" (modelled, no ionosonde there)");
    return line;
}

QString HoverInfo::km(double distance)
{
    const double rounded = std::round(distance);
    if (!std::isfinite(rounded) || std::abs(rounded) >= 1e15)
        return NumberText::printf("%.0f km", distance);
    const qint64 whole = qint64(rounded);
    QString digits = QString::number(whole < 0 ? -whole : whole);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return (whole < 0 ? QStringLiteral("-") : QString()) + digits + QStringLiteral(" km");
}

QColor HoverInfo::callColor(const DXSpot& spot) const
{
    if (group) {
        const QString id = spot.id();
        if (group->watchedIDs.contains(id))
            return watchColor;
        if (group->neededIDs.contains(id))
            return neededColor;
    }
    return OverlayPanel::textColor();
}

QString HoverInfo::tag(const DXSpot& spot) const
{
    if (!group)
        return {};
    const QString id = spot.id();
    if (group->watchedIDs.contains(id))
        return QStringLiteral("WATCHED");
    if (group->neededIDs.contains(id))
        return neededLabel;
    return {};
}

QString HoverInfo::age(const QDateTime& time, const QDateTime& now)
{
    const qint64 minutes = time.secsTo(now) / 60; // toward zero
    return minutes > 0 ? QString::number(minutes) + QStringLiteral(" min") : QStringLiteral("now");
}
