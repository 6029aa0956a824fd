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

using Box = CollisionGrid::Box;

Box BoxOf(const CInstance& inst) {
    return {inst.bbox_left, inst.bbox_top, inst.bbox_right, inst.bbox_bottom};
}

CellRange CellsOf(const Box& b, int shift) {
    return {int64_t(b.left) >> shift, int64_t(b.top) >> shift, int64_t(b.right) >> shift,
            int64_t(b.bottom) >> shift};
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
    changes.clear();
}

void CollisionGrid::MapInstances(const CRoom& room) {
    // At most half full, so probes stay short.
    slots_.assign(std::bit_ceil(std::max<size_t>(16, filed_total_ * 2)), Slot{});
    for (size_t l = 0; l < lanes_.size(); ++l) {
        const std::span<CInstance* const> list = room.InstancesOfObject(lanes_[l].object);
        for (size_t k = 0; k < lanes_[l].filed; ++k) Insert(list[k], uint32_t(l), uint32_t(k));
    }
}

void CollisionGrid::FileLane(Lane& lane, std::span<CInstance* const> list, const Game& game) {
    lane.filed = list.size();
    lane.items.clear();
    lane.big.clear();
    lane.moved.clear();
    lane.is_moved.assign(list.size(), 0);
    // One read of every instance; the rest works on the copies of the boxes.
    lane.boxes.resize(list.size());
    uint64_t extent = 0, filed = 0;
    for (size_t k = 0; k < list.size(); ++k) {
        const CInstance& inst = *list[k];
        Box& b = lane.boxes[k];
        if (!Fileable(inst, game)) {
            b = Box{1, 1, 0, 0};  // left > right: not filed
            continue;
        }
        b = Box{inst.bbox_left, inst.bbox_top, inst.bbox_right, inst.bbox_bottom};
        extent +=
            uint64_t(std::max<int64_t>(int64_t(b.right) - b.left, int64_t(b.bottom) - b.top)) + 1;
        ++filed;
    }
    // Cells about as large as the boxes, so a box covers a few cells.
    const uint64_t mean = filed ? std::clamp<uint64_t>(extent / filed, 4, uint64_t(1) << 24) : 32;
    lane.shift = std::bit_width(mean - 1);
    size_t occurrences = 0;
    for (size_t k = 0; k < list.size(); ++k) {
        const Box& b = lane.boxes[k];
        if (b.left > b.right) continue;
        const int64_t n = CellsOf(b, lane.shift).Count();
        if (n > kBigCells)
            lane.big.push_back(uint32_t(k));
        else
            occurrences += size_t(n);
    }
    const size_t buckets = std::bit_ceil(std::max<size_t>(16, occurrences * 2));
    lane.mask = buckets - 1;
    counts_.assign(buckets + 1, 0);
    auto each_cell = [&](const Box& b, auto&& f) {
        const CellRange r = CellsOf(b, lane.shift);
        for (int64_t cx = r.x0; cx <= r.x1; ++cx)
            for (int64_t cy = r.y0; cy <= r.y1; ++cy) f(CellHash(cx, cy) & lane.mask);
    };
    auto filed_in_cells = [&](const Box& b) {
        return b.left <= b.right && CellsOf(b, lane.shift).Count() <= kBigCells;
    };
    for (const Box& b : lane.boxes)
        if (filed_in_cells(b)) each_cell(b, [&](uint64_t c) { ++counts_[c + 1]; });
    for (size_t c = 0; c < buckets; ++c) counts_[c + 1] += counts_[c];
    lane.start.assign(counts_.begin(), counts_.end());
    lane.items.resize(occurrences);
    // Filled in ascending k, so every bucket lists its indices in table order.
    for (size_t k = 0; k < list.size(); ++k) {
        const Box& b = lane.boxes[k];
        if (filed_in_cells(b))
            each_cell(b, [&](uint64_t c) { lane.items[counts_[c]++] = Item{uint32_t(k), b}; });
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
    if (slots_.empty()) MapInstances(room);
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

void CollisionGrid::Query(const CRoom& room, int32_t object, const CInstance& inst, size_t from,
                          size_t to, std::vector<uint32_t>& out) const {
    out.clear();
    if (object < 0 || size_t(object) >= lane_of_.size() || lane_of_[size_t(object)] < 0) return;
    const Lane& lane = lanes_[size_t(lane_of_[size_t(object)])];
    const std::span<CInstance* const> list = room.InstancesOfObject(object);
    to = std::min(to, list.size());
    if (from >= to) return;
    const Box box = BoxOf(inst);
    // Moved and appended instances are read where they are now.
    auto take_current = [&](size_t k) {
        if (k >= from && k < to && !list[k]->destroyed && BoxesOverlap(box, BoxOf(*list[k])))
            out.push_back(uint32_t(k));
    };
    const CellRange r = CellsOf(box, lane.shift);
    if (r.Count() > kQueryCells || uint64_t(r.Count()) > lane.mask) {
        // A box over much of the grid: every instance in table order.
        for (size_t k = from; k < to; ++k) take_current(k);
        return;
    }
    // The others have the boxes they were filed with.
    for (int64_t cx = r.x0; cx <= r.x1; ++cx) {
        for (int64_t cy = r.y0; cy <= r.y1; ++cy) {
            const uint64_t b = CellHash(cx, cy) & lane.mask;
            for (uint32_t i = lane.start[b]; i < lane.start[b + 1]; ++i) {
                const Item& item = lane.items[i];
                if (item.index >= from && item.index < to && BoxesOverlap(box, item.box))
                    out.push_back(item.index);
            }
        }
    }
    for (uint32_t k : lane.big)
        if (k >= from && k < to && BoxesOverlap(box, lane.boxes[k])) out.push_back(k);
    for (uint32_t k : lane.moved) take_current(k);
    for (size_t k = std::max(from, lane.filed); k < to; ++k) take_current(k);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace tb
