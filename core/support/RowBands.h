#pragma once

#include <functional>

// The project's one way to run a short job in parallel: split its rows into
// parts, run each part on a thread of the global pool and wait for all of
// them. A part for which no pool thread is free at once runs on the calling
// thread, so the job always finishes even when the pool is busy.
namespace RowBands {

// Drawing an image in horizontal bands: calls draw(firstRow, lastRow) (last
// exclusive) once per band of at least 64 rows, up to 8 bands (one band for
// a smaller image), each band writing only its own rows. Returns when every
// band is drawn.
void run(int height, const std::function<void(int firstRow, int lastRow)>& draw);

// Rows dealt out in turn, for work whose cost crowds into some rows: part k
// of n takes rows k, k + n, k + 2n, … The work is called once per part as
// work(k, n), for up to `maxParts` parts (at least 1). Returns when every
// part is done.
void deal(int maxParts, const std::function<void(int part, int parts)>& work);
// The same, with `meanwhile` run on the calling thread once every part has
// been handed out, before it waits for them.
void deal(int maxParts, const std::function<void(int part, int parts)>& work,
          const std::function<void()>& meanwhile);

} // namespace RowBands
