#include "planning/grid.h"

#include <algorithm>
#include <new>

#include "graphics/graphics.h"
#include "graphics/primitives.h"
#include "resources/path.h"

namespace tb {

bool CGrid::Create(int32_t l, int32_t t, int32_t h, int32_t v, int32_t cw, int32_t ch) {
    if (h < 0 || v < 0 || cw < 1 || ch < 1 || int64_t(h) * v > kMaxGridCells) return false;
    try {
        cells.assign(size_t(h) * size_t(v), kFree);
    } catch (const std::bad_alloc&) {
        return false;
    }
    left = l;
    top = t;
    hcells = h;
    vcells = v;
    cell_width = cw;
    cell_height = ch;
    return true;
}

void CGrid::ClearAll() {
    std::fill(cells.begin(), cells.end(), kFree);
}

void CGrid::SetCell(int64_t i, int64_t j, int32_t value) {
    if (Inside(i, j)) At(i, j) = value;
}

bool CGrid::Range(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t& i0, int64_t& j0,
                  int64_t& i1, int64_t& j1) const {
    i0 = std::max<int64_t>(0, Column(std::min(x1, x2)));
    i1 = std::min<int64_t>(hcells - 1, Column(std::max(x1, x2)));
    j0 = std::max<int64_t>(0, Row(std::min(y1, y2)));
    j1 = std::min<int64_t>(vcells - 1, Row(std::max(y1, y2)));
    return i0 <= i1 && j0 <= j1;
}

void CGrid::SetRectangle(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int32_t value) {
    int64_t i0, j0, i1, j1;
    if (!Range(x1, y1, x2, y2, i0, j0, i1, j1)) return;
    for (int64_t i = i0; i <= i1; ++i)
        for (int64_t j = j0; j <= j1; ++j) At(i, j) = value;
}

bool CGrid::PointInside(int64_t px, int64_t py) const {
    return px >= left && px < left + int64_t(hcells) * cell_width && py >= top &&
           py < top + int64_t(vcells) * cell_height;
}

bool CGrid::FindPath(CPath& path, int64_t xs, int64_t ys, int64_t xg, int64_t yg, bool diag) {
    if (!PointInside(xs, ys) || !PointInside(xg, yg)) return false;
    const int64_t si = Column(xs), sj = Row(ys), gi = Column(xg), gj = Row(yg);
    if (At(si, sj) == kForbidden || At(gi, gj) == kForbidden) return false;
    try {
        if (queue_.size() < cells.size()) queue_.resize(cells.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int64_t vc = vcells;
    const auto open = [this](int64_t i, int64_t j) { return Inside(i, j) && At(i, j) == kFree; };
    size_t head = 0, tail = 0;
    At(si, sj) = 1;
    queue_[tail++] = int32_t(sj + si * vc);
    bool found = false;
    while (head < tail) {
        const int32_t c = queue_[head++];
        const int64_t i = c / vc, j = c % vc;
        if (i == gi && j == gj) {
            found = true;
            break;
        }
        const int32_t label = cells[size_t(c)] + 1;
        // Which neighbours are open is decided before any of them is labelled.
        const bool l = open(i - 1, j), r = open(i + 1, j), u = open(i, j - 1), d = open(i, j + 1);
        bool ld = false, lu = false, rd = false, ru = false;
        if (diag) {
            ld = l && d && open(i - 1, j + 1);
            lu = l && u && open(i - 1, j - 1);
            rd = r && d && open(i + 1, j + 1);
            ru = r && u && open(i + 1, j - 1);
        }
        const auto push = [&](bool ok, int64_t ni, int64_t nj) {
            if (!ok) return;
            At(ni, nj) = label;
            queue_[tail++] = int32_t(nj + ni * vc);
        };
        push(l, i - 1, j);
        push(r, i + 1, j);
        push(u, i, j - 1);
        push(d, i, j + 1);
        push(ld, i - 1, j + 1);
        push(lu, i - 1, j - 1);
        push(rd, i + 1, j + 1);
        push(ru, i + 1, j - 1);
    }
    if (found) {
        std::vector<PathPoint> points;
        points.push_back({double(xg), double(yg), 100});
        int64_t i = gi, j = gj;
        static constexpr int kSteps[8][2] = {{-1, 0}, {1, 0}, {0, -1},  {0, 1},
                                             {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
        while (i != si || j != sj) {
            const int32_t want = At(i, j) - 1;
            bool moved = false;
            for (int k = 0; k < (diag ? 8 : 4) && !moved; ++k) {
                const int64_t ni = i + kSteps[k][0], nj = j + kSteps[k][1];
                if (Inside(ni, nj) && At(ni, nj) == want) {
                    i = ni;
                    j = nj;
                    moved = true;
                }
            }
            if (!moved) break;  // cannot happen with consistent labels
            if (i != si || j != sj)
                points.push_back({double(i * cell_width + left + cell_width / 2),
                                  double(j * cell_height + top + cell_height / 2), 100});
        }
        points.push_back({double(xs), double(ys), 100});
        std::reverse(points.begin(), points.end());
        path.points = std::move(points);
        path.Kind = 0;
        path.Closed = false;
        path.Recompute();
    }
    // Labels are search state only: every labelled cell went through the queue.
    for (size_t k = 0; k < tail; ++k) cells[size_t(queue_[k])] = kFree;
    return found;
}

void CGrid::Draw(Graphics& g) const {
    constexpr uint32_t kRed = 0x0000FF, kGreen = 0x008000;
    for (int64_t i = 0; i < hcells; ++i)
        for (int64_t j = 0; j < vcells; ++j) {
            const uint32_t c = cells[size_t(j + i * vcells)] == kForbidden ? kRed : kGreen;
            const double x1 = double(i * cell_width + left), y1 = double(j * cell_height + top);
            DrawRectangle(g, x1, y1, x1 + cell_width, y1 + cell_height, c, c, c, c, false);
        }
}

}  // namespace tb
