#pragma once

class QPainter;

// Device pixels per view point of whatever the painter draws on (1 when it
// has no device or reports nonsense). Every layer that renders a picture of
// its own sizes it with this, so pictures stay crisp at ratio 2.
double devicePixelRatioOf(const QPainter& painter);
