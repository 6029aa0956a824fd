#include "ds/grid.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ds/compare.h"
#include "runner/stream.h"
#include "script/random.h"
#include "script/variables.h"

namespace tb {

namespace {

constexpr int32_t kGridTextVersion = 601;
constexpr size_t kSavedCellBytes = 4 + 8 + 4;  // kind, real, text length

const RValue kZero;

int32_t NotNegative(int32_t n) {
    return n < 0 ? 0 : n;
}

bool FitsLimit(int32_t width, int32_t height) {
    return int64_t(width) * int64_t(height) <= CDS_Grid::kMaxCells;
}

}  // namespace

void ApplyGridOp(GridOp op, RValue& cell, const RValue& v) {
    switch (op) {
        case GridOp::kSet:
            cell = v;
            return;
        case GridOp::kAdd:
            if (cell.IsString() != v.IsString()) {
                cell = v;
            } else if (cell.IsString()) {
                cell.text.Append(v.text);
            } else {
                cell.real += v.real;
            }
            return;
        case GridOp::kMultiply:
            if (!cell.IsString() && !v.IsString()) cell.real *= v.real;
            return;
    }
}

// ---- size

bool CDS_Grid::Create(int32_t width, int32_t height) {
    width = NotNegative(width);
    height = NotNegative(height);
    if (!FitsLimit(width, height)) return false;
    cells_.assign(size_t(width) * size_t(height), RValue());
    width_ = width;
    height_ = height;
    return true;
}

bool CDS_Grid::Resize(int32_t width, int32_t height) {
    width = NotNegative(width);
    height = NotNegative(height);
    if (!FitsLimit(width, height)) return false;
    if (height == height_) {
        // Whole columns come or go at the end of the block.
        cells_.resize(size_t(width) * size_t(height));
    } else {
        std::vector<RValue> cells(size_t(width) * size_t(height));
        const int32_t w = std::min(width, width_), h = std::min(height, height_);
        for (int64_t x = 0; x < w; ++x)
            for (int64_t y = 0; y < h; ++y) cells[size_t(x * height + y)] = std::move(At(x, y));
        cells_ = std::move(cells);
    }
    width_ = width;
    height_ = height;
    return true;
}

// ---- traversal

CDS_Grid::Span CDS_Grid::RegionSpan(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    Span s;
    s.x0 = std::max<int64_t>(0, std::min(x1, x2));
    s.x1 = std::min<int64_t>(width_ - 1, std::max(x1, x2));
    s.y0 = std::max<int64_t>(0, std::min(y1, y2));
    s.y1 = std::min<int64_t>(height_ - 1, std::max(y1, y2));
    return s;
}

// The bounding square is cut to the grid in doubles before any conversion, so huge, infinite
// or NaN centres and radii give a small (or empty) range instead of a long loop.
CDS_Grid::Span CDS_Grid::DiskSpan(double xm, double ym, double r) const {
    Span s;
    auto cut = [](double lo, double hi, int32_t size, int64_t& out_lo, int64_t& out_hi) {
        lo = std::max(lo, 0.0);
        hi = std::min(hi, double(size) - 1);
        if (!(lo <= hi)) return;  // also NaN
        out_lo = int64_t(lo);
        out_hi = int64_t(hi);
    };
    cut(std::floor(xm - r), std::ceil(xm + r), width_, s.x0, s.x1);
    cut(std::floor(ym - r), std::ceil(ym + r), height_, s.y0, s.y1);
    return s;
}

template <typename Cells, typename F>
void CDS_Grid::ForRegion(Cells& cells, int64_t height, const Span& s, F&& f) {
    for (int64_t x = s.x0; x <= s.x1; ++x)
        for (int64_t y = s.y0; y <= s.y1; ++y)
            if (f(x, y, cells[size_t(x * height + y)])) return;
}

template <typename Cells, typename F>
void CDS_Grid::ForDisk(Cells& cells, int64_t height, const Span& s, double xm, double ym, double r,
                       F&& f) {
    const double r2 = r * r;
    for (int64_t x = s.x0; x <= s.x1; ++x) {
        const double dx = double(x) - xm;
        for (int64_t y = s.y0; y <= s.y1; ++y) {
            const double dy = double(y) - ym;
            if (dx * dx + dy * dy <= r2 && f(x, y, cells[size_t(x * height + y)])) return;
        }
    }
}

// ---- operations

void CDS_Grid::SetAll(const RValue& v) {
    std::fill(cells_.begin(), cells_.end(), v);
}

void CDS_Grid::Apply(GridOp op, int32_t x, int32_t y, const RValue& v) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    ApplyGridOp(op, At(x, y), v);
}

void CDS_Grid::ApplyRegion(GridOp op, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           const RValue& v) {
    ForRegion(cells_, height_, RegionSpan(x1, y1, x2, y2), [&](int64_t, int64_t, RValue& c) {
        ApplyGridOp(op, c, v);
        return false;
    });
}

void CDS_Grid::ApplyDisk(GridOp op, double xm, double ym, double r, const RValue& v) {
    ForDisk(cells_, height_, DiskSpan(xm, ym, r), xm, ym, r, [&](int64_t, int64_t, RValue& c) {
        ApplyGridOp(op, c, v);
        return false;
    });
}

void CDS_Grid::ApplyGridRegion(GridOp op, const CDS_Grid& source, int32_t x1, int32_t y1,
                               int32_t x2, int32_t y2, int32_t xpos, int32_t ypos) {
    int64_t xs = std::max<int64_t>(0, std::min(x1, x2));
    int64_t xe = std::min<int64_t>(source.width_ - 1, std::max(x1, x2));
    int64_t ys = std::max<int64_t>(0, std::min(y1, y2));
    int64_t ye = std::min<int64_t>(source.height_ - 1, std::max(y1, y2));
    int64_t xp = xpos, yp = ypos;
    if (xp < 0) {
        xs -= xp;
        xp = 0;
    }
    if (yp < 0) {
        ys -= yp;
        yp = 0;
    }
    xe = std::min(xe, xs + (int64_t(width_) - 1 - xp));
    ye = std::min(ye, ys + (int64_t(height_) - 1 - yp));
    if (xs > xe || ys > ye) return;

    // Against the direction of the move, so a region moved within one grid reads each source
    // cell before it is overwritten.
    const bool x_back = xs < xp, y_back = ys < yp;
    const int64_t n_cols = xe - xs + 1, n_rows = ye - ys + 1;
    for (int64_t i = 0; i < n_cols; ++i) {
        const int64_t x = x_back ? xe - i : xs + i;
        for (int64_t j = 0; j < n_rows; ++j) {
            const int64_t y = y_back ? ye - j : ys + j;
            ApplyGridOp(op, At(x - xs + xp, y - ys + yp), source.At(x, y));
        }
    }
}

const RValue& CDS_Grid::Get(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kZero;
    return At(x, y);
}

// ---- aggregates and searches

// Sum, extremes and count of the real cells seen; strings are skipped.
struct CDS_Grid::Totals {
    double sum = 0;
    double max = 0;
    double min = 0;
    int64_t count = 0;

    bool operator()(int64_t, int64_t, const RValue& c) {
        if (c.IsString()) return false;
        sum += c.real;
        if (count == 0 || c.real > max) max = c.real;
        if (count == 0 || c.real < min) min = c.real;
        ++count;
        return false;
    }
    double Max() const { return count ? max : kGridNoMax; }
    double Min() const { return count ? min : kGridNoMin; }
    double Mean() const { return count ? sum / double(count) : 0; }
};

CDS_Grid::Totals CDS_Grid::RegionTotals(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    Totals t;
    ForRegion(cells_, height_, RegionSpan(x1, y1, x2, y2), t);
    return t;
}

CDS_Grid::Totals CDS_Grid::DiskTotals(double xm, double ym, double r) const {
    Totals t;
    ForDisk(cells_, height_, DiskSpan(xm, ym, r), xm, ym, r, t);
    return t;
}

double CDS_Grid::RegionSum(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    return RegionTotals(x1, y1, x2, y2).sum;
}
double CDS_Grid::RegionMax(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    return RegionTotals(x1, y1, x2, y2).Max();
}
double CDS_Grid::RegionMin(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    return RegionTotals(x1, y1, x2, y2).Min();
}
double CDS_Grid::RegionMean(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    return RegionTotals(x1, y1, x2, y2).Mean();
}
double CDS_Grid::DiskSum(double xm, double ym, double r) const {
    return DiskTotals(xm, ym, r).sum;
}
double CDS_Grid::DiskMax(double xm, double ym, double r) const {
    return DiskTotals(xm, ym, r).Max();
}
double CDS_Grid::DiskMin(double xm, double ym, double r) const {
    return DiskTotals(xm, ym, r).Min();
}
double CDS_Grid::DiskMean(double xm, double ym, double r) const {
    return DiskTotals(xm, ym, r).Mean();
}

namespace {

// Stops at the first cell that compares equal to the value.
struct Finder {
    const RValue& value;
    GridFind out;
    bool operator()(int64_t x, int64_t y, const RValue& c) {
        if (CompareValues(c, value) != 0) return false;
        out = {true, int32_t(x), int32_t(y)};
        return true;
    }
};

}  // namespace

GridFind CDS_Grid::RegionFind(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                              const RValue& v) const {
    Finder f{v, {}};
    ForRegion(cells_, height_, RegionSpan(x1, y1, x2, y2), f);
    return f.out;
}

GridFind CDS_Grid::DiskFind(double xm, double ym, double r, const RValue& v) const {
    Finder f{v, {}};
    ForDisk(cells_, height_, DiskSpan(xm, ym, r), xm, ym, r, f);
    return f.out;
}

// ---- shuffle and copy

void CDS_Grid::Shuffle(RandomGenerator& random) {
    const int64_t rounds = int64_t(width_) * height_ * 8;
    const auto w = uint32_t(width_), h = uint32_t(height_);
    for (int64_t i = 0; i < rounds; ++i) {
        const uint32_t xa = random.Below(w);
        const uint32_t xb = random.Below(w);
        const uint32_t ya = random.Below(h);
        const uint32_t yb = random.Below(h);
        std::swap(At(xa, ya), At(xb, yb));
    }
}

void CDS_Grid::CopyFrom(const CDS_Grid* other) {
    if (!other) {
        Resize(0, 0);
        return;
    }
    if (other == this) return;
    cells_ = other->cells_;
    width_ = other->width_;
    height_ = other->height_;
}

// ---- text form

std::string CDS_Grid::WriteText() const {
    CStream s;
    s.data.reserve(12 + cells_.size() * kSavedCellBytes);
    WriteInteger(s, kGridTextVersion);
    WriteInteger(s, width_);
    WriteInteger(s, height_);
    for (const RValue& c : cells_) SaveValue(s, c);
    return ToHex(s);
}

bool CDS_Grid::ReadText(std::string_view text) {
    CStream s;
    FromHex(s, text);
    try {
        if (ReadInteger(s) != kGridTextVersion) return false;
        const int32_t width = ReadInteger(s);
        const int32_t height = ReadInteger(s);
        if (width < 0 || height < 0 || !FitsLimit(width, height)) return false;
        const size_t n = size_t(width) * size_t(height);
        // Checked before allocating: a damaged size cannot ask for more cells than the text
        // could hold.
        if (n > s.Remaining() / kSavedCellBytes) return false;
        std::vector<RValue> cells;
        cells.reserve(n);
        for (size_t i = 0; i < n; ++i) cells.push_back(LoadValue(s));
        cells_ = std::move(cells);
        width_ = width;
        height_ = height;
        return true;
    } catch (const StreamError&) {
        return false;
    }
}

}  // namespace tb
