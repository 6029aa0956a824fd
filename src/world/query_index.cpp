#include "world/query_index.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/broad_phase.h"
#include "world/grid_size.h"
#include "world/instance.h"
#include "world/instance_sets.h"
#include "world/world.h"

namespace tb {

namespace {

// A box over more cells than this is kept in a list that every query reads; a query over
// more cells than this reads every filed box instead of the cells.
constexpr int64_t kBigCells = 16;
constexpr int64_t kQueryCells = 256;
// Refilings after which the grid is laid out afresh (the boxes may have wandered off it).
constexpr size_t kUpdatesPerEntry = 4;
// Steps without a query after which the box changes are no longer collected.
constexpr int kIdleSteps = 2;

uint64_t PointerHash(const CInstance* p) {
    const uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(p)) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 31);
}

template <class A, class B>
bool Overlap(const A& a, const B& b) {
    return int64_t(a.left) <= int64_t(b.right) && int64_t(b.left) <= int64_t(a.right) &&
           int64_t(a.top) <= int64_t(b.bottom) && int64_t(b.top) <= int64_t(a.bottom);
}

// An origin as a whole pixel; far outside every room it is held at a bound that no query
// inside the bounds reaches.
int32_t OriginCell(double v) {
    constexpr double kBound = double(1 << 30);
    return int32_t(std::floor(std::clamp(v, -kBound, kBound)));
}

// Far outside every room, yet clear of overflow in the arithmetic of the boxes.
int64_t FloorCoord(double v) {
    return int64_t(std::floor(std::clamp(v, -4e18, 4e18)));
}

}  // namespace

bool PointBox(double x, double y, QueryBox& box) {
    if (std::isnan(x) || std::isnan(y)) return false;
    box = {FloorCoord(x), FloorCoord(y), FloorCoord(x), FloorCoord(y)};
    return true;
}

bool ShapeBox(double x1, double y1, double x2, double y2, QueryBox& box) {
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) return false;
    box = {FloorCoord(std::min(x1, x2)), FloorCoord(std::min(y1, y2)), FloorCoord(std::max(x1, x2)),
           FloorCoord(std::max(y1, y2))};
    return true;
}

QueryIndex::QueryIndex(Game& game) : game_(game) {}

QueryIndex::~QueryIndex() {
    if (game_.box_changes == &changes) game_.box_changes = nullptr;
}

bool QueryIndex::Listening() {
    if (game_.box_changes == &changes) return true;
    if (!game_.box_changes) {
        // Nobody heard the changes since the filings: they are made again.
        lanes_.clear();
        changes.clear();
        game_.box_changes = &changes;
        listening_ = true;
        return true;
    }
    // Another collector (the collision pass) hands the reports on only when it found us
    // listening as it began.
    return listening_;
}

QueryIndex* QueryIndex::Of(ScriptEngine& engine, const CRoom& room) {
    World* w = engine.world;
    if (!w || w->collision_all_pairs || &room != w->Room() || &w->game != engine.game)
        return nullptr;
    if (!w->collision_grid) w->collision_grid = std::make_unique<CollisionGrid>();
    CollisionGrid& grid = *w->collision_grid;
    if (!grid.queries) grid.queries = std::make_unique<QueryIndex>(w->game);
    QueryIndex* index = grid.queries.get();
    return index->Listening() ? index : nullptr;
}

size_t QueryIndex::ListSize(const CRoom& room, int64_t target) {
    if (target == kTargetAll) return room.instances.size();
    if (target < 0 || target > INT32_MAX) return 0;
    return room.InstancesOfFamily(int32_t(target)).size();
}

CInstance* QueryIndex::ListAt(const CRoom& room, int64_t target, size_t k) {
    if (target == kTargetAll) return k < room.instances.size() ? room.instances[k].get() : nullptr;
    const auto list = room.InstancesOfFamily(int32_t(target));
    return k < list.size() ? list[k] : nullptr;
}

void QueryIndex::Reset() {
    lanes_.clear();
    changes.clear();
    room_ = nullptr;
}

void QueryIndex::StepBegins() {
    idle_steps_ = used_ ? 0 : idle_steps_ + 1;
    used_ = false;
    if (listening_ && idle_steps_ >= kIdleSteps) {
        // The filings go stale without the changes; they are made again when asked for.
        if (game_.box_changes == &changes) game_.box_changes = nullptr;
        listening_ = false;
        Reset();
    }
}

QueryIndex::Box QueryIndex::BoxNow(const Lane& lane, const CInstance& inst) const {
    if (lane.origins) {
        if (std::isnan(inst.x) || std::isnan(inst.y)) return {1, 1, 0, 0};  // never nearest
        const int32_t x = OriginCell(inst.x), y = OriginCell(inst.y);
        return {x, y, x, y};
    }
    return {inst.bbox_left, inst.bbox_top, inst.bbox_right, inst.bbox_bottom};
}

QueryIndex::CellRange QueryIndex::Lane::Cells(const Box& b) const {
    auto column = [this](int64_t x) {
        const int64_t c = (x - ox) >> shift;
        return c < 0 ? 0 : c >= width ? width - 1 : c;
    };
    auto row = [this](int64_t y) {
        const int64_t r = (y - oy) >> shift;
        return r < 0 ? 0 : r >= height ? height - 1 : r;
    };
    return {column(b.left), row(b.top), column(b.right), row(b.bottom)};
}

void QueryIndex::Lane::Insert(uint32_t k) {
    const Box& b = boxes[k];
    const bool no_box =
        origins ? b.left > b.right
                : b.left == kNoBox && b.top == kNoBox && b.right == kNoBox && b.bottom == kNoBox;
    if (no_box) {
        where[k] = Where::kFar;
        far.push_back(k);
        return;
    }
    const CellRange r = Cells(b);
    if (r.Count() > kBigCells) {
        where[k] = Where::kBig;
        big.push_back(k);
        return;
    }
    where[k] = Where::kCells;
    for (int64_t y = r.y0; y <= r.y1; ++y)
        for (int64_t x = r.x0; x <= r.x1; ++x) cells[size_t(y * width + x)].push_back(k);
}

void QueryIndex::Lane::Remove(uint32_t k) {
    auto take_out = [k](std::vector<uint32_t>& v) {
        auto it = std::find(v.begin(), v.end(), k);
        if (it == v.end()) return;
        *it = v.back();
        v.pop_back();
    };
    switch (where[k]) {
        case Where::kFar:
            take_out(far);
            return;
        case Where::kBig:
            take_out(big);
            return;
        case Where::kCells: {
            const CellRange r = Cells(boxes[k]);
            for (int64_t y = r.y0; y <= r.y1; ++y)
                for (int64_t x = r.x0; x <= r.x1; ++x) take_out(cells[size_t(y * width + x)]);
            return;
        }
    }
}

void QueryIndex::Lane::AddSlot(const CInstance* inst, uint32_t k) {
    const size_t mask = slots.size() - 1;
    for (size_t i = PointerHash(inst) & mask;; i = (i + 1) & mask) {
        if (!slots[i].inst) {
            slots[i] = {inst, k};
            return;
        }
    }
}

const QueryIndex::Slot* QueryIndex::Lane::FindSlot(const CInstance* inst) const {
    const size_t mask = slots.size() - 1;
    for (size_t i = PointerHash(inst) & mask; slots[i].inst; i = (i + 1) & mask)
        if (slots[i].inst == inst) return &slots[i];
    return nullptr;
}

void QueryIndex::File(Lane& lane, const CRoom& room) {
    const size_t n = ListSize(room, lane.target);
    lane.filed.resize(n);
    lane.boxes.resize(n);
    lane.where.resize(n);
    lane.big.clear();
    lane.far.clear();
    lane.updates = 0;
    // Cells about twice the mean box, over the room and every box, at most about two per
    // instance.
    int64_t left = 0, top = 0, right = std::max(room.Width, 1) - 1,
            bottom = std::max(room.Height, 1) - 1;
    uint64_t extent = 0, counted = 0;
    for (size_t k = 0; k < n; ++k) {
        const CInstance* inst = ListAt(room, lane.target, k);
        lane.filed[k] = inst;
        const Box b = BoxNow(lane, *inst);
        lane.boxes[k] = b;
        if (b.left > b.right || (b.left == kNoBox && b.right == kNoBox)) continue;
        extent +=
            uint64_t(std::max<int64_t>(int64_t(b.right) - b.left, int64_t(b.bottom) - b.top)) + 1;
        ++counted;
        left = std::min<int64_t>(left, b.left);
        top = std::min<int64_t>(top, b.top);
        right = std::max<int64_t>(right, b.right);
        bottom = std::max<int64_t>(bottom, b.bottom);
    }
    const uint64_t mean =
        counted ? std::clamp<uint64_t>(extent / counted, 8, uint64_t(1) << 24) : 32;
    SizeGrid(lane, left, top, right, bottom, mean, int64_t(2 * n + 64));
    const size_t cells = size_t(lane.width * lane.height);
    if (lane.cells.size() > cells) lane.cells.resize(cells);
    for (auto& c : lane.cells) c.clear();
    lane.cells.resize(cells);
    for (size_t k = 0; k < n; ++k) lane.Insert(uint32_t(k));
    lane.slots.assign(std::bit_ceil(std::max<size_t>(16, n * 2)), Slot{});
    for (size_t k = 0; k < n; ++k) lane.AddSlot(lane.filed[k], uint32_t(k));
}

void QueryIndex::Refresh(const CRoom& room) {
    if (room_ != &room || room.table_rebuilds != table_rebuilds_) {
        // The positions changed: every list is filed again when next asked for.
        lanes_.clear();
        room_ = &room;
        table_rebuilds_ = room.table_rebuilds;
    }
    used_ = true;
    // Inside the collision pass the pass collects the reports (and hands them on to us when
    // it looks at them): the ones it holds are read here too.
    const std::vector<CInstance*>* pending =
        game_.box_changes != &changes ? game_.box_changes : nullptr;
    for (Lane& lane : lanes_) {
        const size_t n = ListSize(room, lane.target);
        if (n < lane.filed.size()) {
            // Cannot happen without a rebuild of the lists; file again to be safe.
            File(lane, room);
            continue;
        }
        auto refile = [&](const CInstance* inst) {
            const Slot* slot = lane.FindSlot(inst);
            if (!slot) return;  // not in this list, or appended since the filing
            const uint32_t k = slot->index;
            const Box now = BoxNow(lane, *inst);
            if (now == lane.boxes[k]) return;
            lane.Remove(k);
            lane.boxes[k] = now;
            lane.Insert(k);
            ++lane.updates;
        };
        for (const CInstance* inst : changes) refile(inst);
        if (pending)
            for (const CInstance* inst : *pending) refile(inst);
        if (n > lane.filed.size()) {
            if (lane.slots.size() < 2 * n) {
                lane.slots.assign(std::bit_ceil(2 * n), Slot{});
                for (size_t k = 0; k < lane.filed.size(); ++k)
                    lane.AddSlot(lane.filed[k], uint32_t(k));
            }
            for (size_t k = lane.filed.size(); k < n; ++k) {
                const CInstance* inst = ListAt(room, lane.target, k);
                lane.filed.push_back(inst);
                lane.boxes.push_back(BoxNow(lane, *inst));
                lane.where.push_back(Where::kFar);
                lane.Insert(uint32_t(k));
                lane.AddSlot(inst, uint32_t(k));
                ++lane.updates;
            }
        }
        if (lane.updates > kUpdatesPerEntry * lane.filed.size() + 1024) File(lane, room);
    }
    changes.clear();
}

QueryIndex::Lane& QueryIndex::LaneFor(const CRoom& room, int64_t target, bool origins) {
    for (Lane& lane : lanes_)
        if (lane.target == target && lane.origins == origins) return lane;
    Lane& lane = lanes_.emplace_back();
    lane.target = target;
    lane.origins = origins;
    File(lane, room);
    return lane;
}

std::span<const uint32_t> QueryIndex::Near(const CRoom& room, int64_t target, const QueryBox& box,
                                           bool origins) {
    Refresh(room);
    out_.clear();
    if (box.left > box.right || box.top > box.bottom) return {};
    const Lane& lane = LaneFor(room, target, origins);
    const Box clipped{
        int32_t(std::clamp<int64_t>(box.left, INT32_MIN, INT32_MAX)),
        int32_t(std::clamp<int64_t>(box.top, INT32_MIN, INT32_MAX)),
        int32_t(std::clamp<int64_t>(box.right, INT32_MIN, INT32_MAX)),
        int32_t(std::clamp<int64_t>(box.bottom, INT32_MIN, INT32_MAX)),
    };
    const CellRange r = lane.Cells(clipped);
    if (r.Count() > kQueryCells) {
        // Over much of the grid: every filed box, already in order.
        for (size_t k = 0; k < lane.boxes.size(); ++k)
            if (Overlap(box, lane.boxes[k])) out_.push_back(uint32_t(k));
        return out_;
    }
    for (int64_t y = r.y0; y <= r.y1; ++y)
        for (int64_t x = r.x0; x <= r.x1; ++x)
            for (uint32_t k : lane.cells[size_t(y * lane.width + x)])
                if (Overlap(box, lane.boxes[k])) out_.push_back(k);
    for (uint32_t k : lane.big)
        if (Overlap(box, lane.boxes[k])) out_.push_back(k);
    if (!lane.far.empty() && Overlap(box, lane.boxes[lane.far.front()]))
        out_.insert(out_.end(), lane.far.begin(), lane.far.end());
    std::sort(out_.begin(), out_.end());
    out_.erase(std::unique(out_.begin(), out_.end()), out_.end());
    return out_;
}

}  // namespace tb
