#pragma once

#include <optional>

class QWheelEvent;

// Turns vertical scrolling over the map (mouse wheels and two-finger
// trackpad scrolling) into zoom factors about the pointer.
namespace ScrollWheelZoom {

struct Decision {
    bool consumed = false;        // false: the event goes on to the map's parents
    std::optional<double> factor; // set: zoom by this factor at the pointer

    friend bool operator==(const Decision&, const Decision&) = default;
};

// `deltaY` is the vertical delta as delivered, in points for precise
// devices (trackpads) and in wheel notches otherwise; `inverted` says the
// system flipped it for natural scrolling, so it is flipped back and a
// physical movement zooms the same way under either preference.
// `inGesture` is true while a trackpad scroll or its momentum runs: such
// events are swallowed even when they carry no vertical delta.
Decision decide(double deltaY, bool inverted, bool precise, bool inGesture);

// The same for a Qt wheel event: pixel deltas count as precise, angle
// deltas as notches of 120 eighths of a degree.
Decision decide(const QWheelEvent& event);

} // namespace ScrollWheelZoom
