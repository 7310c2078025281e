#pragma once

#include <QColor>
#include <QImage>
#include <QList>

#include <optional>

// The one colour ramp of predicted reliabilities, shared by the band wheel,
// the coverage image and their legends: cyan for a poor chance through
// green and yellow to orange and red for a near-certain opening. Below 0.05
// (and for no number) there is no colour: nothing is drawn.
std::optional<QColor> reliabilityColor(double value);

// A grid of reliabilities, row-major from the top, as a width × height image
// in the coverage look: each coloured cell at 0.85 of its colour
// (premultiplied) and alpha 216, the others transparent. Only the first
// width × height values are used; missing ones stay transparent. None for
// a side of zero or less or an image that cannot be made.
std::optional<QImage> coverageImage(const QList<double>& values, int width, int height);
