#pragma once

// A point on the Earth, in degrees, north and east positive. Nothing is
// validated or normalised on construction.
struct GeoCoordinate {
    double latitude = 0;
    double longitude = 0;

    friend bool operator==(const GeoCoordinate&, const GeoCoordinate&) = default;
};
