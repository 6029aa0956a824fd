// The game loop: starting and ending the game, the timing of the steps, one step in its
// fixed event order, and carrying out the change a script asked for.
#include <algorithm>
#include <cmath>

#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/broad_phase.h"
#include "world/collision.h"
#include "world/events.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/motion.h"
#include "world/saved_game.h"
#include "world/world.h"

namespace tb {

namespace {

constexpr int64_t kSecond = 1000000;

bool Pending(const World& w) {
    return w.pending_change != kNoChange;
}

void Call(const std::function<void()>& hook) {
    if (hook) hook();
}

// For each object listed for (kind, number), each of its instances (count taken when the
// object's turn starts) that is not destroyed and passes `test`: the event. The tables may
// shrink under the walk (deactivation), so every index is checked again.
template <class Test>
void WalkWhere(World& w, int32_t kind, int32_t number, Test&& test) {
    for (int32_t o : w.events.Of(kind, number)) {
        CRoom* r = w.Room();
        if (!r || Pending(w)) return;
        const size_t count = r->InstancesOfObject(o).size();
        for (size_t i = 0; i < count; ++i) {
            std::span<CInstance* const> list = r->InstancesOfObject(o);
            if (i >= list.size() || Pending(w)) break;
            CInstance* inst = list[i];
            if (!inst->destroyed && test(*inst)) Dispatch(w, inst, inst, kind, number);
        }
    }
}

// --- keyboard

// Keys 8 .. 255 that qualify, then "no key" (0) or "any key" (1). Only numbers up to 128 have
// event lists, but every key counts for "any key".
void KeyWalk(World& w, int32_t kind, const std::array<bool, 256>& a,
             const std::array<bool, 256>* b) {
    bool any = false;
    for (int k = 8; k < 256; ++k) {
        if (!a[size_t(k)] && !(b && (*b)[size_t(k)])) continue;
        any = true;
        if (k <= 128) DispatchWalk(w, kind, k);
    }
    DispatchWalk(w, kind, any ? 1 : 0);
}

void KeyboardEvents(World& w) {
    const InputState& in = w.input;
    KeyWalk(w, ev_keyboard, in.key_held, &in.key_pressed);
    KeyWalk(w, ev_keypress, in.key_pressed, nullptr);
    KeyWalk(w, ev_keyrelease, in.key_released, nullptr);
}

// --- joysticks

void JoystickEvents(World& w) {
    if (!w.hooks.read_joystick) return;
    for (int id = 0; id < 2; ++id) {
        uint32_t x = 0, y = 0, buttons = 0;
        if (!w.hooks.read_joystick(id, x, y, buttons)) continue;
        const int32_t base = id == 0 ? ev_joystick1_left : ev_joystick2_left;
        if (x < 20000) DispatchWalk(w, ev_mouse, base);
        if (x > 44000) DispatchWalk(w, ev_mouse, base + 1);
        if (y < 20000) DispatchWalk(w, ev_mouse, base + 2);
        if (y > 44000) DispatchWalk(w, ev_mouse, base + 3);
        for (int b = 0; b < 8; ++b)
            if (buttons & (1u << b)) DispatchWalk(w, ev_mouse, base + 5 + b);
    }
}

// --- mouse

bool Over(const World& w, const CInstance& inst, double x, double y) {
    if (w.hooks.point_in_instance) return w.hooks.point_in_instance(inst, x, y);
    return ContainsPoint(w.game, inst, x, y, true);
}

void MouseEvents(World& w) {
    InputState& in = w.input;
    in.mouse_previous_x = w.mouse_step_x;
    in.mouse_previous_y = w.mouse_step_y;
    w.mouse_step_x = in.mouse_x;
    w.mouse_step_y = in.mouse_y;
    const double mx = in.mouse_x, my = in.mouse_y;
    const double px = in.mouse_previous_x, py = in.mouse_previous_y;
    auto under = [&](const CInstance& inst) { return Over(w, inst, mx, my); };

    bool any = false;
    for (int b = 1; b <= 3; ++b) {
        if (!in.mouse_held[size_t(b)] && !in.mouse_pressed[size_t(b)]) continue;
        any = true;
        WalkWhere(w, ev_mouse, b - 1, under);
        DispatchWalk(w, ev_mouse, 49 + b);
    }
    if (!any) WalkWhere(w, ev_mouse, ev_no_button, under);
    for (int b = 1; b <= 3; ++b) {
        if (!in.mouse_pressed[size_t(b)]) continue;
        WalkWhere(w, ev_mouse, b + 3, under);
        DispatchWalk(w, ev_mouse, ev_global_press);
        DispatchWalk(w, ev_mouse, 52 + b);
    }
    for (int b = 1; b <= 3; ++b) {
        if (!in.mouse_released[size_t(b)]) continue;
        WalkWhere(w, ev_mouse, b + 6, under);
        DispatchWalk(w, ev_mouse, ev_global_release);
        DispatchWalk(w, ev_mouse, 55 + b);
    }
    WalkWhere(w, ev_mouse, ev_mouse_enter, [&](const CInstance& inst) {
        return Over(w, inst, mx, my) && !Over(w, inst, px, py);
    });
    WalkWhere(w, ev_mouse, ev_mouse_leave, [&](const CInstance& inst) {
        return Over(w, inst, px, py) && !Over(w, inst, mx, my);
    });
    if (in.wheel_up) DispatchWalk(w, ev_mouse, ev_mouse_wheel_up);
    if (in.wheel_down) DispatchWalk(w, ev_mouse, ev_mouse_wheel_down);
}

// --- outside and boundary

struct Area {
    double left, top, right, bottom;
};

bool HasBox(const World& w, const CInstance& inst) {
    return w.game.sprites.Exists(inst.sprite_index) || w.game.sprites.Exists(inst.mask_index);
}

bool PointOutside(const CInstance& inst, const Area& a) {
    return !(inst.x >= a.left && inst.x <= a.right && inst.y >= a.top && inst.y <= a.bottom);
}

bool Outside(const World& w, const CInstance& inst, const Area& a) {
    if (!HasBox(w, inst)) return PointOutside(inst, a);
    return !(inst.bbox_right >= a.left && inst.bbox_left <= a.right && inst.bbox_bottom >= a.top &&
             inst.bbox_top <= a.bottom);
}

bool Crossing(const World& w, const CInstance& inst, const Area& a) {
    if (!HasBox(w, inst)) return PointOutside(inst, a);
    return !(inst.bbox_left >= a.left && inst.bbox_right <= a.right && inst.bbox_top >= a.top &&
             inst.bbox_bottom <= a.bottom);
}

void BoundaryEvents(World& w) {
    const CRoom* r = w.Room();
    if (!r) return;
    const Area room{0, 0, double(r->Width), double(r->Height)};
    WalkWhere(w, ev_other, ev_outside,
              [&](const CInstance& inst) { return Outside(w, inst, room); });
    WalkWhere(w, ev_other, ev_boundary,
              [&](const CInstance& inst) { return Crossing(w, inst, room); });
    if (!r->ViewsEnabled) return;
    // Views are read at each turn: the events may move them.
    auto view_area = [&w](int v) {
        const CView& view = w.Room()->views[size_t(v)];
        return Area{double(view.XView), double(view.YView), double(view.XView) + view.WView,
                    double(view.YView) + view.HView};
    };
    auto view_visible = [&w](int v) {
        const CRoom* room_now = w.Room();
        return room_now && room_now->ViewsEnabled && room_now->views[size_t(v)].Visible;
    };
    for (int v = 0; v < kRoomLayers; ++v) {
        if (!view_visible(v)) continue;
        WalkWhere(w, ev_other, ev_outside_view0 + v,
                  [&](const CInstance& inst) { return Outside(w, inst, view_area(v)); });
    }
    for (int v = 0; v < kRoomLayers; ++v) {
        if (!view_visible(v)) continue;
        WalkWhere(w, ev_other, ev_boundary_view0 + v,
                  [&](const CInstance& inst) { return Crossing(w, inst, view_area(v)); });
    }
}

// --- the rest of the step

void RememberPositions(CRoom& r) {
    for (const auto& inst : r.instances) {
        inst->xprevious = inst->x;
        inst->yprevious = inst->y;
        inst->path_positionprevious = inst->path_position;
    }
}

void Animate(World& w) {
    CRoom* r = w.Room();
    const size_t count = r->instances.size();
    for (size_t i = 0; i < count; ++i) {
        r = w.Room();
        if (!r || i >= r->instances.size()) break;
        CInstance* inst = r->instances[i].get();
        inst->image_index += inst->image_speed;
        const int32_t n = ImageNumber(*inst, w.game);
        if (std::floor(inst->image_index) >= n) {
            inst->image_index -= n;
            Dispatch(w, inst, inst, ev_other, ev_animation_end);
        }
    }
}

}  // namespace

void DrawRoom(World& w) {
    CRoom* r = w.Room();
    if (!r) return;
    // Drawing walks the instances deepest first; the order stays the same when nothing draws.
    r->SortByDepth();
    Call(w.hooks.draw_room);
}

bool StartGame(World& w) {
    ScriptEngine& e = w.engine;
    BuildEventLists(w.game, w.events);
    e.ResetGlobals();
    w.score = 0;
    w.lives = -1;
    w.cursor_sprite = -1;
    w.cursor_image_counter = 0;
    w.transition_kind = 0;
    e.random.Randomize();
    if (!RunLibraryInitCode(w)) return false;
    if (w.hooks.init_extensions && !w.hooks.init_extensions()) return false;
    if (w.hooks.set_cursor) w.hooks.set_cursor(true);
    w.rooms.clear();
    w.rooms.resize(size_t(std::max(w.game.rooms.Count(), 0)));
    e.room = nullptr;
    w.carried.clear();
    const int32_t first = FirstRoom(w.game.room_order);
    if (!w.game.rooms.Exists(first)) return false;
    EnterRoom(w, first, true);
    return true;
}

void EndGame(World& w) {
    if (w.Room()) LeaveRoom(w, true);
    w.rooms.clear();
    w.engine.room = nullptr;
    if (w.hooks.final_extensions) {
        w.hooks.final_extensions();
        if (w.hooks.set_cursor) w.hooks.set_cursor(false);
    }
}

void CarryOutPendingChange(World& w) {
    const int32_t change = w.pending_change;
    if (change == kNoChange) return;
    if (change == kChangeEndGame || change == kChangeAbort) {
        w.running = false;
    } else if (change == kChangeLoad) {
        w.pending_change = kNoChange;
        w.input.Clear();
        LoadGame(w, w.load_file);
    } else if (change == kChangeRestart) {
        EndGame(w);
        if (!StartGame(w)) w.running = false;
    } else if (change >= 0 && w.game.rooms.Exists(change)) {
        GotoRoom(w, change);
    } else {
        // No such room (the room functions refuse these; nothing else should set them).
        w.pending_change = kNoChange;
    }
}

void Step(World& w) {
    if (w.hooks.step_frozen && w.hooks.step_frozen()) return;
    w.game.retired.clear();  // no code runs from them any more
    if (w.collision_grid && w.collision_grid->queries) w.collision_grid->queries->StepBegins();
    if (!w.Room()) return;
    // F6 loads a saved game here, which replaces the room copies.
    Call(w.hooks.runner_keys);
    CRoom* r = w.Room();
    if (!r) return;
    RememberPositions(*r);
    DispatchWalk(w, ev_step, ev_step_begin);
    if (Pending(w)) return;
    RunTimeLines(w);
    if (Pending(w)) return;
    RunAlarms(w);
    if (Pending(w)) return;
    KeyboardEvents(w);
    if (Pending(w)) return;
    JoystickEvents(w);
    if (Pending(w)) return;
    MouseEvents(w);
    if (Pending(w)) return;
    DispatchWalk(w, ev_step, ev_step_normal);
    if (Pending(w)) return;
    RunMotion(w);
    BoundaryEvents(w);
    if (Pending(w)) return;
    RunCollisionEvents(w);
    if (Pending(w)) return;
    DispatchWalk(w, ev_step, ev_step_end);
    if (Pending(w)) return;
    Call(w.hooks.particles);
    r = w.Room();
    if (!r) return;
    r->RemoveDeletedInstances(w.game.objects);
    if (w.automatic_draw) DrawRoom(w);
    if (CRoom* now = w.Room()) now->MoveBackgrounds();
    if (w.Room()) Animate(w);
    ++w.cursor_image_counter;
    Call(w.hooks.debug_refresh);
    w.input.ClearStep();
}

void RunGame(World& w) {
    if (!w.running) {
        w.running = true;
        if (!StartGame(w)) {
            w.running = false;
            EndGame(w);
            return;
        }
    }
    w.running = true;
    w.paused = false;

    LoopClock& clock = w.clock;
    CarryOutPendingChange(w);
    clock.Start();
    int64_t v = clock.Now(), u = v;
    int32_t count = 0;
    w.fps = 0;
    Call(w.hooks.process_messages);
    // Asked to stop from outside: the loop ends here, and no game end, room end or any other
    // event runs.
    auto stop = [&w] {
        if (!w.hooks.stop_requested || !w.hooks.stop_requested()) return false;
        w.stopped = true;
        w.running = false;
        return true;
    };
    while (w.running && !w.paused && w.steps_left != 0) {
        if (stop()) return;
        ++w.step_number;
        try {
            Step(w);
            if (stop()) return;
            const int64_t now = clock.Now();
            if (now < u) u = now;
            int64_t speed = 30;
            if (CRoom* r = w.Room()) {
                if (r->Speed < 1) r->Speed = 1;
                speed = r->Speed;
            }
            const int64_t d = kSecond / speed;
            const int64_t t = std::min(std::max(d - (now - u), int64_t(0)), kSecond);
            clock.Wait(t, w.hooks.process_messages);
            Call(w.hooks.advance_sound);
            u = now + t;
            if (u < v) v = u;
            if (v / kSecond < u / kSecond) {
                w.fps = count;
                count = 0;
                v = u;
            }
            ++count;
            if (!Pending(w) && w.automatic_draw) Call(w.hooks.show_frame);
            CarryOutPendingChange(w);
            Call(w.hooks.process_messages);
        } catch (...) {
            // A failing repetition is dropped; the game goes on with the next one.
        }
        // --steps: the game ends between steps, as if it had ended itself.
        if (w.steps_left > 0 && --w.steps_left == 0) w.running = false;
    }
    if (w.steps_left == 0) w.running = false;
    if (!w.running) EndGame(w);
}

}  // namespace tb
