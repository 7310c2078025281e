#pragma once

#include "spaceweather/FeedReadingRules.h"
#include "spaceweather/SpaceWeather.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QUrl>

#include <optional>

// The NOAA SWPC products the application reads (under Endpoints::swpcBase).
namespace SWPCEndpoint {

QUrl base();
QUrl ovationAurora();   // read by SWPCParser::aurora
QUrl kp1Minute();       // SWPCParser::kpNow
QUrl kp3Hour();         // SWPCParser::kpHistory
QUrl f107();            // SWPCParser::solarFlux
QUrl f107Summary();     // SWPCParser::solarFlux, second choice
QUrl magSummary();      // SWPCParser::magField
QUrl windSummary();     // SWPCParser::windSpeed
QUrl sunspotsDaily();   // SWPCParser::sunspots
QUrl sunspotsMonthly(); // SWPCParser::sunspots, second choice

} // namespace SWPCEndpoint

// Readers of the NOAA SWPC products: each takes a whole response body and
// gives its values, or fails with the JSON reader's error or with
// unexpectedFormat and the product's label. Single bad entries are skipped.
namespace SWPCParser {

struct KpNow {
    double kp = 0;
    std::optional<QDateTime> time;
    friend bool operator==(const KpNow&, const KpNow&) = default;
};

struct SolarFlux {
    double flux = 0;
    std::optional<QDateTime> time;
    friend bool operator==(const SolarFlux&, const SolarFlux&) = default;
};

struct Sunspots {
    double ssn = 0;
    std::optional<QDateTime> time;
    friend bool operator==(const Sunspots&, const Sunspots&) = default;
};

struct MagField {
    std::optional<double> bt;
    std::optional<double> bz;
    friend bool operator==(const MagField&, const MagField&) = default;
};

// The OVATION aurora forecast on the 360 x 181 grid ("OVATION aurora").
Result<AuroraGrid> aurora(const QByteArray& data);
// The latest estimated planetary Kp of the one-minute product ("Kp 1-minute").
Result<KpNow> kpNow(const QByteArray& data);
// The three-hourly Kp history, earliest first ("Kp 3-hour").
Result<QList<KpSample>> kpHistory(const QByteArray& data);
// The latest 10.7 cm flux, from the summary object or the daily list ("F10.7").
Result<SolarFlux> solarFlux(const QByteArray& data);
// The latest observed sunspot number, daily or monthly ("sunspots").
Result<Sunspots> sunspots(const QByteArray& data);
// The magnetic field summary ("solar wind mag").
Result<MagField> magField(const QByteArray& data);
// The solar wind speed summary ("solar wind speed").
Result<double> windSpeed(const QByteArray& data);

} // namespace SWPCParser
