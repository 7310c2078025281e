#include "spaceweather/MUFModel.h"

#include "support/CacheKey.h"
#include "support/OneEntryCache.h"
#include "support/RowBands.h"

#include <QTimeZone>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace MUFModel {

namespace {

// The three caches, each behind its own lock that is never held while
// something is built.
struct Caches {
    OneEntryCache<MUFField> field;
    OneEntryCache<MUFGrid> grid;
    OneEntryCache<QList<Contour>> contours;
};

Caches& caches()
{
    static Caches instance;
    return instance;
}

} // namespace

qint64 slot(const QDateTime& date)
{
    // Whole slots towards minus infinity, so a date before 1970 falls in
    // the slot that contains it too.
    const qint64 seconds = date.toSecsSinceEpoch();
    return seconds >= 0 ? seconds / slotSeconds : -((-seconds + slotSeconds - 1) / slotSeconds);
}

QDateTime slotCentre(const QDateTime& date)
{
    return QDateTime::fromMSecsSinceEpoch(slot(date) * slotSeconds * 1000 + slotSeconds * 500, QTimeZone::utc());
}

std::uint64_t key(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date)
{
    CacheKey hash;
    for (const IonosondeReading& reading : readings)
        hash.add(reading.code).add(reading.mufd).add(reading.time);
    hash.add(ssn);
    hash.add(std::int64_t(slot(date)));
    return hash.value();
}

MUFField field(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date)
{
    return caches().field.get(key(readings, ssn, date), [&] { return MUFField(readings, ssn, slotCentre(date)); });
}

MUFGrid grid(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date)
{
    return caches().grid.get(key(readings, ssn, date), [&] { return MUFGrid(field(readings, ssn, date)); });
}

QList<Contour> contours(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date)
{
    return caches().contours.get(key(readings, ssn, date), [&] {
        const MUFGrid g = grid(readings, ssn, date);
        // The levels are traced independently of each other, a part of the
        // pool each; the grid is only read.
        constexpr int levelCount = int(MUFGrid::levels.size());
        std::vector<Contour> traced(levelCount);
        RowBands::deal(levelCount, [&](int part, int parts) {
            for (int i = part; i < levelCount; i += parts) {
                Contour& contour = traced[std::size_t(i)];
                contour.level = MUFGrid::levels[std::size_t(i)];
                contour.lines = g.contour(contour.level);
                contour.labels = MUFGrid::labelPositions(contour.lines, 160, 24);
            }
        });
        return QList<Contour>(traced.begin(), traced.end());
    });
}

BuildCounts buildCounts()
{
    Caches& c = caches();
    return { c.field.builds(), c.grid.builds(), c.contours.builds() };
}

} // namespace MUFModel
