#pragma once

#include "spaceweather/Ionosonde.h"
#include "spaceweather/MUFField.h"
#include "spaceweather/MUFGrid.h"

#include <QDateTime>
#include <QList>
#include <QPointF>

#include <cstdint>
#include <optional>

// The MUF field of the current 10-minute slot, built once and shared by
// everything that shows it: the map's shading, contours and hover panel,
// the space weather panel. Three one-entry caches (field, grid, contours),
// each under the key of the readings, the sunspot number and the slot; a
// request with another key replaces the entry. The field is evaluated at
// the middle of the slot, so everything drawn from it is too.
//
// The map builds its grid and contours on the thread pool; the caches
// take a lock, and may be asked from any thread. What they hand out are
// immutable values, shared rather than copied.
namespace MUFModel {

// The length of a slot, seconds.
inline constexpr qint64 slotSeconds = 600;

// One contour level: its polylines and the points where its labels go,
// both in degree space (x = longitude + 180, y = 90 − latitude).
struct Contour {
    double level = 0;
    QList<QList<QPointF>> lines;
    QList<QPointF> labels;

    friend bool operator==(const Contour&, const Contour&) = default;
};

// The whole number of slots since 1970 that the date falls in.
qint64 slot(const QDateTime& date);
// The middle of that slot, UTC.
QDateTime slotCentre(const QDateTime& date);

// The cache key: for each reading in order its code, its MUF and its time
// (a presence flag, then the time); then the sunspot number (a presence
// flag, then the number); then the slot. Names, places, foF2 and
// confidence take no part.
std::uint64_t key(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date);

// The field for the inputs, evaluated at the centre of the date's slot.
MUFField field(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date);
// The one-degree grid of that field.
MUFGrid grid(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date);
// One contour per level of MUFGrid::levels, in level order, also for a
// level the grid never crosses; labels every 160 points of a line of at
// least 24.
QList<Contour> contours(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date);

// How often each cache has been filled in this process (for tests).
struct BuildCounts {
    int fields = 0;
    int grids = 0;
    int contours = 0;
};
BuildCounts buildCounts();

} // namespace MUFModel
