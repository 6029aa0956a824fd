// The cell size and extent of a uniform grid over boxes, shared by the collision broad phase and
// the query index.
#pragma once

#include <bit>
#include <cstdint>

namespace tb {

// Cells about twice the mean box extent (`mean`), made coarser until the grid over
// (left, top)-(right, bottom) has at most `max_cells` cells. `Grid` has shift, width, height,
// ox and oy.
template <class Grid>
void SizeGrid(Grid& grid, int64_t left, int64_t top, int64_t right, int64_t bottom, uint64_t mean,
              int64_t max_cells) {
    grid.shift = std::bit_width(mean * 2 - 1);
    for (;;) {
        grid.width = ((right - left) >> grid.shift) + 1;
        grid.height = ((bottom - top) >> grid.shift) + 1;
        if (grid.width * grid.height <= max_cells || grid.shift >= 40) break;
        ++grid.shift;
    }
    grid.ox = left;
    grid.oy = top;
}

}  // namespace tb
