#include "MUFField.h"

#include "SolarCalculator.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Stations at this distance or farther do not correct a point.
constexpr double cutoffKm = 4500;
constexpr double gaussianKm = Zelq::influenceKm;
constexpr double nearestKm = Zelq::nearRadiusKm;
constexpr double hopKm = 3000;
constexpr double fadeHours = 6;
// The weight of one full-quality station at exactly 1500 km, exp(−1) / 1500²:
// it pulls the correction towards zero, so that at that distance half the
// residual is applied.
constexpr double priorWeight = 1.6350197385397437e-07;

// The parts of the model that depend only on the latitude (and on the
// season and sunspot number, fixed for a field).
struct LatitudeTerms {
    double day;
    double night;
    double crest; // equatorial crest
    double polar; // 1 − 0.25 × polar fall-off
};

LatitudeTerms latitudeTerms(double latitude, double subsolarLatitude, double ssn)
{
    // +1 at the local winter solstice, −1 at the summer one; the equator
    // counts as north.
    const double s = subsolarLatitude / -23.44;
    const double season = std::clamp(latitude >= 0 ? s : -s, -1.0, 1.0);
    const double absLatitude = std::abs(latitude);
    const double e = std::min(absLatitude / 30.0, 1.0);
    const double day = (5.0 + 0.05 * ssn) * (1.0 + 0.08 * e * season);
    const double night = (2.6 + 0.018 * ssn) * (1.0 - 0.18 * e * season);
    const double c = (absLatitude - 15.0) / 10.0;
    const double crest = std::exp(-(c * c));
    const double h = std::clamp((absLatitude - 55.0) / 20.0, 0.0, 1.0);
    const double p = h * h * (3.0 - 2.0 * h);
    return { day, night, crest, 1.0 - 0.25 * p };
}

double combine(const LatitudeTerms& terms, double elevation)
{
    // 0 once the Sun is about 5.7° below the horizon, 1 at the zenith.
    const double daylight = std::pow(std::clamp((std::sin(radians(elevation)) + 0.1) / 1.1, 0.0, 1.0), 0.6);
    return 3.0 * (terms.night + (terms.day - terms.night) * daylight) * (1.0 + 0.25 * daylight * terms.crest)
        * terms.polar;
}

double clampedSunspotNumber(std::optional<double> sunspotNumber)
{
    const double ssn = sunspotNumber.value_or(80.0);
    if (!(ssn >= 0)) // negative or NaN
        return 0;
    return std::min(ssn, 250.0);
}

// Confidence 0...100 as a weight factor 0.2...1; unknown counts as full.
double quality(const std::optional<double>& confidence)
{
    if (!confidence)
        return 1;
    const double c = *confidence / 100.0;
    if (c >= 1)
        return 1;
    return c > 0.2 ? c : 0.2; // NaN too gets the lowest quality
}

double stationWeight(double distanceKm, double quality)
{
    const double x = distanceKm / gaussianKm;
    const double near = std::max(nearestKm, distanceKm);
    return std::exp(-(x * x)) * quality / (near * near);
}

// Never below 1 MHz, also when a NaN slipped in.
double floored(double muf) { return muf > 1.0 ? muf : 1.0; }

double corrected(double model, double weight, double residual)
{
    return floored(model + residual / (weight + priorWeight));
}

} // namespace

MUFField::MUFField(const QList<IonosondeReading>& readings, std::optional<double> sunspotNumber, const QDateTime& date)
    : m_readings(readings)
    , m_sunspotNumber(clampedSunspotNumber(sunspotNumber))
    , m_date(date)
    , m_subsolar(SolarCalculator::position(date).subsolarPoint)
{
    m_residuals.reserve(readings.size());
    for (const IonosondeReading& reading : readings) {
        const double residual = reading.mufd - model(reading.coordinate, m_subsolar, m_sunspotNumber);
        // A reading without a finite value keeps its place but weighs
        // nothing, rather than spoiling every sum it enters.
        if (std::isfinite(residual))
            m_residuals.append({ reading.coordinate, residual, quality(reading.confidence) });
        else
            m_residuals.append({ reading.coordinate, 0, 0 });
    }
}

double MUFField::model(const GeoCoordinate& point, const GeoCoordinate& subsolar, double ssn)
{
    return combine(latitudeTerms(point.latitude, subsolar.latitude, ssn), SolarCalculator::elevation(point, subsolar));
}

MUFField::Weights MUFField::weights(const GeoCoordinate& point) const
{
    Weights sums;
    for (const Residual& entry : m_residuals) {
        const double d = GeoMath::distanceKm(point, entry.coordinate);
        if (!(d < cutoffKm))
            continue;
        const double w = stationWeight(d, entry.quality);
        sums.weight += w;
        sums.residual += w * entry.residual;
    }
    return sums;
}

double MUFField::muf(const GeoCoordinate& point) const
{
    const Weights sums = weights(point);
    return corrected(model(point, m_subsolar, m_sunspotNumber), sums.weight, sums.residual);
}

double MUFField::measuredShare(const GeoCoordinate& point) const
{
    const Weights sums = weights(point);
    return sums.weight / (priorWeight + sums.weight);
}

MUFField MUFField::projected(const QDateTime& date) const
{
    const double hours = std::abs(double(m_date.msecsTo(date))) / 3.6e6;
    const double fade = std::exp(-hours / fadeHours);

    MUFField field;
    field.m_readings = m_readings;
    field.m_sunspotNumber = m_sunspotNumber;
    field.m_date = date;
    field.m_subsolar = SolarCalculator::position(date).subsolarPoint;
    field.m_residuals = m_residuals;
    for (Residual& entry : field.m_residuals)
        entry.residual *= fade;
    return field;
}

std::optional<MUFField::PathMUF> MUFField::pathMUF(const GeoCoordinate& from, const GeoCoordinate& to) const
{
    // The distance formula turns a NaN into half the Earth's circumference,
    // so places that are not numbers are refused here.
    const auto finite = [](const GeoCoordinate& p) { return std::isfinite(p.latitude) && std::isfinite(p.longitude); };
    if (!finite(from) || !finite(to))
        return std::nullopt;
    const double d = GeoMath::distanceKm(from, to);
    if (!(d > 1.0))
        return std::nullopt;

    const int hops = std::max(1, int(std::ceil(d / hopKm)));
    const double hopLength = d / hops;
    const double bearing = GeoMath::bearing(from, to);

    PathMUF result;
    result.hops = hops;
    for (int i = 0; i < hops; ++i) {
        const GeoCoordinate midpoint = GeoMath::destination(from, bearing, (i + 0.5) * hopLength);
        const double value = muf(midpoint);
        if (i == 0 || value < result.muf) {
            result.muf = value;
            result.limitingPoint = midpoint;
        }
    }
    result.measuredShare = measuredShare(result.limitingPoint);
    return result;
}

QList<double> MUFField::sampleWorld(int columns, int rows) const
{
    QList<double> values(qsizetype(columns) * rows);
    double* out = values.data();
    for (int r = 0; r < rows; ++r) {
        const double latitude = 90.0 - r;
        const LatitudeTerms terms = latitudeTerms(latitude, m_subsolar.latitude, m_sunspotNumber);
        for (int c = 0; c < columns; ++c) {
            const GeoCoordinate node { latitude, c - 180.0 };
            const Weights sums = weights(node);
            *out++ = corrected(combine(terms, SolarCalculator::elevation(node, m_subsolar)), sums.weight, sums.residual);
        }
    }
    return values;
}
