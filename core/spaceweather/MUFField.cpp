#include "spaceweather/MUFField.h"

#include "geo/SolarCalculator.h"
#include "support/RowBands.h"
#include "support/VectorState.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Stations at this distance or farther do not correct a point.
constexpr double cutoffKm = Zelq::reachKm;
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
    VectorState::clean();
    m_residuals.reserve(readings.size());
    for (const IonosondeReading& reading : readings) {
        const double residual = reading.mufd - model(reading.coordinate, m_subsolar, m_sunspotNumber);
        // A reading without a finite value keeps its place but weighs
        // nothing, rather than spoiling every sum it enters.
        if (std::isfinite(residual))
            m_residuals.append({ reading.coordinate, residual, Zelq::quality(reading.confidence) });
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
        const double w = Zelq::stationWeight(d, entry.quality);
        sums.weight += w;
        sums.residual += w * entry.residual;
    }
    return sums;
}

double MUFField::muf(const GeoCoordinate& point) const
{
    VectorState::clean();
    const Weights sums = weights(point);
    return corrected(model(point, m_subsolar, m_sunspotNumber), sums.weight, sums.residual);
}

double MUFField::measuredShare(const GeoCoordinate& point) const
{
    VectorState::clean();
    const Weights sums = weights(point);
    return sums.weight / (priorWeight + sums.weight);
}

MUFField MUFField::projected(const QDateTime& date) const
{
    const double hours = std::abs(double(m_date.msecsTo(date))) / 3.6e6;
    const double fade = std::exp(-hours / fadeHours);

    MUFField field = *this;
    field.m_date = date;
    field.m_subsolar = SolarCalculator::position(date).subsolarPoint;
    for (Residual& entry : field.m_residuals)
        entry.residual *= fade;
    return field;
}

std::optional<MUFField::PathMUF> MUFField::pathMUF(const GeoCoordinate& from, const GeoCoordinate& to) const
{
    VectorState::clean();
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
    Weights limiting;
    for (int i = 0; i < hops; ++i) {
        const GeoCoordinate midpoint = GeoMath::destination(from, bearing, (i + 0.5) * hopLength);
        const Weights sums = weights(midpoint);
        const double value = corrected(model(midpoint, m_subsolar, m_sunspotNumber), sums.weight, sums.residual);
        if (i == 0 || value < result.muf) {
            result.muf = value;
            result.limitingPoint = midpoint;
            limiting = sums;
        }
    }
    // The same sums measuredShare(at: limitingPoint) would compute.
    result.measuredShare = limiting.weight / (priorWeight + limiting.weight);
    return result;
}

QList<double> MUFField::sampleWorld(int columns, int rows) const
{
    VectorState::clean();
    // Evaluating `muf` node by node costs four sines and cosines per node
    // and station. The haversine terms below are split into the parts that
    // depend only on the row and only on the column, computed once each;
    // they are combined in exactly the order GeoMath::distanceKm uses, so
    // every node still equals `muf` there.
    const qsizetype n = m_residuals.size();
    std::vector<double> stationPhi(n), stationCosPhi(n);
    for (qsizetype s = 0; s < n; ++s) {
        stationPhi[s] = radians(m_residuals[s].coordinate.latitude);
        stationCosPhi[s] = std::cos(stationPhi[s]);
    }
    // sin(Δλ / 2) per column and station.
    std::vector<double> halfLambda(qsizetype(columns) * n);
    for (int c = 0; c < columns; ++c) {
        const double lambda = radians(c - 180.0);
        for (qsizetype s = 0; s < n; ++s)
            halfLambda[c * n + s] = std::sin((radians(m_residuals[s].coordinate.longitude) - lambda) / 2.0);
    }

    // A station whose haversine term exceeds this is at least 4500 km away;
    // the margin keeps rounding on the safe side, the exact test follows.
    const double reach = std::sin(cutoffKm / (2.0 * GeoMath::earthRadiusKm));
    const double maxH = reach * reach * (1.0 + 1e-6);

    struct Candidate {
        qsizetype index;
        double halfPhiSquared;
        double cosProduct;
    };

    QList<double> values(qsizetype(columns) * rows);
    double* const out = values.data();
    const auto fillRows = [&](int first, int step) {
        std::vector<Candidate> candidates;
        candidates.reserve(n);
        for (int r = first; r < rows; r += step) {
            const double latitude = 90.0 - r;
            const LatitudeTerms terms = latitudeTerms(latitude, m_subsolar.latitude, m_sunspotNumber);
            const double phi = radians(latitude);
            const double cosPhi = std::cos(phi);

            // Stations too far north or south to reach this row are left out
            // for the whole row (the longitude term only adds to the sum).
            candidates.clear();
            for (qsizetype s = 0; s < n; ++s) {
                const double halfPhi = std::sin((stationPhi[s] - phi) / 2.0);
                const double a = halfPhi * halfPhi;
                const double b = cosPhi * stationCosPhi[s];
                if (a > maxH && b >= 0)
                    continue;
                candidates.push_back({ s, a, b });
            }

            double* rowOut = out + qsizetype(r) * columns;
            for (int c = 0; c < columns; ++c) {
                const double* lambdaTerms = halfLambda.data() + c * n;
                Weights sums;
                for (const Candidate& candidate : candidates) {
                    const double l = lambdaTerms[candidate.index];
                    const double h = candidate.halfPhiSquared + candidate.cosProduct * l * l;
                    if (h > maxH)
                        continue;
                    const double d = 2.0 * GeoMath::earthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
                    if (!(d < cutoffKm))
                        continue;
                    const Residual& entry = m_residuals[candidate.index];
                    const double w = Zelq::stationWeight(d, entry.quality);
                    sums.weight += w;
                    sums.residual += w * entry.residual;
                }
                const GeoCoordinate node { latitude, c - 180.0 };
                const double elevation = SolarCalculator::elevation(node, m_subsolar);
                rowOut[c] = corrected(combine(terms, elevation), sums.weight, sums.residual);
            }
        }
    };

    // The grid is rebuilt whenever a 10-minute slot begins; spreading the
    // rows over a few threads keeps that short. Rows are dealt out in turn
    // because the stations crowd into some latitudes.
    RowBands::deal(4, fillRows);
    return values;
}
