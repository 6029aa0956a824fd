#include "graphics/transitions.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "graphics/display.h"
#include "graphics/graphics.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/world.h"

namespace tb {

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

const UserTransition* UserEntry(const World& w, int32_t kind) {
    const auto it = w.transitions.user.find(kind);
    return it != w.transitions.user.end() && it->second.function >= 0 ? &it->second : nullptr;
}

// Surface s drawn whole at (x, y), optionally with an alpha.
void Whole(Graphics& g, int32_t s, double x, double y, double alpha = 1) {
    g.textures.DrawExt(g.surfaces.Texture(s), 0, 0, x, y, 1, 1, 0, kWhite, alpha);
}

// The old picture at (ax, ay), then the new one at (bx, by) with an alpha.
void Both(Graphics& g, int32_t a, double ax, double ay, int32_t b, double bx, double by,
          double b_alpha = 1) {
    Whole(g, a, ax, ay);
    Whole(g, b, bx, by, b_alpha);
}

// The part (left, top, width, height) of surface s at the same place.
void Part(Graphics& g, int32_t s, double left, double top, double width, double height) {
    g.textures.DrawPart(g.surfaces.Texture(s), left, top, width, height, left, top, 1, 1, 0, kWhite,
                        1);
}

double Round(double v) {
    return double(RoundToInt64(v));
}

// Kinds 1 .. 4: the new picture uncovers the old one from the left, right, top or bottom.
void Wipe(Graphics& g, int32_t kind, double f, int32_t a, int32_t b, double w, double h) {
    const double rw = Round(w * f), rh = Round(h * f);
    Whole(g, a, 0, 0);
    switch (kind) {
        case 1:
            Part(g, b, 0, 0, rw, h);
            break;
        case 2:
            Part(g, b, w - rw, 0, rw, h);
            break;
        case 3:
            Part(g, b, 0, 0, w, rh);
            break;
        default:
            Part(g, b, 0, h - rh, w, rh);
            break;
    }
}

// Kinds 10 .. 13: every second strip comes first, then the rest is wiped in. c and e give the
// direction of the vertical and the horizontal strips.
void Interlace(Graphics& g, int c, int e, double f, int32_t steps, int32_t a, int32_t b, double w,
               double h) {
    const int64_t n = std::max(steps, 1);
    const int64_t k = RoundToInt64(f * double(n));
    const int64_t half = n / 2;
    if (k == n) {
        Whole(g, b, 0, 0);
        return;
    }
    if (k > half) {
        const int32_t wipe = c == 1 ? 1 : c == -1 ? 2 : e == 1 ? 3 : 4;
        Wipe(g, wipe, double(k - half) / double(half), a, b, w, h);
    } else {
        Whole(g, a, 0, 0);
    }
    const double sw = w / double(n), sh = h / double(n);
    for (int64_t i = 0; i <= half; ++i) {
        if ((c == 1 && k >= i) || (c == -1 && i >= half - k))
            Part(g, b, Round(sw * 2 * double(i)), 0, Round(sw), h);
        if ((e == 1 && k >= i) || (e == -1 && i >= half - k))
            Part(g, b, 0, Round(sh * 2 * double(i)), w, Round(sh));
    }
}

// Kinds 18 and 19: the new picture grows from the centre while it turns by angle degrees.
void Spin(Graphics& g, double f, double angle, int32_t a, int32_t b, double w, double h) {
    Whole(g, a, 0, 0);
    const double r = angle * std::numbers::pi / 180;
    const double x = w / 2 - (w * f / 2) * std::cos(r) - (h * f / 2) * std::sin(r);
    const double y = h / 2 + (w * f / 2) * std::sin(r) - (h * f / 2) * std::cos(r);
    g.textures.DrawExt(g.surfaces.Texture(b), 0, 0, x, y, f, f, angle, kWhite, 1);
}

// A kind the game defined: its function with the two surfaces, the size and the fraction.
void CallUser(World& w, int32_t kind, double f, int32_t a, int32_t b, int32_t width,
              int32_t height) {
    ScriptEngine& e = w.engine;
    const UserTransition* t = UserEntry(w, kind);
    const int32_t id = t ? t->function : -1;
    const bool script = id >= kScriptIdBase && id < kExtensionIdBase;
    if (!t || (script && !w.game.scripts.Exists(id - kScriptIdBase))) {
        ShowError(e, "Transition Function does not exist.", false);
        return;
    }
    const std::string name = t->name;
    const RValue args[5] = {RValue::Real(a), RValue::Real(b), RValue::Real(width),
                            RValue::Real(height), RValue::Real(f)};
    CInstance self;
    InitInstance(self, w.game, 0, 0, 0, 0);
    RValue result;
    e.ClearPending();
    bool ok = true;
    if (script)
        ok = CallScript(e, id - kScriptIdBase, &self, &self, result, args, 5);
    else if (e.host.call_extension)
        ok = e.host.call_extension(id - kExtensionIdBase, &self, &self, 5, args, result);
    if (ok) return;
    const std::string message = e.errors.pending ? e.errors.pending_message : std::string();
    e.ClearPending();
    ShowError(e, "ERROR in transition function " + name + "\r\n" + message, false);
}

void FreePictures(Graphics& g, TransitionState& t) {
    g.surfaces.Free(t.surface_old);
    g.surfaces.Free(t.surface_new);
    t.surface_old = t.surface_new = -1;
}

void Present(Graphics& g) {
    g.game_window.Present();
}

}  // namespace

bool TransitionExists(const World& w, int32_t kind) {
    return (kind >= 1 && kind <= kBuiltinTransitions) || UserEntry(w, kind) != nullptr;
}

bool DefineTransition(World& w, int32_t kind, std::string_view name) {
    const int32_t id = w.engine.FindFunction(name);
    if (id < kScriptIdBase) return false;
    if (kind >= 1 && kind < kUserTransitionLimit)
        w.transitions.user[kind] = {id, std::string(name)};
    return true;
}

void CaptureTransition(World& w, Graphics& g) {
    TransitionState& t = w.transitions;
    // A capture whose play never came: its pictures go now.
    if (t.surface_old >= 0 || t.surface_new >= 0) {
        g.surfaces.ResetTarget();
        FreePictures(g, t);
    }
    t.current = w.transition_kind;
    if (!TransitionExists(w, t.current)) return;
    const int32_t width = g.device.RegionWidth(), height = g.device.RegionHeight();
    t.surface_old = g.surfaces.Create(width, height);
    if (t.surface_old < 0 || !g.surfaces.SetTarget(t.surface_old)) {
        FreePictures(g, t);
        t.current = -1;
        return;
    }
    // The old room is drawn as it is, even though the change to the new one is pending.
    const int32_t pending = w.pending_change;
    w.pending_change = kNoChange;
    DrawRoom(w);
    w.pending_change = pending;
    t.surface_new = g.surfaces.Create(width, height);
    if (t.surface_new < 0 || !g.surfaces.SetTarget(t.surface_new)) {
        g.surfaces.ResetTarget();
        FreePictures(g, t);
        t.current = -1;
    }
}

void PlayTransition(World& w, Graphics& g) {
    TransitionState& t = w.transitions;
    const bool captured = t.surface_old >= 0 && t.surface_new >= 0;
    if (!captured || !TransitionExists(w, t.current)) {
        Present(g);
    } else {
        g.surfaces.ResetTarget();
        const int32_t steps = std::max(w.transition_steps, 1);
        const int32_t width = g.device.RegionWidth(), height = g.device.RegionHeight();
        for (int32_t i = 0; i <= steps; ++i) {
            g.device.BeginScene();
            DrawTransitionFrame(w, g, t.current, double(i) / steps, steps, t.surface_old,
                                t.surface_new, width, height);
            WaitVerticalBlank(g);
            Present(g);
        }
        FreePictures(g, t);
    }
    t.current = 0;
    g.device.BeginScene();
}

void DrawTransitionFrame(World& w, Graphics& g, int32_t kind, double f, int32_t steps, int32_t a,
                         int32_t b, int32_t width, int32_t height) {
    const double wd = width, ht = height;
    const double rw = Round(wd * f), rh = Round(ht * f);
    switch (kind) {
        case 1:
        case 2:
        case 3:
        case 4:
            Wipe(g, kind, f, a, b, wd, ht);
            break;
        case 5:
            Whole(g, a, 0, 0);
            Part(g, b, Round((wd - wd * f) / 2), Round((ht - ht * f) / 2), rw, rh);
            break;
        case 6:
            Both(g, a, 0, 0, b, rw - wd, 0);
            break;
        case 7:
            Both(g, a, 0, 0, b, wd - rw, 0);
            break;
        case 8:
            Both(g, a, 0, 0, b, 0, rh - ht);
            break;
        case 9:
            Both(g, a, 0, 0, b, 0, ht - rh);
            break;
        case 10:
            Interlace(g, 1, 0, f, steps, a, b, wd, ht);
            break;
        case 11:
            Interlace(g, -1, 0, f, steps, a, b, wd, ht);
            break;
        case 12:
            Interlace(g, 0, 1, f, steps, a, b, wd, ht);
            break;
        case 13:
            Interlace(g, 0, -1, f, steps, a, b, wd, ht);
            break;
        case 14:
            Both(g, a, rw, 0, b, rw - wd, 0);
            break;
        case 15:
            Both(g, a, -rw, 0, b, wd - rw, 0);
            break;
        case 16:
            Both(g, a, 0, rh, b, 0, rh - ht);
            break;
        case 17:
            Both(g, a, 0, -rh, b, 0, ht - rh);
            break;
        case 18:
            Spin(g, f, std::sqrt(f) * 360, a, b, wd, ht);
            break;
        case 19:
            Spin(g, f, -std::sqrt(f) * 360, a, b, wd, ht);
            break;
        case 20:
            Both(g, a, 0, 0, b, 0, 0, f);
            break;
        case 21:
            g.device.Clear(0xFF000000);
            if (f > 0.5)
                Whole(g, b, 0, 0, 2 * f - 1);
            else
                Whole(g, a, 0, 0, 1 - 2 * f);
            break;
        default:
            CallUser(w, kind, f, a, b, width, height);
            break;
    }
}

}  // namespace tb
