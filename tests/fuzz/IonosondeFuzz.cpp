// The ionosonde station feed, and the searches the map runs over what it
// gives.

#include "FuzzSupport.h"

#include "spaceweather/Ionosonde.h"

#include <QTimeZone>

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const QDateTime now(QDate(2026, 8, 18), QTime(12, 0), QTimeZone::utc());
    const auto readings = Zelq::parseStations(body, now);
    if (!readings) {
        const bool isJson = SWPCParser::parseJson(body).has_value();
        FUZZ_CHECK(readings.error().kind
                   == (isJson ? SWPCParser::ParseError::Kind::unexpectedFormat : SWPCParser::ParseError::Kind::json));
        return 0;
    }
    for (const IonosondeReading& reading : *readings) {
        FUZZ_CHECK(std::abs(reading.coordinate.latitude) <= 90);
        FUZZ_CHECK(reading.coordinate.longitude >= -180 && reading.coordinate.longitude <= 180);
        FUZZ_CHECK(std::isfinite(reading.mufd) && reading.mufd > 0);
        FUZZ_CHECK(!reading.fof2 || std::isfinite(*reading.fof2));
        FUZZ_CHECK(!reading.confidence || (std::isfinite(*reading.confidence) && *reading.confidence >= 0));
        FUZZ_CHECK(!reading.time || reading.time->msecsTo(now) <= Zelq::maxAge * 1000);
    }

    // The searches over the readings, at the stations themselves and at a
    // few fixed places.
    QList<GeoCoordinate> points { { 0, 0 }, { 52.5, 13.4 }, { -33.9, 151.2 }, { 90, 180 } };
    for (qsizetype i = 0; i < readings->size() && i < 8; ++i)
        points.append(readings->at(i).coordinate);
    for (const GeoCoordinate& point : points) {
        if (const auto nearest = Zelq::nearest(point, *readings, 2000)) {
            FUZZ_CHECK(nearest->distanceKm >= 0 && nearest->distanceKm <= 2000);
            FUZZ_CHECK(!nearest->reading.confidence || *nearest->reading.confidence >= 25);
        }
        if (const auto estimate = Zelq::estimate(point, *readings)) {
            FUZZ_CHECK(estimate->stationsUsed > 0 && estimate->stationsUsed <= readings->size());
            FUZZ_CHECK(estimate->confidence >= 0 && estimate->confidence <= 1);
            FUZZ_CHECK(std::isfinite(estimate->nearestDistanceKm));
            // A weighted mean lies within the values it weighs.
            double lowest = INFINITY;
            double highest = 0;
            for (const IonosondeReading& reading : *readings) {
                lowest = std::min(lowest, reading.mufd);
                highest = std::max(highest, reading.mufd);
            }
            FUZZ_CHECK(std::isfinite(estimate->muf));
            FUZZ_CHECK(estimate->muf >= lowest * (1 - 1e-9) && estimate->muf <= highest * (1 + 1e-9));
            FUZZ_CHECK(!Zelq::highestOpenBand(estimate->muf).isEmpty());
        }
    }
    return 0;
}
