// The motion-planning grid: equal cells over a rectangle of the room, each free or forbidden,
// and the breadth-first path search through the free ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tb {

class CPath;
struct Graphics;

// More cells than this are refused (a grid of them takes 256 MB with its search queue).
constexpr int64_t kMaxGridCells = int64_t(1) << 25;

class CGrid {
  public:
    static constexpr int32_t kFree = 0;
    static constexpr int32_t kForbidden = -1;

    // False (nothing allocated) for negative counts, cells smaller than one pixel or more
    // than kMaxGridCells cells.
    bool Create(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cell_width,
                int32_t cell_height);

    int32_t left = 0, top = 0, cell_width = 1, cell_height = 1, hcells = 0, vcells = 0;
    // Cell (i, j) at j + i * vcells: 0 free, -1 forbidden, a positive label during a search.
    std::vector<int32_t> cells;

    bool Inside(int64_t i, int64_t j) const { return i >= 0 && i < hcells && j >= 0 && j < vcells; }
    int32_t& At(int64_t i, int64_t j) { return cells[size_t(j + i * vcells)]; }
    // Column and row of a room point, truncating toward zero.
    int64_t Column(int64_t px) const { return (px - left) / cell_width; }
    int64_t Row(int64_t py) const { return (py - top) / cell_height; }

    void ClearAll();
    void SetCell(int64_t i, int64_t j, int32_t value);
    // Every cell touched by the rectangle, clipped to the grid.
    void SetRectangle(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int32_t value);
    // The clipped cell range of a rectangle; false when it is empty.
    bool Range(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t& i0, int64_t& j0,
               int64_t& i1, int64_t& j1) const;

    // The search from the start point to the goal point; on success the path is rewritten
    // (straight, open, speed 100) from the start through the cell centres to the goal.
    bool FindPath(CPath& path, int64_t xstart, int64_t ystart, int64_t xgoal, int64_t ygoal,
                  bool diagonal);

    // Each cell as a filled rectangle, red when forbidden, green when free.
    void Draw(Graphics& g) const;

  private:
    bool PointInside(int64_t px, int64_t py) const;
    std::vector<int32_t> queue_;  // the search's queue of cell indices, kept between searches
};

}  // namespace tb
