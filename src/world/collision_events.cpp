// The collision events of a step. For every listed object pair (i, j), every live instance A of
// i (count taken when the pair starts) is tested against every instance B of j (count taken
// when A starts), in table order. The events may create, destroy, move and (de)activate
// instances, so the tables are read again at every turn. The grid only skips tests that cannot
// succeed (boxes apart, or an A whose box is near no B at all); the order of the events is that
// of the plain walk.
#include <memory>
#include <vector>

#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "world/broad_phase.h"
#include "world/collision.h"
#include "world/events.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/motion.h"
#include "world/world.h"

namespace tb {

namespace {

void PutBack(CInstance& inst, const Game& game) {
    SetPosition(inst, game, inst.xprevious, inst.yprevious);
    SetPathPosition(inst, inst.path_positionprevious);
}

// Once more along the path (an end reached here raises no event), then once by the speed.
void MoveAgain(CInstance& inst, const Game& game) {
    AdvanceAlongPath(inst, game);
    SetPosition(inst, game, inst.x + inst.hspeed, inst.y + inst.vspeed);
}

// A and B met: solid ones are put back, both get their events, and solid ones move again and
// are put back once more when they still meet.
void Collide(World& w, CInstance& a, CInstance& b) {
    const Game& game = w.game;
    if (a.solid || b.solid) {
        PutBack(a, game);
        PutBack(b, game);
    }
    Dispatch(w, &a, &b, ev_collision, b.object_index);
    Dispatch(w, &b, &a, ev_collision, a.object_index);
    if (!a.solid && !b.solid) return;
    MoveAgain(a, game);
    MoveAgain(b, game);
    if (MeetsInstance(game, a, b, true)) {
        PutBack(a, game);
        PutBack(b, game);
    }
}

// Calls visit(A, its index, count of j's table) for every live instance A of i, in table
// order.
template <class Visit>
void ForEachA(World& w, int32_t i, int32_t j, Visit&& visit) {
    CRoom* room = w.Room();
    if (!room) return;
    const size_t count = room->InstancesOfObject(i).size();
    for (size_t ai = 0; ai < count; ++ai) {
        room = w.Room();
        if (!room) return;
        const std::span<CInstance* const> list = room->InstancesOfObject(i);
        if (ai >= list.size()) break;
        CInstance* a = list[ai];
        if (!a->destroyed) visit(*a, ai, room->InstancesOfObject(j).size());
    }
}

void AllPairs(World& w) {
    for (const auto& pair : w.events.collision_pairs) {
        // Copies: clang 14 cannot capture structured bindings in a lambda.
        const int32_t i = pair.first, j = pair.second;
        ForEachA(w, i, j, [&](CInstance& a, size_t, size_t count) {
            for (size_t bi = 0; bi < count; ++bi) {
                const CRoom* room = w.Room();
                if (!room) return;
                const std::span<CInstance* const> list = room->InstancesOfObject(j);
                if (bi >= list.size()) break;
                CInstance& b = *list[bi];
                if (MeetsInstance(w.game, a, b, true)) Collide(w, a, b);
            }
        });
    }
}

// Points the game's box reports at the grid for the life of the pass, handing them on to the
// collector it replaced (the query index) before the grid consumes them.
class BoxChangeScope {
  public:
    BoxChangeScope(Game& game, std::vector<CInstance*>& changes)
        : game_(game), changes_(changes), saved_(game.box_changes) {
        game.box_changes = &changes;
    }
    ~BoxChangeScope() {
        Forward();
        game_.box_changes = saved_;
    }
    BoxChangeScope(const BoxChangeScope&) = delete;
    BoxChangeScope& operator=(const BoxChangeScope&) = delete;

    void Forward() {
        if (saved_) saved_->insert(saved_->end(), changes_.begin(), changes_.end());
    }

  private:
    Game& game_;
    std::vector<CInstance*>& changes_;
    std::vector<CInstance*>* saved_;
};

void GridPairs(World& w, CollisionGrid& grid) {
    std::vector<int32_t>& wanted = grid.objects;
    wanted.clear();
    for (const auto& pair : w.events.collision_pairs) wanted.push_back(pair.second);
    grid.Build(*w.Room(), w.game, wanted);
    BoxChangeScope scope(w.game, grid.changes);
    std::vector<uint32_t>& candidates = grid.candidates;
    for (const auto& [i, j] : w.events.collision_pairs) {
        const CRoom* room = w.Room();
        if (!room) return;
        grid.Prepare(*room, i, j);
        const size_t count = room->InstancesOfObject(i).size();
        for (size_t ai = 0; ai < count; ++ai) {
            room = w.Room();
            if (!room) return;
            const std::span<CInstance* const> as = room->InstancesOfObject(i);
            if (ai >= as.size()) break;
            const size_t bs = room->InstancesOfObject(j).size();
            // Most instances meet nothing: those are passed without reading them.
            if (grid.Quiet(*room, i, ai, j, bs)) continue;
            CInstance& a = *as[ai];
            if (a.destroyed) continue;
            grid.Candidates(*room, i, ai, a, j, 0, bs, candidates);
            for (size_t c = 0; c < candidates.size();) {
                const uint32_t bi = candidates[c++];
                const CRoom* now = w.Room();
                if (!now) return;
                const std::span<CInstance* const> list = now->InstancesOfObject(j);
                if (bi >= list.size()) break;
                CInstance& b = *list[bi];
                if (!MeetsInstance(w.game, a, b, true)) continue;
                Collide(w, a, b);
                // The events may have changed anything: look again past this B.
                scope.Forward();
                if (grid.Refresh(*now, w.game)) {
                    grid.Candidates(*now, i, ai, a, j, size_t(bi) + 1, bs, candidates);
                    c = 0;
                }
            }
        }
    }
}

}  // namespace

void RunCollisionEvents(World& w) {
    if (!w.Room() || w.events.collision_pairs.empty()) return;
    if (w.collision_all_pairs) {
        AllPairs(w);
        return;
    }
    if (!w.collision_grid) w.collision_grid = std::make_unique<CollisionGrid>();
    GridPairs(w, *w.collision_grid);
}

}  // namespace tb
