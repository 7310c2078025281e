#pragma once

#include "geo/GeoMath.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

// A ring of an outline: flat longitude, latitude, longitude, latitude, …
// in degrees.
using Ring = QList<double>;
// A polygon: its outer ring, then its holes.
using Polygon = QList<Ring>;
// A lake: its shore, then its islands (wound against the shore).
using Lake = QList<Ring>;

// A country's outline and the political colour group it is drawn in.
struct CountryShape {
    int c = 0;        // colour group
    QList<Polygon> p; // outline parts

    int colorGroup() const { return c; }
    const QList<Polygon>& polygons() const { return p; }

    friend bool operator==(const CountryShape&, const CountryShape&) = default;

    // Strict: "c" must be an integer, "p" polygons of rings of numbers.
    static std::optional<CountryShape> fromJson(const QJsonObject& object);
};

// A map label for a callsign prefix area, or the synthetic label of a
// 2-degree cell ("cell:51,-1").
struct PrefixEntity {
    QString prefix;
    QString name;
    double lat = 0;
    double lon = 0;
    QString continent;

    const QString& id() const { return prefix; }
    GeoCoordinate coordinate() const { return { lat, lon }; }
    bool isCell() const { return prefix.startsWith(QLatin1String("cell:")); }

    friend bool operator==(const PrefixEntity&, const PrefixEntity&) = default;

    // Strict: all five keys present with the right types; others ignored.
    static std::optional<PrefixEntity> fromJson(const QJsonObject& object);

    // The label of the 2-degree cell holding the point (cells are centred on
    // odd degrees; a point on a cell border belongs to the southern and the
    // eastern cell; the poles and the 180° meridian fall into the edge
    // cells), named after the label nearest its centre (the earliest on a
    // tie). A NaN coordinate counts as 0.
    static PrefixEntity cell(const GeoCoordinate& at, const QList<PrefixEntity>& prefixes);

    // The cell's index in the 90 × 180 grid, row 0 at the north, column 0
    // at 180° west. Nothing for the poles, ±180° and non-finite values.
    static std::optional<int> coverageIndex(const GeoCoordinate& at);
};

size_t qHash(const PrefixEntity& entity, size_t seed = 0) noexcept;

// Where resource files are looked for: the application's own folder first,
// then the core library's.
struct ResourceFolders {
    QString application;
    QString core;

    // "Resources" and "CorvantaCore" next to the executable, which holds in
    // the build tree (every executable, tests included, lands in bin/) and
    // in the install tree alike. Located once per process, once the Qt
    // application object exists. A missing core folder is treated like
    // missing files.
    static ResourceFolders standard();
};

// The map data of the core resource folder. Nothing is cached: each call
// reads and decodes its file again, so callers keep their own copy.
namespace MapData {

// The path of "name.ext", from the application's resources when it is
// there, else from the core resources; nothing when neither has it.
std::optional<QString> resourceURL(const QString& name, const QString& ext);
std::optional<QString> resourceURL(const QString& name, const QString& ext, const ResourceFolders& folders);

// The files' contents; an empty list when a file is missing, unreadable or
// not exactly of the expected shape (one bad element spoils the file).
QList<CountryShape> countries();
QList<CountryShape> countries(const ResourceFolders& folders);
QList<Lake> lakes();
QList<Lake> lakes(const ResourceFolders& folders);
QList<PrefixEntity> prefixes();
QList<PrefixEntity> prefixes(const ResourceFolders& folders);

// Decoding of the file formats, each all or nothing.
std::optional<QList<CountryShape>> decodeCountries(const QByteArray& json);
std::optional<QList<Lake>> decodeLakes(const QByteArray& json);
std::optional<QList<PrefixEntity>> decodePrefixes(const QByteArray& json);

// Pieces of the decoding shared with the zone files.
std::optional<Ring> ringFromJson(const QJsonValue& value);
std::optional<QList<Ring>> ringsFromJson(const QJsonValue& value);
std::optional<double> numberFromJson(const QJsonValue& value);
std::optional<int> integerFromJson(const QJsonValue& value);
std::optional<QByteArray> readResource(const QString& name, const ResourceFolders& folders);

// A resource file decoded; an empty list when it is missing, unreadable or
// of the wrong shape.
template <typename T>
QList<T> readList(const QString& name, const ResourceFolders& folders,
                  std::optional<QList<T>> (*decode)(const QByteArray&))
{
    const auto bytes = readResource(name, folders);
    if (!bytes)
        return {};
    return decode(*bytes).value_or(QList<T> {});
}

} // namespace MapData
