#pragma once

#include <functional>

// Drawing an image in horizontal bands of rows, each band on a thread of
// the global pool writing only its own rows; a band for which no pool
// thread is free at once is drawn on the calling thread. Up to 8 bands of
// at least 64 rows (one band for a smaller image).
namespace RowBands {

// Calls draw(firstRow, lastRow) (last exclusive) once per band and returns
// when every band is drawn.
void run(int height, const std::function<void(int firstRow, int lastRow)>& draw);

} // namespace RowBands
