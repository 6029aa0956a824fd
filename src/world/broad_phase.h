// The broad phase of the collision event pass: a uniform grid over the boxes of the instances
// that the pass looks for (the second object of every listed pair), so each instance is tested
// only against the instances whose boxes lie near its own.
//
// The grid is filed once per pass and kept exact while the pass runs, as events move, create,
// destroy and (de)activate instances: every box computed during the pass is reported to it
// (through Game::box_changes), instances appended to the object tables are always candidates,
// and a rebuild of the tables files everything again. Filed entries are indices into the
// object tables, so the candidates come out in exactly the order the tables give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tb {

struct CInstance;
struct Game;
class CRoom;

class CollisionGrid {
  public:
    struct Box {
        int32_t left, top, right, bottom;
    };

    // Files object_instances[o] of every listed object. Point Game::box_changes at `changes`
    // while the grid is in use.
    void Build(const CRoom& room, const Game& game, std::span<const int32_t> objects);

    // Catches up after instances may have changed (a collision was handled): false when
    // nothing did, so the candidates found before still hold.
    bool Refresh(const CRoom& room, const Game& game);

    // The indices k, from <= k < to, ascending, of the instances in object_instances[object]
    // whose boxes overlap `box` now (destroyed ones left out). `object` must have been listed.
    void Query(const CRoom& room, int32_t object, const CInstance& box, size_t from, size_t to,
               std::vector<uint32_t>& out) const;

    // Reported instances whose box was computed since the last Build or Refresh.
    std::vector<CInstance*> changes;
    // Scratch of the pass, kept so that a step allocates nothing once warmed up.
    std::vector<int32_t> objects;
    std::vector<uint32_t> candidates;

  private:
    struct Item {
        uint32_t index;  // into the object table
        Box box;         // as filed
    };
    // The filed instances of one object.
    struct Lane {
        int32_t object = -1;
        size_t filed = 0;             // table size when filed; later entries are appended
        int shift = 5;                // cells are 1 << shift pixels square
        uint64_t mask = 0;            // bucket count - 1
        std::vector<uint32_t> start;  // bucket b holds items[start[b] .. start[b + 1])
        std::vector<Item> items;
        std::vector<Box> boxes;         // per filed index; left > right: not filed
        std::vector<uint32_t> big;      // boxes over too many cells: always candidates
        std::vector<uint32_t> moved;    // boxes changed since filing: always candidates
        std::vector<uint8_t> is_moved;  // per filed index
    };
    // Where a filed instance is: lane and table index.
    struct Slot {
        const CInstance* inst = nullptr;
        uint32_t lane = 0;
        uint32_t index = 0;
    };

    void FileLane(Lane& lane, std::span<CInstance* const> list, const Game& game);
    void Rebuild(const CRoom& room, const Game& game);
    void MapInstances(const CRoom& room);
    const Slot* Find(const CInstance* inst) const;
    void Insert(const CInstance* inst, uint32_t lane, uint32_t index);

    std::vector<Lane> lanes_;
    std::vector<int32_t> lane_of_;  // by object index, -1 when not listed
    std::vector<Slot> slots_;       // open addressing, power-of-two size; empty until needed
    uint64_t table_rebuilds_ = 0;   // the room's count when filed
    size_t changed_since_build_ = 0;
    size_t filed_total_ = 0;
    std::vector<uint32_t> counts_;  // scratch of the filing
};

}  // namespace tb
