#include "graphics/room_draw.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "graphics/graphics.h"
#include "graphics/transitions.h"
#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/caption.h"
#include "world/events.h"
#include "world/instance.h"
#include "world/world.h"

namespace tb {

namespace {

constexpr double kBackgroundDepth = 12000;
constexpr double kDeepestElement = 11000;
constexpr double kForegroundDepth = -12000;
constexpr double kCursorDepth = -13000;
constexpr uint32_t kWhite = 0xFFFFFF;

int32_t ClampToInt32(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// floor(image_index) as a frame number; any real is safe (the sprite wraps it).
int64_t FrameOf(double v) {
    if (!std::isfinite(v)) return 0;
    return int64_t(std::floor(std::clamp(v, -9.0e15, 9.0e15)));
}

// The instance a view follows: an instance id, or the first live instance of an object's
// family in the room's per-object order.
const CInstance* FollowTarget(World& w, const CRoom& r, int32_t target) {
    if (target > 99999) return w.engine.FindInstance(target);
    if (!w.game.objects.Exists(target)) return nullptr;
    for (const CInstance* inst : r.InstancesOfFamily(target))
        if (inst && !inst->destroyed) return inst;
    return nullptr;
}

// One axis of following: the view start v of size size with border b after target position
// p, kept in the room of length room_size, moving at most speed (negative: unlimited).
int64_t FollowAxis(int64_t p, int64_t v, int64_t size, int64_t b, int64_t speed,
                   int64_t room_size) {
    int64_t n = v;
    if (2 * b < size) {
        if (p - b < v)
            n = p - b;
        else if (p + b > v + size)
            n = p + b - size;
    } else {
        n = p - size / 2;
    }
    if (n < 0) n = 0;
    if (n + size > room_size) n = room_size - size;
    if (speed >= 0) {
        if (n < v - speed) n = v - speed;
        if (n > v + speed) n = v + speed;
    }
    return n;
}

void DrawLayers(Graphics& g, const Game& game, const CRoom& r, bool foreground, double left,
                double top, double right, double bottom) {
    for (const CBack& b : r.backgrounds) {
        if (!b.Visible || b.Foreground != foreground) continue;
        const CBackground* bg = game.backgrounds.Get(b.BackgroundIndex);
        if (!bg) continue;
        g.textures.DrawTiled(bg->texture, b.HTiled, b.VTiled, 0, 0, b.X, b.Y, b.XScale, b.YScale,
                             left, top, right - left, bottom - top, uint32_t(b.Blend), b.Alpha);
    }
}

void DrawTile(Graphics& g, const Game& game, const CTile& t, double left, double top, double right,
              double bottom) {
    if (t.X > right || t.Y > bottom || t.X + t.Width * t.XScale < left ||
        t.Y + t.Height * t.YScale < top)
        return;
    const CBackground* bg = game.backgrounds.Get(t.Background);
    if (!bg) return;
    g.textures.DrawPart(bg->texture, t.Left, t.Top, t.Width, t.Height, t.X, t.Y, t.XScale, t.YScale,
                        0, uint32_t(t.Blend), t.Alpha);
}

bool HasDrawEvent(const Game& game, const CInstance& inst) {
    return FindEvent(game.objects, inst.object_index, ev_draw, 0).event != nullptr;
}

void DrawInstance(World& w, Graphics& g, CInstance& inst) {
    if (HasDrawEvent(w.game, inst))
        Dispatch(w, &inst, &inst, ev_draw, 0);
    else
        DrawInstanceDefault(g, w.game, inst);
}

void DrawCursor(World& w, Graphics& g) {
    const CSprite* s = w.game.sprites.Get(w.cursor_sprite);
    if (!s) return;
    g.device.SetDepth(kCursorDepth);
    g.textures.DrawExt(s->GetTexture(w.cursor_image_counter), s->XOrigin, s->YOrigin,
                       w.input.mouse_x, w.input.mouse_y, 1, 1, 0, kWhite, 1);
}

// Tiles, instances and particle systems walked together from the highest depth down.
// Draw events may add, remove or reorder instances and tiles: every index is checked
// against the lists as they are now.
void DepthPass(World& w, Graphics& g, RoomDrawing& state, double left, double top, double right,
               double bottom) {
    state.particles.clear();
    if (w.hooks.particle_layers) w.hooks.particle_layers(state.particles);
    const size_t instance_count = w.Room()->instances.size();
    size_t ti = 0, ii = 0, pi = 0;
    for (;;) {
        CRoom* r = w.Room();
        if (!r) return;
        const size_t tiles = r->tiles.size();
        const size_t instances = std::min(instance_count, r->instances.size());
        while (ti < tiles && !r->tiles[ti].Visible) ++ti;
        while (ii < instances &&
               (!r->instances[ii] || r->instances[ii]->destroyed || !r->instances[ii]->visible))
            ++ii;
        const bool tile_left = ti < tiles, instance_left = ii < instances;
        const double tile_depth = tile_left ? r->tiles[ti].Depth : 0;
        const double instance_depth = instance_left ? r->instances[ii]->depth : 0;
        if (pi < state.particles.size()) {
            const auto [depth, id] = state.particles[pi];
            if ((!instance_left || depth >= instance_depth) &&
                (!tile_left || depth >= tile_depth)) {
                ++pi;
                g.device.SetDepth(std::min(depth, kDeepestElement));
                if (w.hooks.draw_particles) w.hooks.draw_particles(id);
                continue;
            }
        }
        if (tile_left && (!instance_left || tile_depth > instance_depth)) {
            const CTile tile = r->tiles[ti++];
            g.device.SetDepth(std::min(tile.Depth, kDeepestElement));
            DrawTile(g, w.game, tile, left, top, right, bottom);
            continue;
        }
        if (!instance_left) return;
        CInstance& inst = *r->instances[ii++];
        g.device.SetDepth(std::min(inst.depth, kDeepestElement));
        DrawInstance(w, g, inst);
    }
}

}  // namespace

void SetRoomRegion(World& w, Graphics& g) {
    const CRoom* r = w.Room();
    if (!r) return;
    int64_t width = r->Width, height = r->Height;
    if (r->ViewsEnabled) {
        width = height = 8;
        for (const CView& v : r->views) {
            if (!v.Visible) continue;
            width = std::max<int64_t>(width, int64_t(v.XPort) + v.WPort);
            height = std::max<int64_t>(height, int64_t(v.YPort) + v.HPort);
        }
    }
    SetRegionForRoom(g, ClampToInt32(width), ClampToInt32(height));
}

void FollowViews(World& w, WindowState& window) {
    CRoom* r = w.Room();
    if (!r || !r->ViewsEnabled) {
        for (int i = 0; i < kRoomLayers; ++i) window.ClearViewSlot(i);
        return;
    }
    for (CView& v : r->views) {
        if (!v.Visible) continue;
        const CInstance* target = FollowTarget(w, *r, v.Object);
        if (!target) continue;
        v.XView = ClampToInt32(
            FollowAxis(RoundToInt64(target->x), v.XView, v.WView, v.HBorder, v.HSpeed, r->Width));
        v.YView = ClampToInt32(
            FollowAxis(RoundToInt64(target->y), v.YView, v.HView, v.VBorder, v.VSpeed, r->Height));
    }
    for (int i = 0; i < kRoomLayers; ++i) {
        window.ClearViewSlot(i);
        const CView& v = r->views[size_t(i)];
        if (!v.Visible) continue;
        window.SetViewSlot(i, v.Angle, v.XView, v.YView, v.WView, v.HView, v.XPort, v.YPort,
                           v.WPort, v.HPort);
    }
}

void DrawRoomRect(World& w, Graphics& g, RoomDrawing& state, double left, double top, double right,
                  double bottom) {
    CRoom* r = w.Room();
    if (!r) return;
    g.device.ClearZ();
    if (r->ShowColor) g.device.Clear(DeviceColor(uint32_t(r->Color), 1));
    g.device.SetDepth(kBackgroundDepth);
    DrawLayers(g, w.game, *r, false, left, top, right, bottom);
    DepthPass(w, g, state, left, top, right, bottom);
    r = w.Room();
    if (!r) return;
    g.device.SetDepth(kForegroundDepth);
    DrawLayers(g, w.game, *r, true, left, top, right, bottom);
    DrawCursor(w, g);
}

void RedrawRoom(World& w, Graphics& g, RoomDrawing& state) {
    CRoom* r = w.Room();
    if (!r || state.active) return;
    // Also undone when a failure inside a Draw event leaves the redraw early.
    struct Running {
        World& w;
        RoomDrawing& state;
        ~Running() {
            w.view_current = 0;
            state.active = false;
        }
    } running{w, state};
    state.active = true;
    FollowViews(w, g.window);
    r->SortByDepth();
    r->SortTilesByDepth();
    if (r->ViewsEnabled) {
        g.device.Clear(DeviceColor(g.window.color, 1));
        for (int i = 0; i < kRoomLayers; ++i) {
            r = w.Room();
            if (!r || !r->ViewsEnabled) break;
            // Copied: Draw events may move the view while it is drawn.
            const CView v = r->views[size_t(i)];
            if (!v.Visible) continue;
            w.view_current = i;
            g.device.SetViewport(v.XPort, v.YPort, v.WPort, v.HPort);
            g.device.SetProjection(v.XView, v.YView, v.WView, v.HView, v.Angle);
            double left = v.XView, top = v.YView;
            double right = double(v.XView) + v.WView, bottom = double(v.YView) + v.HView;
            if (std::fabs(v.Angle) >= 0.01) {
                // A turned view shows more of the room at its corners.
                left -= v.HView / 2;
                right += v.HView / 2;
                top -= v.WView / 2;
                bottom += v.WView / 2;
            }
            DrawRoomRect(w, g, state, left, top, right, bottom);
        }
        const int32_t rw = g.device.RegionWidth(), rh = g.device.RegionHeight();
        g.device.SetViewport(0, 0, rw, rh);
        g.device.SetProjection(0, 0, rw, rh, 0);
    } else {
        w.view_current = 0;
        g.device.SetViewport(0, 0, r->Width, r->Height);
        g.device.SetProjection(0, 0, r->Width, r->Height, 0);
        DrawRoomRect(w, g, state, 0, 0, r->Width, r->Height);
    }
    if ((r = w.Room())) g.game_window.SetCaption(WindowCaption(w, r->Caption));
}

void DrawInstanceDefault(Graphics& g, const Game& game, const CInstance& inst) {
    const CSprite* s = game.sprites.Get(inst.sprite_index);
    if (!s) return;
    const int32_t texture = s->GetTexture(FrameOf(inst.image_index));
    if (inst.image_xscale != 1 || inst.image_yscale != 1 || inst.image_angle != 0 ||
        inst.image_blend != int32_t(kWhite) || inst.image_alpha != 1) {
        g.textures.DrawExt(texture, s->XOrigin, s->YOrigin, inst.x, inst.y, inst.image_xscale,
                           inst.image_yscale, inst.image_angle, uint32_t(inst.image_blend),
                           inst.image_alpha);
    } else {
        g.textures.DrawSimple(texture, inst.x - s->XOrigin, inst.y - s->YOrigin);
    }
}

void AttachRoomDrawing(World& w, Graphics& g) {
    auto state = std::make_shared<RoomDrawing>();
    w.hooks.draw_room = [&w, &g, state] { RedrawRoom(w, g, *state); };
    w.hooks.fit_window = [&w, &g] { SetRoomRegion(w, g); };
    w.hooks.capture_screen = [&w, &g] { CaptureTransition(w, g); };
    w.hooks.show_transition = [&w, &g] { PlayTransition(w, g); };
}

}  // namespace tb
