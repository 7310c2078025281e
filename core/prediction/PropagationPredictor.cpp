#include "prediction/PropagationPredictor.h"

#include "geo/SolarCalculator.h"
#include "spaceweather/MUFField.h"
#include "support/VectorState.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double longestHopKm = 3000.0;
constexpr GeoCoordinate geomagneticPole { 80.8, -72.7 };
constexpr double auroralCentre = 66.0; // geomagnetic latitude, degrees
constexpr double auroralWidth = 6.0;
constexpr double crossingFloor = 0.05;
constexpr double crossingExponent = 0.75;
constexpr double mufSpread = 0.15;
constexpr double mufProbabilityFloor = 0.001;
constexpr double marginSpreadDB = 8.0;
constexpr double thermalNoiseDBW = -204.0;
constexpr double powerFloorW = 0.1;

// Standard normal distribution function.
double phi(double x) { return 0.5 * std::erfc(-x / std::numbers::sqrt2); }

double initialBearing(const GeoCoordinate& from, const GeoCoordinate& to, bool longPath)
{
    const double b = GeoMath::bearing(from, to);
    return longPath ? wrap360(b + 180.0) : b;
}

// The D-layer crossings of a path, walked from the station along one
// bearing. A coverage pass visits some 150000 crossings, so the sun's
// elevation and the geomagnetic latitude come from the point's
// trigonometry directly, by the spherical law of cosines, instead of
// through its latitude and longitude; results agree with those to about
// 1e-12.
class Crossings {
public:
    Crossings(const GeoCoordinate& from, double bearing, const GeoCoordinate& subsolar)
        : m_sinPhi1(std::sin(radians(from.latitude)))
        , m_cosPhi1(std::cos(radians(from.latitude)))
        , m_sinBearing(std::sin(radians(bearing)))
        , m_cosBearing(std::cos(radians(bearing)))
        , m_sun(from, subsolar)
        , m_pole(from, geomagneticPole, sinPoleLatitude, cosPoleLatitude)
    {
    }

    struct Point {
        double sinSunElevation;
        double geomagneticLatitude;
    };

    // The crossing at an angular distance from the station, given by its
    // sine and cosine.
    Point at(double sinDelta, double cosDelta) const
    {
        const double sinPhi2 = std::clamp(m_sinPhi1 * cosDelta + m_cosPhi1 * sinDelta * m_cosBearing, -1.0, 1.0);
        const double cosPhi2 = std::sqrt(1.0 - sinPhi2 * sinPhi2);
        // The longitude step as a direction, without its angle.
        const double y = m_sinBearing * sinDelta * m_cosPhi1;
        const double x = cosDelta - m_sinPhi1 * sinPhi2;
        const double r = std::sqrt(x * x + y * y); // both within ±2: no overflow
        const double cosStep = r > 0 ? x / r : 1.0;
        const double sinStep = r > 0 ? y / r : 0.0;
        return { m_sun.cosAngle(sinPhi2, cosPhi2, cosStep, sinStep),
                 degrees(std::asin(m_pole.cosAngle(sinPhi2, cosPhi2, cosStep, sinStep))) };
    }

private:
    // A fixed point seen from points of the path: the cosine of the angular
    // distance, which is the sine of the point's elevation above the
    // horizon.
    struct Target {
        double sinLat;
        double cosLat;
        double cosLonFromStart; // of the start's longitude less the target's
        double sinLonFromStart;

        Target(const GeoCoordinate& start, const GeoCoordinate& target)
            : Target(start, target, std::sin(radians(target.latitude)), std::cos(radians(target.latitude)))
        {
        }

        Target(const GeoCoordinate& start, const GeoCoordinate& target, double sinLat, double cosLat)
            : sinLat(sinLat)
            , cosLat(cosLat)
            , cosLonFromStart(std::cos(radians(start.longitude - target.longitude)))
            , sinLonFromStart(std::sin(radians(start.longitude - target.longitude)))
        {
        }

        double cosAngle(double sinPhi, double cosPhi, double cosStep, double sinStep) const
        {
            const double cosDLon = cosLonFromStart * cosStep - sinLonFromStart * sinStep;
            return std::clamp(sinPhi * sinLat + cosPhi * cosLat * cosDLon, -1.0, 1.0);
        }
    };

    static inline const double sinPoleLatitude = std::sin(radians(geomagneticPole.latitude));
    static inline const double cosPoleLatitude = std::cos(radians(geomagneticPole.latitude));

    double m_sinPhi1;
    double m_cosPhi1;
    double m_sinBearing;
    double m_cosBearing;
    Target m_sun;
    Target m_pole;
};

// The conditions of a short path at the field's time, with its MUF and
// sunspot number.
PropagationPredictor::PathConditions fieldConditions(const PropagationPredictor::Geometry& g, const GeoCoordinate& from,
                                                     const GeoCoordinate& to, const MUFField& field, double kp)
{
    return PropagationPredictor::conditions(
        g, from, to, [&field](const GeoCoordinate& p) { return field.muf(p); }, field.subsolar(), field.sunspotNumber(),
        kp, false);
}

} // namespace

// Everything of one reliability that does not depend on the frequency, so
// that the ten bands of a path share it.
struct PropagationPredictor::PathTerms {
    bool open = false;
    double effectiveMUF = 0;
    double absorptionFactor = 0; // (1 + 0.0037·SSN) × 812.64 × Σ crossings
    double slantLossDB = 0;      // 20·log10(1.15 × max(300, d))
    double auroraFactor = 0;     // 2·(Kp + 1)·0.3·exposure
    double fixedLossDB = 0;      // 2 dB per extra hop plus 8 dB
    double takeOffAngle = 0;
    double powerDBW = 0;
    double nightWeight = 0; // 0 by day, 1 by night at the receiver
};

std::optional<double> PropagationPredictor::mhz(Band band)
{
    for (const auto& entry : bands)
        if (entry.band == band)
            return entry.mhz;
    return std::nullopt;
}

double PropagationPredictor::geomagneticLatitude(const GeoCoordinate& point)
{
    return 90.0 - degrees(GeoMath::distanceKm(point, geomagneticPole) / GeoMath::earthRadiusKm);
}

PropagationPredictor::Geometry PropagationPredictor::geometry(const GeoCoordinate& from, const GeoCoordinate& to,
                                                              bool longPath)
{
    VectorState::clean();
    Geometry g;
    g.distanceKm = GeoMath::distanceKm(from, to);
    if (longPath)
        g.distanceKm = GeoMath::earthCircumferenceKm - g.distanceKm;
    const double b = initialBearing(from, to, longPath);

    // Converting a NaN count to int would be undefined; such a path gets one
    // hop, and its NaN length never opens.
    g.hops = std::isfinite(g.distanceKm) ? std::max(1, int(std::ceil(g.distanceKm / longestHopKm))) : 1;
    g.hopKm = g.distanceKm / g.hops;
    const GeoMath::Course course(from, b);
    g.points.reserve(g.hops);
    for (int i = 0; i < g.hops; ++i)
        g.points.append(course.at((i + 0.5) * g.hopKm));
    return g;
}

PropagationPredictor::PathConditions PropagationPredictor::conditions(const Geometry& geometry,
                                                                      const GeoCoordinate& from,
                                                                      const GeoCoordinate& to, const MUFLookup& mufAt,
                                                                      const GeoCoordinate& subsolar,
                                                                      double sunspotNumber, double kp, bool longPath)
{
    VectorState::clean();
    PathConditions c;
    c.mufs.reserve(geometry.points.size());
    for (const GeoCoordinate& point : geometry.points)
        c.mufs.append(mufAt(point));

    static const double darkCrossing = std::pow(crossingFloor, crossingExponent);
    const Crossings crossings(from, initialBearing(from, to, longPath), subsolar);
    const double offset = std::min(geometry.hopKm / 4.0, 250.0);
    // Both crossings of hop i lie i hops further than those of hop 0, so
    // their angles are stepped on by rotation rather than recomputed.
    const double hopAngle = geometry.hopKm / GeoMath::earthRadiusKm;
    const double sinHop = std::sin(hopAngle);
    const double cosHop = std::cos(hopAngle);
    const double upAngle = offset / GeoMath::earthRadiusKm;
    const double downAngle = (geometry.hopKm - offset) / GeoMath::earthRadiusKm;
    double along[2][2] = { { std::sin(upAngle), std::cos(upAngle) }, { std::sin(downAngle), std::cos(downAngle) } };
    c.dLayerCrossings.reserve(2 * std::max(geometry.hops, 0));
    for (int i = 0; i < geometry.hops; ++i) {
        for (auto& [sinDelta, cosDelta] : along) {
            const Crossings::Point crossing = crossings.at(sinDelta, cosDelta);
            const double sinNext = sinDelta * cosHop + cosDelta * sinHop;
            cosDelta = cosDelta * cosHop - sinDelta * sinHop;
            sinDelta = sinNext;
            // Half the crossings lie in the dark, at the floor.
            c.dLayerCrossings.append(crossing.sinSunElevation > crossingFloor
                                         ? std::pow(crossing.sinSunElevation, crossingExponent)
                                         : darkCrossing);
            const double z = (std::abs(crossing.geomagneticLatitude) - auroralCentre) / auroralWidth;
            c.auroralExposure += std::exp(-(z * z));
        }
    }
    c.receiverSunElevation = SolarCalculator::elevation(to, subsolar);
    c.sunspotNumber = sunspotNumber;
    c.kp = kp;
    return c;
}

PropagationPredictor::PathTerms PropagationPredictor::pathTerms(const Geometry& geometry,
                                                                const PathConditions& conditions) const
{
    PathTerms t;
    t.open = !conditions.mufs.isEmpty() && geometry.distanceKm > 1.0;
    if (!t.open)
        return t;
    const double lowestMUF = *std::min_element(conditions.mufs.begin(), conditions.mufs.end());
    // A 3000 km hop keeps the field's MUF; shorter hops lower it, down to a
    // third for a hop of no length.
    t.effectiveMUF = lowestMUF * (1.0 + 2.0 * std::min(geometry.hopKm, longestHopKm) / longestHopKm) / 3.0;

    double crossings = 0;
    for (const double x : conditions.dLayerCrossings)
        crossings += x;
    t.absorptionFactor = (1.0 + 0.0037 * conditions.sunspotNumber) * 812.64 * crossings;
    t.slantLossDB = 20.0 * std::log10(1.15 * std::max(300.0, geometry.distanceKm));
    t.auroraFactor = 2.0 * (conditions.kp + 1.0) * 0.3 * conditions.auroralExposure;
    t.fixedLossDB = 2.0 * (geometry.hops - 1) + 8.0;
    t.takeOffAngle = StationAntennas::takeOffAngle(geometry.hopKm);
    t.powerDBW = 10.0 * std::log10(std::max(setup.powerW, powerFloorW));
    t.nightWeight = std::clamp((6.0 - conditions.receiverSunElevation) / 12.0, 0.0, 1.0);
    return t;
}

double PropagationPredictor::reliability(double f, const PathTerms& t) const
{
    if (!t.open)
        return 0.0;
    const double m = t.effectiveMUF;
    const double pMUF = phi((m - f) / (mufSpread * m));
    if (!(pMUF > mufProbabilityFloor))
        return 0.0;

    const double logF = std::log10(f);
    const double absorption = t.absorptionFactor / (std::pow(f + 1.2, 1.98) + 10.2);
    const double freeSpace = 32.45 + 20.0 * logF + t.slantLossDB;
    const double aurora = t.auroraFactor * std::pow(10.0 / f, 1.5);
    const double loss = 0.5 * absorption + freeSpace + aurora + t.fixedLossDB;

    const double gain = setup.antennas.gain(f, t.takeOffAngle);

    const double manMade = manMadeNoiseC(setup.noise) - manMadeNoiseD(setup.noise) * logF;
    const double atmospheric = t.nightWeight * (75.0 - 30.0 * logF) + (1.0 - t.nightWeight) * (50.0 - 30.0 * logF);
    const double noise = 10.0 * std::log10(std::pow(10.0, manMade / 10.0) + std::pow(10.0, atmospheric / 10.0))
        + thermalNoiseDBW + 10.0 * std::log10(bandwidthHz(setup.mode));

    const double margin = t.powerDBW + gain + otherStationGainDBi - loss - noise - requiredSNR(setup.mode);
    const double result = pMUF * phi(margin / marginSpreadDB);
    // A frequency of zero or below has no meaningful loss; it never opens.
    return std::isnan(result) ? 0.0 : result;
}

double PropagationPredictor::reliability(double mhz, const Geometry& geometry, const PathConditions& conditions) const
{
    VectorState::clean();
    return reliability(mhz, pathTerms(geometry, conditions));
}

QList<double> PropagationPredictor::allBands(const Geometry& geometry, const PathConditions& conditions) const
{
    VectorState::clean();
    const PathTerms terms = pathTerms(geometry, conditions);
    QList<double> result;
    result.reserve(bands.size());
    for (const auto& entry : bands)
        result.append(reliability(entry.mhz, terms));
    return result;
}

QList<double> PropagationPredictor::reliabilities(const GeoCoordinate& from, const GeoCoordinate& to,
                                                  const MUFField& field, double kp) const
{
    const Geometry g = geometry(from, to, false);
    return allBands(g, fieldConditions(g, from, to, field, kp));
}

DayChart PropagationPredictor::dayChart(const GeoCoordinate& from, const GeoCoordinate& to, const MUFField& field,
                                        const QDateTime& date, double kp) const
{
    VectorState::clean();
    const QDateTime start(date.toUTC().date(), QTime(0, 0), Qt::UTC);
    // The path is the same all day; only its conditions follow the hour.
    const Geometry g = geometry(from, to, false);
    DayChart chart;
    chart.reserve(24);
    for (int hour = 0; hour < 24; ++hour) {
        const MUFField atHour = field.projected(start.addSecs(hour * 3600 + 1800));
        chart.append(allBands(g, fieldConditions(g, from, to, atHour, kp)));
    }
    return chart;
}
