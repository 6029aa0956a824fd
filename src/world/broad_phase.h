// The broad phase of the collision event pass: a uniform grid over the boxes of the instances
// that the pass looks for (the second object of every listed pair), so each instance is tested
// only against the instances whose boxes lie near its own.
//
// The grid is filed once per pass and kept exact while the pass runs, as events move, create,
// destroy and (de)activate instances: every box computed during the pass is reported to it
// (through Game::box_changes) and such instances are then checked where they are now,
// instances appended to the object tables are always checked, and a rebuild of the tables
// files everything again. Filed entries are indices into the object tables, so candidates
// come out in exactly the order of the tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "world/query_index.h"

namespace tb {

struct CInstance;
struct Game;
class CRoom;

class CollisionGrid {
  public:
    struct Box {
        int32_t left, top, right, bottom;
        bool operator==(const Box&) const = default;
    };

    // Files object_instances[o] of every listed object. Point Game::box_changes at `changes`
    // while the grid is in use.
    void Build(const CRoom& room, const Game& game, std::span<const int32_t> objects);

    // Catches up after instances may have changed (a collision was handled): false when
    // nothing did, so the candidates found before still hold.
    bool Refresh(const CRoom& room, const Game& game);

    // Finds the candidates of every instance of object_instances[a] against b's in one sweep
    // in the grid's cell order, which reads memory far more kindly than one query per
    // instance in table order. They stay usable for an instance while its box and the filing
    // are unchanged.
    void Prepare(const CRoom& room, int32_t a, int32_t b);

    // True when instance ai of object_instances[a] is known, from the prepared candidates, to
    // meet none of the first `to` instances of b: its turn can be skipped without reading it.
    bool Quiet(const CRoom& room, int32_t a, size_t ai, int32_t b, size_t to) const;

    // The indices k, from <= k < to, ascending, of the instances in object_instances[b]
    // whose boxes overlap the box of `inst` now (destroyed ones left out), or a superset of
    // them. `b` must have been listed. `ai` is the index of `inst` in object_instances[a]:
    // the prepared candidates are used when they still hold.
    void Candidates(const CRoom& room, int32_t a, size_t ai, const CInstance& inst, int32_t b,
                    size_t from, size_t to, std::vector<uint32_t>& out) const;

    // Reported instances whose box was computed since the last Build or Refresh.
    std::vector<CInstance*> changes;
    // Scratch of the pass, kept so that a step allocates nothing once warmed up.
    std::vector<int32_t> objects;
    std::vector<uint32_t> candidates;
    // The index of the place, position and collision queries, made by the first of them.
    std::unique_ptr<QueryIndex> queries;

  private:
    struct Item {
        uint32_t index;  // into the object table
        Box box;         // as filed
    };
    struct CellRange {
        int64_t x0, y0, x1, y1;
        int64_t Count() const { return (x1 - x0 + 1) * (y1 - y0 + 1); }
    };
    // The filed instances of one object, on a grid of width x height cells from (ox, oy).
    struct Lane {
        int32_t object = -1;
        size_t filed = 0;  // table size when filed; later entries are appended
        int shift = 5;     // cells are 1 << shift pixels square
        int64_t ox = 0, oy = 0, width = 1, height = 1;
        std::vector<uint32_t> start;  // cell c holds items[start[c] .. start[c + 1])
        std::vector<Item> items;
        std::vector<Box> boxes;         // per filed index; left > right: not filed
        std::vector<uint32_t> big;      // boxes over too many cells: always candidates
        std::vector<uint32_t> moved;    // boxes changed since filing: always candidates
        std::vector<uint8_t> is_moved;  // per filed index

        // Boxes outside the grid fall into its border cells, which keeps overlaps.
        CellRange Cells(const Box& b) const {
            return {Column(b.left), Row(b.top), Column(b.right), Row(b.bottom)};
        }
        int64_t Column(int32_t x) const {
            const int64_t c = (int64_t(x) - ox) >> shift;
            return c < 0 ? 0 : c >= width ? width - 1 : c;
        }
        int64_t Row(int32_t y) const {
            const int64_t r = (int64_t(y) - oy) >> shift;
            return r < 0 ? 0 : r >= height ? height - 1 : r;
        }
    };
    // Where a filed instance is: lane and table index.
    struct Slot {
        const CInstance* inst = nullptr;
        uint32_t lane = 0;
        uint32_t index = 0;
    };
    // The candidates found by Prepare.
    struct Prepared {
        int32_t a = -1, b = -1;
        uint64_t generation = 0;
        std::vector<Box> boxes;       // of each instance of a when prepared
        std::vector<uint8_t> ready;   // its candidates were found
        std::vector<uint32_t> begin;  // instance ai has found[begin[ai] .. begin[ai + 1])
        std::vector<uint32_t> found;
        std::vector<uint8_t> moved;  // its box was computed since
        std::vector<Slot> slots;     // where the instances are; empty until needed

        bool Holds(int32_t a_object, int32_t b_object, uint64_t gen, size_t ai) const {
            return a == a_object && b == b_object && generation == gen && ai < ready.size() &&
                   ready[ai] && !moved[ai];
        }
    };

    const Lane* LaneOf(int32_t object) const;
    void FileLane(Lane& lane, std::span<CInstance* const> list, const Game& game);
    void Rebuild(const CRoom& room, const Game& game);
    void MapInstances(const CRoom& room);
    static const Slot* Find(const std::vector<Slot>& slots, const CInstance* inst);
    static void Insert(std::vector<Slot>& slots, const CInstance* inst, uint32_t lane,
                       uint32_t index);
    // Adds the instances checked where they are now: big, moved and appended ones.
    void AddLive(const Lane& lane, std::span<CInstance* const> list, const Box& box, size_t from,
                 size_t to, std::vector<uint32_t>& out) const;

    std::vector<Lane> lanes_;
    std::vector<int32_t> lane_of_;  // by object index, -1 when not listed
    std::vector<Slot> slots_;       // open addressing, power-of-two size; empty until needed
    uint64_t table_rebuilds_ = 0;   // the room's count when filed
    uint64_t generation_ = 0;       // counts the filings
    size_t changed_since_build_ = 0;
    size_t filed_total_ = 0;
    Prepared prepared_;
    // Scratch of the filing and the sweep.
    std::vector<uint32_t> counts_;
    std::vector<uint32_t> order_;
    std::vector<CellRange> ranges_;
    std::vector<uint64_t> pairs_;
};

}  // namespace tb
