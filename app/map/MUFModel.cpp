#include "map/MUFModel.h"

#include "map/CacheKey.h"
#include "support/RowBands.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTimeZone>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace MUFModel {

namespace {

template <typename T>
struct Entry {
    std::uint64_t key = 0;
    T value;
};

// The three caches and their counters, behind one lock that is never held
// while something is built.
struct Caches {
    QMutex mutex;
    std::optional<Entry<MUFField>> field;
    std::optional<Entry<MUFGrid>> grid;
    std::optional<Entry<QList<Contour>>> contours;
    BuildCounts counts;
};

Caches& caches()
{
    static Caches instance;
    return instance;
}

template <typename T>
std::optional<T> lookup(const std::optional<Entry<T>>& entry, std::uint64_t key)
{
    if (entry && entry->key == key)
        return entry->value;
    return std::nullopt;
}

} // namespace

QPainterPath Contour::path() const
{
    QPainterPath path;
    for (const QList<QPointF>& line : lines) {
        if (line.isEmpty())
            continue;
        path.moveTo(line.front());
        for (qsizetype i = 1; i < line.size(); ++i)
            path.lineTo(line[i]);
    }
    return path;
}

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
    const std::uint64_t k = key(readings, ssn, date);
    Caches& c = caches();
    {
        QMutexLocker lock(&c.mutex);
        if (auto cached = lookup(c.field, k))
            return std::move(*cached);
    }
    MUFField built(readings, ssn, slotCentre(date));
    QMutexLocker lock(&c.mutex);
    c.field = Entry<MUFField> { k, built };
    ++c.counts.fields;
    return built;
}

MUFGrid grid(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date)
{
    const std::uint64_t k = key(readings, ssn, date);
    Caches& c = caches();
    {
        QMutexLocker lock(&c.mutex);
        if (auto cached = lookup(c.grid, k))
            return std::move(*cached);
    }
    MUFGrid built(field(readings, ssn, date));
    QMutexLocker lock(&c.mutex);
    c.grid = Entry<MUFGrid> { k, built };
    ++c.counts.grids;
    return built;
}

QList<Contour> contours(const QList<IonosondeReading>& readings, std::optional<double> ssn, const QDateTime& date)
{
    const std::uint64_t k = key(readings, ssn, date);
    Caches& c = caches();
    {
        QMutexLocker lock(&c.mutex);
        if (auto cached = lookup(c.contours, k))
            return std::move(*cached);
    }
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
    const QList<Contour> built(traced.begin(), traced.end());
    QMutexLocker lock(&c.mutex);
    c.contours = Entry<QList<Contour>> { k, built };
    ++c.counts.contours;
    return built;
}

BuildCounts buildCounts()
{
    QMutexLocker lock(&caches().mutex);
    return caches().counts;
}

} // namespace MUFModel
