// Maidenhead locators: as typed text and from coordinates. The first byte
// chooses which; coordinates come as two doubles of the input's bytes.

#include "FuzzSupport.h"

#include "geo/Maidenhead.h"

#include <cmath>
#include <cstring>

namespace {

// Half the size of a square of `length` characters, degrees of latitude.
double halfLatitudeStep(int length) { return length == 2 ? 5 : length == 4 ? 0.5 : length == 6 ? 0.5 / 24 : 0.5 / 240; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fuzz::Input input(data, size);
    if (input.byte() & 1) {
        const QString text = Fuzz::text(input.rest());
        const auto at = Maidenhead::coordinate(text);
        if (!at)
            return 0;
        FUZZ_CHECK(at->latitude > -90 && at->latitude < 90 && at->longitude > -180 && at->longitude < 180);
        // The locator of the square's centre is the text, in its usual case.
        const QString typed = text.trimmed();
        const int length = int(typed.size());
        FUZZ_CHECK(length == 2 || length == 4 || length == 6 || length == 8);
        const QString canonical = typed.left(4).toUpper() + typed.mid(4, 2).toLower();
        FUZZ_CHECK(Maidenhead::locator(*at, std::min(length, 6)) == canonical);
        return 0;
    }

    double values[2] = {};
    const QByteArray raw = input.bytes(sizeof values);
    std::memcpy(values, raw.constData(), std::size_t(raw.size()));
    const GeoCoordinate point { values[0], values[1] };
    const int precision = input.integer(0, 8);
    const QString locator = Maidenhead::locator(point, precision);
    if (std::isnan(point.latitude) || std::isnan(point.longitude)) {
        FUZZ_CHECK(locator.isEmpty());
        return 0;
    }
    const int length = precision < 4 ? 2 : precision < 6 ? 4 : 6;
    FUZZ_CHECK(locator.size() == length);
    // The square named holds the point, once it is held to the grid.
    const auto centre = Maidenhead::coordinate(locator);
    FUZZ_CHECK(centre.has_value());
    const double latitude = std::clamp(point.latitude, -90.0, 90.0);
    const double longitude = std::clamp(point.longitude, -180.0, 180.0);
    const double half = halfLatitudeStep(length);
    FUZZ_CHECK(std::abs(centre->latitude - latitude) <= half * (1 + 1e-9));
    FUZZ_CHECK(std::abs(centre->longitude - longitude) <= 2 * half * (1 + 1e-9));
    return 0;
}
