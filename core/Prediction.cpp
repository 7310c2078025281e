#include "Prediction.h"

#include "SolarCalculator.h"

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
double phi(double x)
{
    return 0.5 * std::erfc(-x / std::numbers::sqrt2);
}

double initialBearing(const GeoCoordinate& from, const GeoCoordinate& to, bool longPath)
{
    const double b = GeoMath::bearing(from, to);
    return longPath ? wrap360(b + 180.0) : b;
}

// sin of the sun's elevation at a point, from the subsolar point's
// trigonometry prepared once per path.
struct Sun {
    double sinLat;
    double cosLat;
    double longitude;

    explicit Sun(const GeoCoordinate& subsolar)
        : sinLat(std::sin(radians(subsolar.latitude)))
        , cosLat(std::cos(radians(subsolar.latitude)))
        , longitude(subsolar.longitude)
    {
    }

    double sinElevation(const GeoCoordinate& p) const
    {
        const double lat = radians(p.latitude);
        const double x = std::sin(lat) * sinLat + std::cos(lat) * cosLat * std::cos(radians(p.longitude - longitude));
        return std::clamp(x, -1.0, 1.0);
    }
};

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
    double nightWeight = 0;      // 0 by day, 1 by night at the receiver
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
    Geometry g;
    g.distanceKm = GeoMath::distanceKm(from, to);
    if (longPath)
        g.distanceKm = GeoMath::earthCircumferenceKm - g.distanceKm;
    const double b = initialBearing(from, to, longPath);

    // Converting a NaN count to int would be undefined; such a path gets one
    // hop, and its NaN length never opens.
    g.hops = std::isfinite(g.distanceKm) ? std::max(1, int(std::ceil(g.distanceKm / longestHopKm))) : 1;
    g.hopKm = g.distanceKm / g.hops;
    g.points.reserve(g.hops);
    for (int i = 0; i < g.hops; ++i)
        g.points.append(GeoMath::destination(from, b, (i + 0.5) * g.hopKm));
    return g;
}

PropagationPredictor::PathConditions PropagationPredictor::conditions(const Geometry& geometry,
                                                                      const GeoCoordinate& from,
                                                                      const GeoCoordinate& to, const MUFLookup& mufAt,
                                                                      const GeoCoordinate& subsolar,
                                                                      double sunspotNumber, double kp, bool longPath)
{
    PathConditions c;
    c.mufs.reserve(geometry.points.size());
    for (const GeoCoordinate& point : geometry.points)
        c.mufs.append(mufAt(point));

    const Sun sun(subsolar);
    const double b = initialBearing(from, to, longPath);
    const double offset = std::min(geometry.hopKm / 4.0, 250.0);
    c.dLayerCrossings.reserve(2 * std::max(geometry.hops, 0));
    for (int i = 0; i < geometry.hops; ++i) {
        for (const double along : { i * geometry.hopKm + offset, (i + 1) * geometry.hopKm - offset }) {
            const GeoCoordinate crossing = GeoMath::destination(from, b, along);
            c.dLayerCrossings.append(std::pow(std::max(sun.sinElevation(crossing), crossingFloor), crossingExponent));
            const double z = (std::abs(geomagneticLatitude(crossing)) - auroralCentre) / auroralWidth;
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
    return reliability(mhz, pathTerms(geometry, conditions));
}

QList<double> PropagationPredictor::allBands(const Geometry& geometry, const PathConditions& conditions) const
{
    const PathTerms terms = pathTerms(geometry, conditions);
    QList<double> result;
    result.reserve(bands.size());
    for (const auto& entry : bands)
        result.append(reliability(entry.mhz, terms));
    return result;
}
