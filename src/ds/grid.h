// Two-dimensional grids of values, with their text form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

namespace tb {

class RandomGenerator;

// What a grid operation does to one cell c with a value v.
enum class GridOp {
    kSet,       // c becomes v
    kAdd,       // reals add, texts concatenate, mixed kinds act as set
    kMultiply,  // reals multiply; any other pairing leaves c unchanged
};

void ApplyGridOp(GridOp op, RValue& cell, const RValue& v);

// The first matching cell in traversal order; x and y are 0 when there is none.
struct GridFind {
    bool found = false;
    int32_t x = 0;
    int32_t y = 0;
};

// Aggregates over the real cells only; strings are skipped.
inline constexpr double kGridNoMax = -100000000.0;
inline constexpr double kGridNoMin = 100000000.0;

// Cell (x, y) is row y of column x. Cells live in one block, column by column, so region
// traversals (x outer, y inner) walk memory in order.
class CDS_Grid {
  public:
    // Grids larger than this (4096 x 4096, some hundred megabytes) are refused rather than
    // allocated: a script asking for billions of cells must not take the runner down.
    static constexpr int64_t kMaxCells = int64_t(1) << 24;

    CDS_Grid() = default;
    CDS_Grid(int32_t width, int32_t height) { Create(width, height); }

    // Negative sizes count as 0. A size over kMaxCells is refused (false) and the grid keeps
    // its cells.
    bool Create(int32_t width, int32_t height);
    // Keeps the cells inside both the old and the new size; new cells are real 0.
    bool Resize(int32_t width, int32_t height);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    void SetAll(const RValue& v);
    // Nothing outside the grid.
    void Apply(GridOp op, int32_t x, int32_t y, const RValue& v);
    void ApplyRegion(GridOp op, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const RValue& v);
    void ApplyDisk(GridOp op, double xm, double ym, double r, const RValue& v);
    // The source region's first column and row land at (xpos, ypos). The source may be this
    // grid: the traversal runs against the direction of the move, so every cell acts with the
    // value it had before the operation.
    void ApplyGridRegion(GridOp op, const CDS_Grid& source, int32_t x1, int32_t y1, int32_t x2,
                         int32_t y2, int32_t xpos, int32_t ypos);

    // Real 0 outside the grid.
    const RValue& Get(int32_t x, int32_t y) const;

    double RegionSum(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    double RegionMax(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    double RegionMin(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    double RegionMean(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    double DiskSum(double xm, double ym, double r) const;
    double DiskMax(double xm, double ym, double r) const;
    double DiskMin(double xm, double ym, double r) const;
    double DiskMean(double xm, double ym, double r) const;
    GridFind RegionFind(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const RValue& v) const;
    GridFind DiskFind(double xm, double ym, double r, const RValue& v) const;

    // width × height × 8 exchanges of two cells drawn as x1, x2, y1, y2.
    void Shuffle(RandomGenerator& random);

    // An exact copy of `other`; null resizes this grid to 0 × 0.
    void CopyFrom(const CDS_Grid* other);

    // 601, width, height, then the cells column by column, as hexadecimal text.
    std::string WriteText() const;
    // False, with the grid unchanged, for a text of another kind or one that is malformed or
    // cut short.
    bool ReadText(std::string_view text);

  private:
    // Inclusive cell ranges, already cut to the grid; empty when lo > hi.
    struct Span {
        int64_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    };
    Span RegionSpan(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    Span DiskSpan(double xm, double ym, double r) const;
    struct Totals;
    Totals RegionTotals(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    Totals DiskTotals(double xm, double ym, double r) const;

    // Calls f(x, y, cell) in traversal order until it returns true.
    template <typename Cells, typename F>
    static void ForRegion(Cells& cells, int64_t height, const Span& s, F&& f);
    template <typename Cells, typename F>
    static void ForDisk(Cells& cells, int64_t height, const Span& s, double xm, double ym, double r,
                        F&& f);

    RValue& At(int64_t x, int64_t y) { return cells_[size_t(x * height_ + y)]; }
    const RValue& At(int64_t x, int64_t y) const { return cells_[size_t(x * height_ + y)]; }

    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<RValue> cells_;  // column-major: x * height + y
};

}  // namespace tb
