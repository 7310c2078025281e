#include "geo/MapData.h"

#include "support/JsonList.h"
#include "support/VectorState.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

// ---------------------------------------------------------------- decoding

namespace MapData {

std::optional<double> numberFromJson(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<int> integerFromJson(const QJsonValue& value)
{
    const auto number = numberFromJson(value);
    if (!number || *number != std::trunc(*number) || *number < std::numeric_limits<int>::min()
        || *number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*number);
}

std::optional<Ring> ringFromJson(const QJsonValue& value) { return JsonList::fromJson<double>(value, numberFromJson); }

std::optional<QList<Ring>> ringsFromJson(const QJsonValue& value)
{
    return JsonList::fromJson<Ring>(value, ringFromJson);
}

namespace {

std::optional<QString> stringFromJson(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

} // namespace MapData

std::optional<CountryShape> CountryShape::fromJson(const QJsonObject& object)
{
    const auto colour = MapData::integerFromJson(object.value(QLatin1String("c")));
    auto polygons = JsonList::fromJson<Polygon>(object.value(QLatin1String("p")), MapData::ringsFromJson);
    if (!colour || !polygons)
        return std::nullopt;
    return CountryShape { *colour, std::move(*polygons) };
}

std::optional<PrefixEntity> PrefixEntity::fromJson(const QJsonObject& object)
{
    using namespace MapData;
    auto prefix = stringFromJson(object.value(QLatin1String("prefix")));
    auto name = stringFromJson(object.value(QLatin1String("name")));
    const auto lat = numberFromJson(object.value(QLatin1String("lat")));
    const auto lon = numberFromJson(object.value(QLatin1String("lon")));
    auto continent = stringFromJson(object.value(QLatin1String("continent")));
    if (!prefix || !name || !lat || !lon || !continent)
        return std::nullopt;
    return PrefixEntity { std::move(*prefix), std::move(*name), *lat, *lon, std::move(*continent) };
}

namespace MapData {

std::optional<QList<CountryShape>> decodeCountries(const QByteArray& json)
{
    return JsonList::decode<CountryShape>(json, JsonList::object<CountryShape>);
}

std::optional<QList<Lake>> decodeLakes(const QByteArray& json) { return JsonList::decode<Lake>(json, ringsFromJson); }

std::optional<QList<PrefixEntity>> decodePrefixes(const QByteArray& json)
{
    return JsonList::decode<PrefixEntity>(json, JsonList::object<PrefixEntity>);
}

} // namespace MapData

// ---------------------------------------------------------------- the grid

namespace {

// Rounds to the nearest integer, halves away from zero, for the 2-degree
// grid's row and column arithmetic.
double roundHalfAway(double value) { return std::round(value); }

} // namespace

std::optional<int> PrefixEntity::coverageIndex(const GeoCoordinate& at)
{
    if (!std::isfinite(at.latitude) || !std::isfinite(at.longitude))
        return std::nullopt;
    const double r = roundHalfAway((89.0 - at.latitude) * 0.5);
    const double c = roundHalfAway((at.longitude + 179.0) * 0.5);
    if (r < 0 || r >= 90 || c < 0 || c >= 180)
        return std::nullopt;
    return static_cast<int>(r) * 180 + static_cast<int>(c);
}

PrefixEntity PrefixEntity::cell(const GeoCoordinate& at, const QList<PrefixEntity>& prefixes)
{
    VectorState::clean();
    const double latitude = std::isnan(at.latitude) ? 0.0 : at.latitude;
    const double longitude = std::isnan(at.longitude) ? 0.0 : at.longitude;
    // Clamping the doubles first keeps infinities out of the integer casts.
    const int centreLat
        = static_cast<int>(std::clamp(89.0 - 2.0 * roundHalfAway((89.0 - latitude) * 0.5), -89.0, 89.0));
    const int centreLon
        = static_cast<int>(std::clamp(2.0 * roundHalfAway((longitude + 179.0) * 0.5) - 179.0, -179.0, 179.0));
    const GeoCoordinate centre { double(centreLat), double(centreLon) };

    const PrefixEntity* nearest = nullptr;
    double nearestKm = std::numeric_limits<double>::infinity();
    for (const PrefixEntity& entity : prefixes) {
        const double km = GeoMath::distanceKm(centre, entity.coordinate());
        if (nearest == nullptr || km < nearestKm) {
            nearest = &entity;
            nearestKm = km;
        }
    }

    PrefixEntity result;
    result.prefix = QLatin1String("cell:") + QString::number(centreLat) + QLatin1Char(',') + QString::number(centreLon);
    result.lat = centre.latitude;
    result.lon = centre.longitude;
    if (nearest != nullptr) {
        result.name = QLatin1String("near ") + nearest->prefix + QLatin1Char(' ') + nearest->name;
        result.continent = nearest->continent;
    }
    return result;
}

size_t qHash(const PrefixEntity& entity, size_t seed) noexcept
{
    // Equal doubles must hash alike, so −0 is fed as +0.
    auto number = [](double value) { return value == 0.0 ? 0.0 : value; };
    return qHashMulti(seed, entity.prefix, entity.name, number(entity.lat), number(entity.lon), entity.continent);
}

// --------------------------------------------------------------- resources

ResourceFolders ResourceFolders::standard()
{
    // Before the application object exists there is no executable folder to
    // go by; nothing is remembered then, so a later call still finds it.
    if (QCoreApplication::instance() == nullptr)
        return {};
    static const ResourceFolders folders = [] {
        const QString base = QCoreApplication::applicationDirPath();
        // A missing core folder is kept as it is: its files are simply not
        // found, and the application log says why (AppLog::start).
        return ResourceFolders { base + QLatin1String("/Resources"), base + QLatin1String("/CorvantaCore") };
    }();
    return folders;
}

namespace MapData {

std::optional<QString> resourceURL(const QString& name, const QString& ext, const ResourceFolders& folders)
{
    const QString file = name + QLatin1Char('.') + ext;
    for (const QString& folder : { folders.application, folders.core }) {
        if (folder.isEmpty())
            continue;
        const QString path = folder + QLatin1Char('/') + file;
        if (QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

std::optional<QString> resourceURL(const QString& name, const QString& ext)
{
    return resourceURL(name, ext, ResourceFolders::standard());
}

std::optional<QByteArray> readResource(const QString& name, const ResourceFolders& folders)
{
    const auto path = resourceURL(name, QStringLiteral("json"), folders);
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QList<CountryShape> countries(const ResourceFolders& folders)
{
    return readList<CountryShape>(QStringLiteral("countries"), folders, decodeCountries);
}

QList<Lake> lakes(const ResourceFolders& folders)
{
    return readList<Lake>(QStringLiteral("lakes"), folders, decodeLakes);
}

QList<PrefixEntity> prefixes(const ResourceFolders& folders)
{
    return readList<PrefixEntity>(QStringLiteral("prefixes"), folders, decodePrefixes);
}

QList<CountryShape> countries() { return countries(ResourceFolders::standard()); }
QList<Lake> lakes() { return lakes(ResourceFolders::standard()); }
QList<PrefixEntity> prefixes() { return prefixes(ResourceFolders::standard()); }

} // namespace MapData
