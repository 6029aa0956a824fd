// The index the place, position and collision queries look through: for each list a query
// walks (all instances, or one object's family), a uniform grid of the boxes (or origins) of
// its instances filed by their position in the list, so a query tests only the instances
// near it, in the order and with the first-found rule of the plain walk.
//
// Filings are made when a query first needs them and then kept current: every box computed
// is reported (Game::box_changes; the collision pass hands its own reports on) and refiled at
// the next query, and instances appended
// to a list are filed as they appear. A rebuild or reordering of the room's lists (counted
// by CRoom::table_rebuilds), a room change, or too many updates since the filing make the next
// query file afresh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "world/instance_sets.h"

namespace tb {

struct Game;

// An inclusive rectangle of whole room pixels.
struct QueryBox {
    int64_t left, top, right, bottom;
};

class QueryIndex {
  public:
    explicit QueryIndex(Game& game);
    ~QueryIndex();
    QueryIndex(const QueryIndex&) = delete;
    QueryIndex& operator=(const QueryIndex&) = delete;

    // The index of the engine's world, made when first asked for; null when the queries walk
    // every instance instead (no world, a room that is not the world's, or the reference switch is
    // on).
    static QueryIndex* Of(ScriptEngine& engine, const CRoom& room);

    // The instance list a query of `target` (all, or an object index) walks; empty for
    // anything else.
    static size_t ListSize(const CRoom& room, int64_t target);
    static CInstance* ListAt(const CRoom& room, int64_t target, size_t k);

    // The positions, ascending, of the instances in the walk list of `target` whose boxes
    // (origins, with `origins`) meet `box` now. Destroyed instances are not left out. The
    // span lives until the next call.
    std::span<const uint32_t> Near(const CRoom& room, int64_t target, const QueryBox& box,
                                   bool origins = false);

    // Makes sure the box reports come here (Game::box_changes); false when they cannot, while
    // another collector that does not hand them on is installed.
    bool Listening();
    // Forgets every filing (a room change); the next query files afresh.
    void Reset();
    // Called once per step: when no query has looked for a long time, stops listening for
    // box changes so that they do not pile up.
    void StepBegins();

    // Instances whose box was computed since the last query.
    std::vector<CInstance*> changes;

  private:
    struct Box {
        int32_t left, top, right, bottom;
        bool operator==(const Box&) const = default;
    };
    struct CellRange {
        int64_t x0, y0, x1, y1;
        int64_t Count() const { return (x1 - x0 + 1) * (y1 - y0 + 1); }
    };
    struct Slot {
        const CInstance* inst = nullptr;
        uint32_t index = 0;
    };
    // Where a filed entry lies: in cells, in the list of big boxes, or among the instances
    // without a box.
    enum class Where : uint8_t { kCells, kBig, kFar };
    struct Lane {
        int64_t target = 0;
        bool origins = false;
        int shift = 5;
        int64_t ox = 0, oy = 0, width = 1, height = 1;
        std::vector<const CInstance*> filed;  // by position
        std::vector<Box> boxes;               // as filed
        std::vector<Where> where;
        std::vector<std::vector<uint32_t>> cells;
        std::vector<uint32_t> big, far;
        std::vector<Slot> slots;  // open addressing by instance, power-of-two size
        size_t updates = 0;       // refilings since the filing

        CellRange Cells(const Box& b) const;
        void Insert(uint32_t k);
        void Remove(uint32_t k);
        void AddSlot(const CInstance* inst, uint32_t k);
        const Slot* FindSlot(const CInstance* inst) const;
    };

    Lane& LaneFor(const CRoom& room, int64_t target, bool origins);
    void File(Lane& lane, const CRoom& room);
    // Catches up with the changes since the last query.
    void Refresh(const CRoom& room);
    Box BoxNow(const Lane& lane, const CInstance& inst) const;

    Game& game_;
    const CRoom* room_ = nullptr;
    uint64_t table_rebuilds_ = 0;  // the room's count when filed
    bool listening_ = false;
    bool used_ = false;  // a query looked since the last StepBegins
    int idle_steps_ = 0;
    std::vector<Lane> lanes_;
    std::vector<uint32_t> out_;
};

// The whole room pixels the point lies in; false for a coordinate that is not a number.
bool PointBox(double x, double y, QueryBox& box);
// The whole room pixels of the rectangle with these corners, in any order, as the shape tests
// read it; false when a corner is not a number.
bool ShapeBox(double x1, double y1, double x2, double y2, QueryBox& box);

// FindInTarget over the instances whose boxes meet `box`, which must hold the box of every
// instance f can accept: the same instance is found, in the same order. f must not run
// events (the candidates are found once).
template <class F>
CInstance* FindNear(ScriptEngine& engine, CRoom* room, int64_t target, const QueryBox& box, F&& f) {
    QueryIndex* index = nullptr;
    if (room && (target == kTargetAll || (target >= 0 && target < kFirstInstanceId)))
        index = QueryIndex::Of(engine, *room);
    if (!index) return FindInTarget(engine, room, target, f);
    for (uint32_t k : index->Near(*room, target, box)) {
        CInstance* inst = QueryIndex::ListAt(*room, target, k);
        if (inst && !inst->destroyed && f(*inst)) return inst;
    }
    return nullptr;
}

}  // namespace tb
