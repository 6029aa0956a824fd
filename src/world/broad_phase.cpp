#include "world/broad_phase.h"

#include <algorithm>
#include <bit>

#include "resources/room.h"
#include "runner/game.h"
#include "world/instance.h"

namespace tb {

namespace {

// A box over more cells than this is not filed cell by cell but checked on every query.
constexpr int64_t kBigCells = 16;
// A query box over more cells than this walks the whole table instead.
constexpr int64_t kQueryCells = 64;

struct CellRange {
    int64_t x0, y0, x1, y1;
    int64_t Count() const { return (x1 - x0 + 1) * (y1 - y0 + 1); }
};

CellRange CellsOf(const CInstance& inst, int shift) {
    return {int64_t(inst.bbox_left) >> shift, int64_t(inst.bbox_top) >> shift,
            int64_t(inst.bbox_right) >> shift, int64_t(inst.bbox_bottom) >> shift};
}

uint64_t CellHash(int64_t cx, int64_t cy) {
    uint64_t h = uint64_t(cx) * 0x9E3779B97F4A7C15ull ^ uint64_t(cy) * 0xC2B2AE3D27D4EB4Full;
    return h ^ (h >> 29);
}

uint64_t PointerHash(const CInstance* p) {
    const uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(p)) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 31);
}

// The box condition of Meets instance.
bool BoxesOverlap(const CInstance& a, const CInstance& b) {
    return int64_t(b.bbox_left) < int64_t(a.bbox_right) + 1 &&
           int64_t(a.bbox_left) < int64_t(b.bbox_right) + 1 &&
           int64_t(b.bbox_top) < int64_t(a.bbox_bottom) + 1 &&
           int64_t(a.bbox_top) < int64_t(b.bbox_bottom) + 1;
}

// Instances that can meet something: live, with a mask sprite (the far-away box of the others
// meets nothing).
bool Fileable(const CInstance& inst, const Game& game) {
    return !inst.destroyed &&
           game.sprites.Get(inst.mask_index >= 0 ? inst.mask_index : inst.sprite_index);
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
    size_t total = 0;
    for (Lane& lane : lanes_) total += room.InstancesOfObject(lane.object).size();
    // At most half full, so probes stay short.
    const size_t capacity = std::bit_ceil(std::max<size_t>(16, total * 2));
    slots_.assign(capacity, Slot{});
    for (size_t l = 0; l < lanes_.size(); ++l) {
        const std::span<CInstance* const> list = room.InstancesOfObject(lanes_[l].object);
        for (size_t k = 0; k < list.size(); ++k) Insert(list[k], uint32_t(l), uint32_t(k));
        FileLane(lanes_[l], list, game);
    }
    filed_total_ = total;
    changed_since_build_ = 0;
    table_rebuilds_ = room.table_rebuilds;
    changes.clear();
}

void CollisionGrid::FileLane(Lane& lane, std::span<CInstance* const> list, const Game& game) {
    lane.filed = list.size();
    lane.items.clear();
    lane.big.clear();
    lane.moved.clear();
    lane.is_moved.assign(list.size(), 0);
    // Cells about as large as the boxes, so a box covers a few cells.
    uint64_t extent = 0, filed = 0;
    for (const CInstance* inst : list) {
        if (!Fileable(*inst, game)) continue;
        extent += uint64_t(std::max<int64_t>(int64_t(inst->bbox_right) - inst->bbox_left,
                                             int64_t(inst->bbox_bottom) - inst->bbox_top)) +
                  1;
        ++filed;
    }
    const uint64_t mean = filed ? std::clamp<uint64_t>(extent / filed, 4, uint64_t(1) << 24) : 32;
    lane.shift = std::bit_width(mean - 1);
    lane.occurrences = 0;
    for (const CInstance* inst : list) {
        if (!Fileable(*inst, game)) continue;
        const int64_t n = CellsOf(*inst, lane.shift).Count();
        if (n <= kBigCells) lane.occurrences += size_t(n);
    }
    const size_t buckets = std::bit_ceil(std::max<size_t>(16, lane.occurrences * 2));
    lane.mask = buckets - 1;
    counts_.assign(buckets + 1, 0);
    auto each_cell = [&](const CInstance& inst, auto&& f) {
        const CellRange r = CellsOf(inst, lane.shift);
        for (int64_t cx = r.x0; cx <= r.x1; ++cx)
            for (int64_t cy = r.y0; cy <= r.y1; ++cy) f(CellHash(cx, cy) & lane.mask);
    };
    for (size_t k = 0; k < list.size(); ++k) {
        const CInstance& inst = *list[k];
        if (!Fileable(inst, game)) continue;
        if (CellsOf(inst, lane.shift).Count() > kBigCells) {
            lane.big.push_back(uint32_t(k));
            continue;
        }
        each_cell(inst, [&](uint64_t b) { ++counts_[b + 1]; });
    }
    for (size_t b = 0; b < buckets; ++b) counts_[b + 1] += counts_[b];
    lane.start.assign(counts_.begin(), counts_.end());
    lane.items.resize(lane.occurrences);
    // Filled in ascending k, so every bucket lists its indices in table order.
    for (size_t k = 0; k < list.size(); ++k) {
        const CInstance& inst = *list[k];
        if (!Fileable(inst, game) || CellsOf(inst, lane.shift).Count() > kBigCells) continue;
        each_cell(inst, [&](uint64_t b) { lane.items[counts_[b]++] = uint32_t(k); });
    }
}

void CollisionGrid::Insert(const CInstance* inst, uint32_t lane, uint32_t index) {
    const size_t mask = slots_.size() - 1;
    for (size_t i = PointerHash(inst) & mask;; i = (i + 1) & mask) {
        if (!slots_[i].inst) {
            slots_[i] = {inst, lane, index};
            return;
        }
    }
}

const CollisionGrid::Slot* CollisionGrid::Find(const CInstance* inst) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = PointerHash(inst) & mask; slots_[i].inst; i = (i + 1) & mask)
        if (slots_[i].inst == inst) return &slots_[i];
    return nullptr;
}

bool CollisionGrid::Refresh(const CRoom& room, const Game& game) {
    if (room.table_rebuilds != table_rebuilds_) {
        // Instances were removed, deactivated or activated: the indices changed.
        Rebuild(room, game);
        return true;
    }
    if (changes.empty()) return false;
    // The pointers are only compared, never followed: a reported instance is looked up among
    // the filed ones. Those not filed were appended since, and their lanes check them anyway.
    for (const CInstance* inst : changes) {
        const Slot* slot = Find(inst);
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

void CollisionGrid::Query(const CRoom& room, int32_t object, const CInstance& box, size_t from,
                          size_t to, std::vector<uint32_t>& out) const {
    out.clear();
    if (object < 0 || size_t(object) >= lane_of_.size() || lane_of_[size_t(object)] < 0) return;
    const Lane& lane = lanes_[size_t(lane_of_[size_t(object)])];
    const std::span<CInstance* const> list = room.InstancesOfObject(object);
    to = std::min(to, list.size());
    if (from >= to) return;
    auto take = [&](uint32_t k) {
        if (k >= from && k < to && !list[k]->destroyed && BoxesOverlap(box, *list[k]))
            out.push_back(k);
    };
    const CellRange r = CellsOf(box, lane.shift);
    if (r.Count() > kQueryCells || uint64_t(r.Count()) > lane.mask) {
        // A box over much of the grid: every instance in table order.
        for (size_t k = from; k < to; ++k) take(uint32_t(k));
        return;
    }
    for (int64_t cx = r.x0; cx <= r.x1; ++cx) {
        for (int64_t cy = r.y0; cy <= r.y1; ++cy) {
            const uint64_t b = CellHash(cx, cy) & lane.mask;
            for (uint32_t i = lane.start[b]; i < lane.start[b + 1]; ++i) take(lane.items[i]);
        }
    }
    for (uint32_t k : lane.big) take(k);
    for (uint32_t k : lane.moved) take(k);
    for (size_t k = std::max(from, lane.filed); k < to; ++k) take(uint32_t(k));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace tb
