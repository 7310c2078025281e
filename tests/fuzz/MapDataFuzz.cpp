// The map's data files: country outlines, lakes and prefix labels, each read
// all or nothing, and the 2-degree cells looked up over the labels.

#include "FuzzSupport.h"

#include "geo/MapData.h"

#include <cmath>

namespace {

void checkRings(const QList<Ring>& rings)
{
    for (const Ring& ring : rings)
        for (const double value : ring)
            FUZZ_CHECK(std::isfinite(value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));

    if (const auto countries = MapData::decodeCountries(json))
        for (const CountryShape& shape : *countries)
            for (const Polygon& polygon : shape.polygons())
                checkRings(polygon);
    if (const auto lakes = MapData::decodeLakes(json))
        for (const Lake& lake : *lakes)
            checkRings(lake);

    const auto prefixes = MapData::decodePrefixes(json);
    if (!prefixes)
        return 0;
    QList<GeoCoordinate> points { { 0, 0 }, { 90, 180 }, { -90, -180 }, { 51, -1 }, { NAN, 3 }, { 1e300, -1e300 } };
    for (qsizetype i = 0; i < prefixes->size() && i < 16; ++i) {
        FUZZ_CHECK(std::isfinite(prefixes->at(i).lat) && std::isfinite(prefixes->at(i).lon));
        points.append(prefixes->at(i).coordinate());
    }
    for (const GeoCoordinate& point : points) {
        const PrefixEntity cell = PrefixEntity::cell(point, *prefixes);
        FUZZ_CHECK(cell.isCell());
        // Cells are centred on odd degrees, inside the grid.
        FUZZ_CHECK(std::abs(cell.lat) <= 89 && std::abs(cell.lon) <= 179);
        FUZZ_CHECK(std::fmod(std::abs(cell.lat), 2) == 1 && std::fmod(std::abs(cell.lon), 2) == 1);
        FUZZ_CHECK(prefixes->isEmpty() == cell.name.isEmpty());
        if (const auto index = PrefixEntity::coverageIndex(point)) {
            FUZZ_CHECK(*index >= 0 && *index < 90 * 180);
            // The index is the cell's own.
            FUZZ_CHECK(PrefixEntity::coverageIndex(cell.coordinate()) == index);
        }
    }
    return 0;
}
