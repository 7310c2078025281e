#pragma once

#include <algorithm>
#include <cmath>

// The length of (x, y) from multiplications, an addition and a square
// root, each rounded as the standard requires on every processor. The C
// library's hypot is not: its last bit differs between x86-64 and arm64,
// and an outline simplified against a tolerance then keeps other points,
// a contour closes or not, a pointer counts as dragged or not.
inline double hypotenuse(double x, double y)
{
    const double length = std::sqrt(x * x + y * y);
    if (!std::isinf(length) || !std::isfinite(x) || !std::isfinite(y))
        return length;
    // The squares overflowed: measured in units of the larger side.
    const double unit = std::max(std::abs(x), std::abs(y));
    const double a = x / unit;
    const double b = y / unit;
    return unit * std::sqrt(a * a + b * b);
}
