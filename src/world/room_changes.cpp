// Entering and leaving rooms: the order of creation code and the start events, persistent
// instances carried from room to room, persistent rooms kept between visits.
#include <memory>
#include <string>
#include <vector>

#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "world/broad_phase.h"
#include "world/events.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/world.h"

namespace tb {

namespace {

// Compiles and runs code for self = other = `self`; a compile failure is reported as a
// non-fatal error headed by `heading`.
void RunCreationCode(World& w, const std::string& text, CInstance* self, const char* heading) {
    ScriptEngine& e = w.engine;
    CCode code(text, false);
    if (!code.Compile(e)) {
        ShowRuntimeError(e, std::string(heading) + '\r' + e.errors.pending_message, false);
        return;
    }
    RValue result;
    ExecuteReporting(e, self, self, code, result);
}

// The room resource stores its instances as id, object, position and creation code; the
// copy's instances are created from those for their objects (sprite, depth, flags, box).
void CreatePlacedInstances(World& w, CRoom& r) {
    for (auto* list : {&r.instances, &r.inactive_instances}) {
        for (const auto& inst : *list) {
            std::string code = std::move(inst->creation_code);
            const bool deactivated = inst->deactivated;
            InitInstance(*inst, w.game, inst->id, inst->object_index, inst->x, inst->y);
            inst->creation_code = std::move(code);
            inst->deactivated = deactivated;
        }
    }
}

// Carried instances take the place of the room's instances with their ids.
void PlaceCarried(World& w, CRoom& r) {
    for (const auto& c : w.carried) {
        for (const auto& inst : r.instances)
            if (inst->id == c->id) inst->destroyed = true;
        CInstance& inst = CreateInstance(r, w.game, c->object_index, c->x, c->y);
        CopyState(inst, *c);
    }
    w.carried.clear();
}

}  // namespace

void EnterRoom(World& w, int32_t index, bool game_start) {
    ScriptEngine& e = w.engine;
    w.pending_change = kNoChange;
    w.input.Clear();
    if (w.hooks.clear_particles) w.hooks.clear_particles();

    if (w.collision_grid && w.collision_grid->queries) w.collision_grid->queries->Reset();
    if (index < 0) return;
    if (size_t(index) >= w.rooms.size()) w.rooms.resize(size_t(index) + 1);
    w.room = index;
    std::unique_ptr<CRoom>& slot = w.rooms[size_t(index)];
    const bool fresh = slot == nullptr;
    if (fresh) {
        slot = std::make_unique<CRoom>();
        if (const CRoom* resource = w.game.rooms.Get(index))
            slot->Assign(*resource, w.game.objects);
        CreatePlacedInstances(w, *slot);
    }
    CRoom& r = *slot;
    e.room = &r;

    if (w.hooks.fit_window) w.hooks.fit_window();
    if (game_start && w.hooks.show_window) w.hooks.show_window();

    // The room's own instances, before the carried ones are appended. Pointers stay valid
    // while the room is entered: instances are freed only between steps.
    std::vector<CInstance*> own;
    if (fresh) {
        own.reserve(r.instances.size());
        for (const auto& inst : r.instances) own.push_back(inst.get());
    }
    PlaceCarried(w, r);

    for (CInstance* inst : own) {
        if (inst->destroyed || inst->deactivated) continue;
        if (!inst->creation_code.empty())
            RunCreationCode(w, inst->creation_code, inst,
                            "COMPILATION ERROR in initialization code for instance");
        Dispatch(w, inst, inst, ev_create, 0);
    }
    w.carried.clear();

    if (game_start) DispatchToAll(w, ev_other, ev_game_start);
    if (fresh && !r.CreationCode.empty()) {
        // The room's code runs for an instance of its own that belongs to no room.
        CInstance temporary;
        InitInstance(temporary, w.game, 0, 0, 0, 0);
        const std::string code = r.CreationCode;
        RunCreationCode(w, code, &temporary, "COMPILATION ERROR in room script");
    }
    DispatchToAll(w, ev_other, ev_room_start);

    if (w.pending_change == kNoChange && w.automatic_draw) {
        DrawRoom(w);
        if (w.hooks.show_transition) w.hooks.show_transition();
        w.transition_kind = 0;
    }
}

void LeaveRoom(World& w, bool game_end) {
    CRoom* r = w.Room();
    if (!r) return;
    if (w.hooks.capture_screen) w.hooks.capture_screen();
    r->RemoveDeletedInstances(w.game.objects);

    // The end events run even though a change is pending.
    const int32_t saved = w.pending_change;
    w.pending_change = kNoChange;
    DispatchToAll(w, ev_other, ev_room_end);
    if (game_end) DispatchToAll(w, ev_other, ev_game_end);
    w.pending_change = saved;

    r = w.Room();
    if (!r) return;
    w.carried.clear();
    for (const auto& inst : r->instances) {
        if (inst->destroyed || !inst->persistent) continue;
        auto copy = std::make_unique<CInstance>();
        InitInstance(*copy, w.game, inst->id, inst->object_index, inst->x, inst->y);
        CopyState(*copy, *inst);
        w.carried.push_back(std::move(copy));
        inst->destroyed = true;
    }
    if (!r->Persistent) {
        if (w.engine.room == r) w.engine.room = nullptr;
        w.rooms[size_t(w.room)].reset();
    }
}

void GotoRoom(World& w, int32_t index) {
    LeaveRoom(w, false);
    EnterRoom(w, index, false);
}

}  // namespace tb
