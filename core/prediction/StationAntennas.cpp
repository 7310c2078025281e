#include "prediction/StationAntennas.h"

#include "geo/GeoMath.h"
#include "support/Hypotenuse.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <bit>
#include <cmath>
#include <numbers>

namespace {

// Average ground under every antenna.
constexpr double groundPermittivity = 13.0;
constexpr double groundConductivity = 0.005; // S/m
constexpr double gainFloorDBi = -30.0;

// 6371 / (6371 + 300): the earth's radius over that of the reflecting layer.
constexpr double layerRatio = 0.95502923099985;

struct Complex {
    double re;
    double im;
};

Complex operator+(Complex a, Complex b) { return { a.re + b.re, a.im + b.im }; }
Complex operator-(Complex a, Complex b) { return { a.re - b.re, a.im - b.im }; }
Complex operator*(Complex a, double k) { return { a.re * k, a.im * k }; }
Complex operator/(Complex a, Complex b)
{
    const double d = b.re * b.re + b.im * b.im;
    return { (a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d };
}
double magnitude(Complex a) { return hypotenuse(a.re, a.im); }

quint64 bitsOf(double value) { return std::bit_cast<quint64>(value == 0.0 ? 0.0 : value); }

QString keyOf(Band band) { return QString::number(rawValue(band)); }

// Every member of the text's JSON object as a band antenna, or nothing when
// any part of the text is faulty.
std::optional<QHash<QString, BandAntenna>> readMembers(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    QHash<QString, BandAntenna> members;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto antenna = BandAntenna::fromJson(it.value());
        if (!antenna)
            return std::nullopt;
        members.insert(it.key(), *antenna);
    }
    return members;
}

} // namespace

// BandAntenna

double BandAntenna::gain(double mhz, double elevation) const
{
    if (type == AntennaPreset::custom)
        return gainDBi;

    const double s = std::sin(radians(elevation));
    const double c = std::cos(radians(elevation));
    const double lambda = 300.0 / mhz;
    const Complex epsilon { groundPermittivity, -60.0 * groundConductivity * lambda };

    // Principal square root of ε − cos²e; its imaginary part takes the sign
    // of the radicand's.
    const Complex z { epsilon.re - c * c, epsilon.im };
    const double modulus = magnitude(z);
    const double a = std::sqrt((modulus + z.re) / 2.0);
    double b = std::sqrt((modulus - z.re) / 2.0);
    if (z.im < 0)
        b = -b;
    const Complex root { a, b };

    double f;
    if (isVertical(type)) {
        const Complex es = epsilon * s;
        const Complex rv = (es - root) / (es + root);
        f = c * magnitude(Complex { 1.0, 0.0 } + rv);
    } else {
        const Complex sc { s, 0.0 };
        const Complex rh = (sc - root) / (sc + root);
        const double phi = 2.0 * (2.0 * std::numbers::pi / lambda) * heightM * s;
        const double cosPhi = std::cos(phi);
        const double sinPhi = std::sin(phi);
        f = magnitude({ 1.0 + (rh.re * cosPhi + rh.im * sinPhi), rh.im * cosPhi - rh.re * sinPhi });
    }
    if (!(f > 0))
        return gainFloorDBi;
    const double g = 20.0 * std::log10(f) + freeSpaceGainDBi(type);
    return g < gainFloorDBi ? gainFloorDBi : g;
}

QJsonObject BandAntenna::toJson() const
{
    return QJsonObject {
        { QLatin1String("type"), rawValue(type) },
        { QLatin1String("height"), heightM },
        { QLatin1String("gain"), gainDBi },
    };
}

std::optional<BandAntenna> BandAntenna::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue type = object.value(QLatin1String("type"));
    const QJsonValue height = object.value(QLatin1String("height"));
    const QJsonValue gain = object.value(QLatin1String("gain"));
    if (!type.isString() || !height.isDouble() || !gain.isDouble())
        return std::nullopt;
    const auto preset = AntennaPresets::fromRaw(type.toString());
    if (!preset)
        return std::nullopt;
    return BandAntenna { *preset, height.toDouble(), gain.toDouble() };
}

size_t qHash(const BandAntenna& antenna, size_t seed) noexcept
{
    return qHashMulti(seed, rawValue(antenna.type), bitsOf(antenna.heightM), bitsOf(antenna.gainDBi));
}

// StationAntennas

StationAntennas::StationAntennas(const BandAntenna& everyBand)
{
    for (const auto& entry : bands)
        m_table.insert(entry.band, everyBand);
}

bool StationAntennas::isPredicted(Band band) { return band != Band::m6; }

BandAntenna StationAntennas::operator[](Band band) const { return m_table.value(band, BandAntenna {}); }

void StationAntennas::set(Band band, const BandAntenna& antenna) { m_table.insert(band, antenna); }

StationAntennas::Choice StationAntennas::antenna(double mhz) const
{
    const BandCentre* best = &bands.front();
    for (const auto& entry : bands) {
        if (std::abs(entry.mhz - mhz) < std::abs(best->mhz - mhz))
            best = &entry;
    }
    return { (*this)[best->band], best->mhz };
}

double StationAntennas::gain(double mhz, double elevation) const
{
    const Choice choice = antenna(mhz);
    return choice.antenna.gain(choice.bandMHz, elevation);
}

double StationAntennas::takeOffAngle(double hopKm)
{
    const double theta = hopKm / (2.0 * GeoMath::earthRadiusKm);
    const double sinTheta = std::sin(theta);
    if (!(sinTheta > 0)) // also a length that is not a number
        return 90.0;
    const double angle = degrees(std::atan((std::cos(theta) - layerRatio) / sinTheta));
    return angle < 1.0 ? 1.0 : angle;
}

StationAntennas StationAntennas::copyingFirstRowToAll() const { return StationAntennas((*this)[Band::m160]); }

QString StationAntennas::encoded() const
{
    QJsonObject object;
    for (const auto& entry : bands) {
        const BandAntenna antenna = (*this)[entry.band];
        // A band whose numbers cannot be written is left out (it reads back as
        // the fallback) rather than emptying the whole table and losing the
        // other ten antennas with it.
        if (!std::isfinite(antenna.heightM) || !std::isfinite(antenna.gainDBi))
            continue;
        object.insert(keyOf(entry.band), antenna.toJson());
    }
    // QJsonObject keeps its keys sorted, so the text comes out in key order.
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

StationAntennas StationAntennas::decode(const QString& text, const BandAntenna& fallback)
{
    StationAntennas result(fallback);
    const auto members = readMembers(text);
    if (!members)
        return result;
    for (const auto& entry : bands) {
        const auto found = members->constFind(keyOf(entry.band));
        if (found != members->constEnd())
            result.set(entry.band, *found);
    }
    return result;
}

bool StationAntennas::decodes(const QString& text) { return readMembers(text).has_value(); }

size_t StationAntennas::hash(size_t seed) const noexcept
{
    // A sum does not depend on the order the entries are visited in.
    size_t sum = 0;
    for (auto it = m_table.begin(); it != m_table.end(); ++it)
        sum += qHashMulti(0, rawValue(it.key()), qHash(it.value()));
    return qHash(sum, seed);
}

QString StationAntennas::type14File() const
{
    struct Block {
        double written;
        Band band;
        double patternMHz;
    };
    QList<Block> blocks;
    for (const auto& entry : bands)
        if (isPredicted(entry.band))
            blocks.append({ entry.mhz, entry.band, entry.mhz });
    const Block top = blocks.last();
    for (int mhz = 31; mhz <= 50; ++mhz)
        blocks.append({ double(mhz), top.band, top.patternMHz });

    QString text = QStringLiteral("Corvanta station antennas\n"
                                  " 3     3 parameters\n"
                                  "   0.00  [ 1] Max Gain dBi..:\n"
                                  "  14    [ 2] Antenna Type..: 30 x (efficiency + 91 gain values) follow\n"
                                  "  14.0  [ 3] Frequency\n");
    text.reserve(32 * 1024);
    const QString indent(13, QLatin1Char(' '));
    for (const Block& block : blocks) {
        const BandAntenna antenna = (*this)[block.band];
        text += QString::asprintf("%6.2f  0.00 ", block.written);
        for (int elevation = 0; elevation <= 90; ++elevation) {
            if (elevation > 0 && elevation % 10 == 0)
                text += QLatin1Char('\n') + indent;
            else if (elevation > 0)
                text += QLatin1Char(' ');
            text += QString::asprintf("%7.3f", antenna.gain(block.patternMHz, elevation));
        }
        text += QLatin1Char('\n');
    }
    return text;
}
