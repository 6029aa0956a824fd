#include "world/broad_phase.h"

#include <algorithm>
#include <bit>

#include "resources/room.h"
#include "runner/game.h"
#include "world/grid_size.h"
#include "world/instance.h"

namespace tb {

namespace {

using Box = CollisionGrid::Box;

// A box over more cells than this is not filed cell by cell but checked on every query.
constexpr int64_t kBigCells = 16;
// A query box over more cells than this walks the whole table instead.
constexpr int64_t kQueryCells = 64;
// Walks over the tables fetch the instance this far ahead into the cache.
constexpr size_t kReadAhead = 8;

Box BoxOf(const CInstance& inst) {
    return {inst.bbox_left, inst.bbox_top, inst.bbox_right, inst.bbox_bottom};
}

uint64_t PointerHash(const CInstance* p) {
    const uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(p)) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 31);
}

// The box condition of Meets instance.
bool BoxesOverlap(const Box& a, const Box& b) {
    return int64_t(b.left) < int64_t(a.right) + 1 && int64_t(a.left) < int64_t(b.right) + 1 &&
           int64_t(b.top) < int64_t(a.bottom) + 1 && int64_t(a.top) < int64_t(b.bottom) + 1;
}

// Instances that can meet something: live, with a mask sprite (the far-away box of the others
// meets nothing).
bool Fileable(const CInstance& inst, const Game& game) {
    return !inst.destroyed &&
           game.sprites.Get(inst.mask_index >= 0 ? inst.mask_index : inst.sprite_index);
}

// The fields a collision test reads.
void Prefetch(const CInstance& inst) {
    __builtin_prefetch(&inst.mask_index);
    __builtin_prefetch(&inst.precise);
    __builtin_prefetch(&inst.bbox_left);
    __builtin_prefetch(&inst.bbox_bottom);
    __builtin_prefetch(&inst.destroyed);
}

void SortUnique(std::vector<uint32_t>& v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

}  // namespace

void CollisionGrid::Build(const CRoom& room, const Game& game, std::span<const int32_t> objects) {
    lanes_.clear();
    std::fill(lane_of_.begin(), lane_of_.end(), -1);
    for (int32_t o : objects) {
        if (o < 0) continue;
        if (size_t(o) >= lane_of_.size()) lane_of_.resize(size_t(o) + 1, -1);
        if (lane_of_[size_t(o)] >= 0) continue;
        lane_of_[size_t(o)] = int32_t(lanes_.size());
        lanes_.emplace_back().object = o;
    }
    Rebuild(room, game);
}

void CollisionGrid::Rebuild(const CRoom& room, const Game& game) {
    filed_total_ = 0;
    for (Lane& lane : lanes_) {
        const std::span<CInstance* const> list = room.InstancesOfObject(lane.object);
        FileLane(lane, list, game);
        filed_total_ += list.size();
    }
    slots_.clear();  // the instance lookup is made when first needed
    changed_since_build_ = 0;
    table_rebuilds_ = room.table_rebuilds;
    ++generation_;
    changes.clear();
}

void CollisionGrid::FileLane(Lane& lane, std::span<CInstance* const> list, const Game& game) {
    lane.filed = list.size();
    lane.big.clear();
    lane.moved.clear();
    lane.is_moved.assign(list.size(), 0);
    // One read of every instance; the rest works on the copies of the boxes.
    lane.boxes.resize(list.size());
    uint64_t extent = 0, filed = 0;
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (size_t k = 0; k < list.size(); ++k) {
        if (k + kReadAhead < list.size()) Prefetch(*list[k + kReadAhead]);
        const CInstance& inst = *list[k];
        Box& b = lane.boxes[k];
        if (!Fileable(inst, game)) {
            b = Box{1, 1, 0, 0};
            continue;
        }
        b = BoxOf(inst);
        extent +=
            uint64_t(std::max<int64_t>(int64_t(b.right) - b.left, int64_t(b.bottom) - b.top)) + 1;
        ++filed;
        left = std::min<int64_t>(left, b.left);
        top = std::min<int64_t>(top, b.top);
        right = std::max<int64_t>(right, b.right);
        bottom = std::max<int64_t>(bottom, b.bottom);
    }
    if (!filed) left = top = right = bottom = 0;
    // Cells about twice as large as the boxes, so a box covers one to four of them; larger
    // when the boxes are spread so thinly that the grid would have many empty cells.
    const uint64_t mean = filed ? std::clamp<uint64_t>(extent / filed, 2, uint64_t(1) << 24) : 32;
    SizeGrid(lane, left, top, right, bottom, mean, int64_t(2 * filed + 64));
    const size_t cells = size_t(lane.width * lane.height);
    counts_.assign(cells + 1, 0);
    ranges_.resize(list.size());
    size_t occurrences = 0;
    for (size_t k = 0; k < list.size(); ++k) {
        const Box& b = lane.boxes[k];
        CellRange& r = ranges_[k];
        r = CellRange{0, 0, -1, -1};  // no cells
        if (b.left > b.right) continue;
        const CellRange cover = lane.Cells(b);
        if (cover.Count() > kBigCells) {
            lane.big.push_back(uint32_t(k));
            continue;
        }
        r = cover;
        for (int64_t y = r.y0; y <= r.y1; ++y)
            for (int64_t x = r.x0; x <= r.x1; ++x) ++counts_[size_t(y * lane.width + x) + 1];
        occurrences += size_t(r.Count());
    }
    for (size_t c = 0; c < cells; ++c) counts_[c + 1] += counts_[c];
    lane.start.assign(counts_.begin(), counts_.end());
    lane.items.resize(occurrences);
    // Filled in ascending k, so every cell lists its indices in table order.
    for (size_t k = 0; k < list.size(); ++k) {
        const CellRange& r = ranges_[k];
        for (int64_t y = r.y0; y <= r.y1; ++y)
            for (int64_t x = r.x0; x <= r.x1; ++x)
                lane.items[counts_[size_t(y * lane.width + x)]++] =
                    Item{uint32_t(k), lane.boxes[k]};
    }
}

void CollisionGrid::MapInstances(const CRoom& room) {
    // At most half full, so probes stay short.
    slots_.assign(std::bit_ceil(std::max<size_t>(16, filed_total_ * 2)), Slot{});
    for (size_t l = 0; l < lanes_.size(); ++l) {
        const std::span<CInstance* const> list = room.InstancesOfObject(lanes_[l].object);
        for (size_t k = 0; k < lanes_[l].filed; ++k)
            Insert(slots_, list[k], uint32_t(l), uint32_t(k));
    }
}

void CollisionGrid::Insert(std::vector<Slot>& slots, const CInstance* inst, uint32_t lane,
                           uint32_t index) {
    const size_t mask = slots.size() - 1;
    for (size_t i = PointerHash(inst) & mask;; i = (i + 1) & mask) {
        if (!slots[i].inst) {
            slots[i] = {inst, lane, index};
            return;
        }
    }
}

const CollisionGrid::Slot* CollisionGrid::Find(const std::vector<Slot>& slots,
                                               const CInstance* inst) {
    const size_t mask = slots.size() - 1;
    for (size_t i = PointerHash(inst) & mask; slots[i].inst; i = (i + 1) & mask)
        if (slots[i].inst == inst) return &slots[i];
    return nullptr;
}

bool CollisionGrid::Refresh(const CRoom& room, const Game& game) {
    if (room.table_rebuilds != table_rebuilds_) {
        // Instances were removed, deactivated or activated: the indices changed.
        Rebuild(room, game);
        return true;
    }
    if (changes.empty()) return false;
    if (slots_.empty()) MapInstances(room);
    Prepared& p = prepared_;
    const bool prepared = p.a >= 0 && p.generation == generation_;
    if (prepared && p.slots.empty()) {
        // The prepared instances keep their indices while the generation holds.
        const std::span<CInstance* const> list = room.InstancesOfObject(p.a);
        p.slots.assign(std::bit_ceil(std::max<size_t>(16, p.ready.size() * 2)), Slot{});
        for (size_t ai = 0; ai < p.ready.size() && ai < list.size(); ++ai)
            Insert(p.slots, list[ai], 0, uint32_t(ai));
    }
    // The pointers are only compared, never followed: a reported instance is looked up among
    // the filed and prepared ones. Those not filed were appended since, and their lanes check
    // them anyway.
    for (const CInstance* inst : changes) {
        if (prepared)
            if (const Slot* slot = Find(p.slots, inst)) p.moved[slot->index] = 1;
        const Slot* slot = Find(slots_, inst);
        if (!slot) continue;
        Lane& lane = lanes_[slot->lane];
        if (lane.is_moved[slot->index]) continue;
        lane.is_moved[slot->index] = 1;
        lane.moved.push_back(slot->index);
        ++changed_since_build_;
    }
    changes.clear();
    size_t appended = 0;
    for (const Lane& lane : lanes_) {
        const size_t now = room.InstancesOfObject(lane.object).size();
        appended += now > lane.filed ? now - lane.filed : 0;
    }
    // Checking the moved and appended instances on every query costs more than filing again
    // once they are a good part of the whole.
    if (changed_since_build_ + appended > 64 + filed_total_ / 4) Rebuild(room, game);
    return true;
}

const CollisionGrid::Lane* CollisionGrid::LaneOf(int32_t object) const {
    if (object < 0 || size_t(object) >= lane_of_.size() || lane_of_[size_t(object)] < 0)
        return nullptr;
    return &lanes_[size_t(lane_of_[size_t(object)])];
}

void CollisionGrid::AddLive(const Lane& lane, std::span<CInstance* const> list, const Box& box,
                            size_t from, size_t to, std::vector<uint32_t>& out) const {
    auto take_current = [&](size_t k) {
        if (k >= from && k < to && !list[k]->destroyed && BoxesOverlap(box, BoxOf(*list[k])))
            out.push_back(uint32_t(k));
    };
    for (uint32_t k : lane.big)
        if (k >= from && k < to && BoxesOverlap(box, lane.boxes[k])) out.push_back(k);
    for (uint32_t k : lane.moved) take_current(k);
    for (size_t k = std::max(from, lane.filed); k < to; ++k) take_current(k);
}

void CollisionGrid::Prepare(const CRoom& room, int32_t a, int32_t b) {
    Prepared& p = prepared_;
    p.a = p.b = -1;
    const Lane* lane = LaneOf(b);
    if (!lane) return;
    const std::span<CInstance* const> list = room.InstancesOfObject(a);
    const size_t n = list.size();
    p.boxes.resize(n);
    p.ready.assign(n, 0);
    p.moved.assign(n, 0);
    p.slots.clear();
    // The instances in the order of their first cell.
    const size_t cells = size_t(lane->width * lane->height);
    counts_.assign(cells + 1, 0);
    ranges_.resize(n);
    for (size_t ai = 0; ai < n; ++ai) {
        if (ai + kReadAhead < n) Prefetch(*list[ai + kReadAhead]);
        const CInstance& inst = *list[ai];
        p.boxes[ai] = BoxOf(inst);
        if (inst.destroyed) continue;  // skipped when its turn comes
        const CellRange r = lane->Cells(p.boxes[ai]);
        if (r.Count() > kQueryCells) continue;  // its turn walks the whole table
        ranges_[ai] = r;
        p.ready[ai] = 1;
        ++counts_[size_t(r.y0 * lane->width + r.x0) + 1];
    }
    for (size_t c = 0; c < cells; ++c) counts_[c + 1] += counts_[c];
    order_.resize(counts_[cells]);
    for (size_t ai = 0; ai < n; ++ai) {
        if (!p.ready[ai]) continue;
        const CellRange& r = ranges_[ai];
        order_[counts_[size_t(r.y0 * lane->width + r.x0)]++] = uint32_t(ai);
    }
    // The sweep: neighbouring instances read neighbouring cells.
    pairs_.clear();
    for (uint32_t ai : order_) {
        const Box& box = p.boxes[ai];
        const CellRange& r = ranges_[ai];
        for (int64_t y = r.y0; y <= r.y1; ++y) {
            for (int64_t x = r.x0; x <= r.x1; ++x) {
                const size_t c = size_t(y * lane->width + x);
                for (uint32_t i = lane->start[c]; i < lane->start[c + 1]; ++i) {
                    const Item& item = lane->items[i];
                    if (BoxesOverlap(box, item.box))
                        pairs_.push_back(uint64_t(ai) << 32 | item.index);
                }
            }
        }
    }
    // Grouped by instance.
    p.begin.assign(n + 1, 0);
    for (uint64_t pair : pairs_) ++p.begin[size_t(pair >> 32) + 1];
    for (size_t ai = 0; ai < n; ++ai) p.begin[ai + 1] += p.begin[ai];
    p.found.resize(pairs_.size());
    order_.assign(p.begin.begin(), p.begin.end() - 1);  // fill positions
    for (uint64_t pair : pairs_) p.found[order_[size_t(pair >> 32)]++] = uint32_t(pair);
    p.a = a;
    p.b = b;
    p.generation = generation_;
}

bool CollisionGrid::Quiet(const CRoom& room, int32_t a, size_t ai, int32_t b, size_t to) const {
    const Prepared& p = prepared_;
    if (!p.Holds(a, b, generation_, ai) || p.begin[ai] != p.begin[ai + 1]) return false;
    const Lane* lane = LaneOf(b);
    if (!lane) return false;
    // The box is the prepared one: it has not been computed since.
    const Box& box = p.boxes[ai];
    const std::span<CInstance* const> list = room.InstancesOfObject(b);
    to = std::min(to, list.size());
    auto meets_now = [&](size_t k) {
        return k < to && !list[k]->destroyed && BoxesOverlap(box, BoxOf(*list[k]));
    };
    for (uint32_t k : lane->big)
        if (k < to && BoxesOverlap(box, lane->boxes[k])) return false;
    for (uint32_t k : lane->moved)
        if (meets_now(k)) return false;
    for (size_t k = lane->filed; k < to; ++k)
        if (meets_now(k)) return false;
    return true;
}

void CollisionGrid::Candidates(const CRoom& room, int32_t a, size_t ai, const CInstance& inst,
                               int32_t b, size_t from, size_t to,
                               std::vector<uint32_t>& out) const {
    out.clear();
    const Lane* lane = LaneOf(b);
    if (!lane) return;
    const std::span<CInstance* const> list = room.InstancesOfObject(b);
    to = std::min(to, list.size());
    if (from >= to) return;
    const Box box = BoxOf(inst);
    const Prepared& p = prepared_;
    if (p.a == a && p.b == b && p.generation == generation_ && ai < p.ready.size() && p.ready[ai] &&
        p.boxes[ai] == box) {
        // The instances met a few turns ahead are fetched into the cache meanwhile.
        if (ai + kReadAhead < p.ready.size())
            for (uint32_t i = p.begin[ai + kReadAhead]; i < p.begin[ai + kReadAhead + 1]; ++i)
                if (p.found[i] < list.size()) Prefetch(*list[p.found[i]]);
        // Found by the sweep with the boxes as filed, which are the boxes of all but the
        // moved instances.
        for (uint32_t i = p.begin[ai]; i < p.begin[ai + 1]; ++i) {
            const uint32_t k = p.found[i];
            if (k >= from && k < to) out.push_back(k);
        }
        AddLive(*lane, list, box, from, to, out);
        SortUnique(out);
        return;
    }
    const CellRange r = lane->Cells(box);
    if (r.Count() > kQueryCells) {
        // A box over much of the grid: every instance in table order.
        for (size_t k = from; k < to; ++k)
            if (!list[k]->destroyed && BoxesOverlap(box, BoxOf(*list[k])))
                out.push_back(uint32_t(k));
        return;
    }
    for (int64_t y = r.y0; y <= r.y1; ++y) {
        for (int64_t x = r.x0; x <= r.x1; ++x) {
            const size_t c = size_t(y * lane->width + x);
            for (uint32_t i = lane->start[c]; i < lane->start[c + 1]; ++i) {
                const Item& item = lane->items[i];
                if (item.index >= from && item.index < to && BoxesOverlap(box, item.box))
                    out.push_back(item.index);
            }
        }
    }
    AddLive(*lane, list, box, from, to, out);
    SortUnique(out);
}

}  // namespace tb
