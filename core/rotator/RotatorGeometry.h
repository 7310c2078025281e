#pragma once

#include <optional>

// Converts between a controller's own azimuth scale ("raw" degrees, as it
// reports and accepts them) and true headings clockwise from north.
//
// The range is 360 for a plain rotator or 450 for one that may turn 90
// degrees past a full turn; the offset calibrates the controller:
// true heading = raw + offset.
class RotatorGeometry {
public:
    RotatorGeometry() = default;
    // Any range other than exactly 450 is a plain 360-degree rotator. The
    // offset is kept as given.
    RotatorGeometry(int range, double offset);

    int range() const { return m_range; }
    double offset() const { return m_offset; }

    // The true heading of a controller reading, in [0, 360).
    double heading(double raw) const;
    // The whole controller azimuth to send for a true heading. An overlap
    // rotator near the end stop reaches small headings past 360 when that
    // is the shorter way from where it stands.
    int target(double heading, std::optional<double> currentRaw) const;

    friend bool operator==(const RotatorGeometry&, const RotatorGeometry&) = default;

private:
    int m_range = 360;
    double m_offset = 0;
};
