// The tiles of the current room: getters and setters by tile id, adding, finding and deleting
// tiles, and the layer functions that act on every tile of one depth.
#include "functions/arguments.h"
#include "functions/register.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"

namespace tb {

namespace {

// The index of the tile with the id in args[0], or -1 after "Tile does not exist.".
int LookupIndex(ScriptEngine& engine, const RValue* args) {
    const int index = engine.room ? engine.room->FindTileById(Int(args[0])) : -1;
    if (index < 0) ShowRuntimeError(engine, "Tile does not exist.", false);
    return index;
}

CTile* Lookup(ScriptEngine& engine, const RValue* args) {
    const int index = LookupIndex(engine, args);
    return index >= 0 ? engine.room->GetTile(index) : nullptr;
}

bool BackgroundExists(ScriptEngine& engine, int32_t back) {
    if (engine.game && engine.game->backgrounds.Exists(back)) return true;
    ShowRuntimeError(engine, "Background does not exist.", false);
    return false;
}

// --- getters: 0 for a missing tile

template <class F>
void Get(ScriptEngine& engine, RValue& result, const RValue* args, F&& field) {
    if (const CTile* t = Lookup(engine, args)) result.SetReal(field(*t));
}

#define TB_TILE_GETTER(name, expr)                                               \
    void name(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, \
              const RValue* args) {                                              \
        Get(engine, result, args, [](const CTile& t) { return double(expr); });  \
    }

TB_TILE_GETTER(tile_get_x, t.X)
TB_TILE_GETTER(tile_get_y, t.Y)
TB_TILE_GETTER(tile_get_left, t.Left)
TB_TILE_GETTER(tile_get_top, t.Top)
TB_TILE_GETTER(tile_get_width, t.Width)
TB_TILE_GETTER(tile_get_height, t.Height)
TB_TILE_GETTER(tile_get_depth, t.Depth)
TB_TILE_GETTER(tile_get_visible, t.Visible ? 1 : 0)
TB_TILE_GETTER(tile_get_xscale, t.XScale)
TB_TILE_GETTER(tile_get_yscale, t.YScale)
TB_TILE_GETTER(tile_get_blend, t.Blend)
TB_TILE_GETTER(tile_get_alpha, t.Alpha)
TB_TILE_GETTER(tile_get_background, t.Background)

#undef TB_TILE_GETTER

// --- setters

void tile_set_visible(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                      const RValue* args) {
    if (CTile* t = Lookup(engine, args)) t->Visible = Flag(args[1]);
}

void tile_set_background(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                         const RValue* args) {
    CTile* t = Lookup(engine, args);
    if (!t || !BackgroundExists(engine, Int(args[1]))) return;
    t->Background = Int(args[1]);
}

void tile_set_region(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                     const RValue* args) {
    CTile* t = Lookup(engine, args);
    if (!t) return;
    t->Left = Int(args[1]);
    t->Top = Int(args[2]);
    t->Width = Int(args[3]);
    t->Height = Int(args[4]);
}

void tile_set_position(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                       const RValue* args) {
    CTile* t = Lookup(engine, args);
    if (!t) return;
    t->X = Number(args[1]);
    t->Y = Number(args[2]);
}

void tile_set_depth(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                    const RValue* args) {
    if (CTile* t = Lookup(engine, args)) t->Depth = Number(args[1]);
}

void tile_set_scale(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                    const RValue* args) {
    CTile* t = Lookup(engine, args);
    if (!t) return;
    t->XScale = Number(args[1]);
    t->YScale = Number(args[2]);
}

void tile_set_blend(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                    const RValue* args) {
    if (CTile* t = Lookup(engine, args)) t->Blend = Int(args[1]);
}

void tile_set_alpha(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                    const RValue* args) {
    if (CTile* t = Lookup(engine, args)) t->Alpha = Number(args[1]);
}

// --- adding, finding, deleting

void tile_add(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
              const RValue* args) {
    result.SetReal(-1);
    if (!BackgroundExists(engine, Int(args[0])) || !engine.room) return;
    CTile t;
    t.Background = Int(args[0]);
    t.Left = Int(args[1]);
    t.Top = Int(args[2]);
    t.Width = Int(args[3]);
    t.Height = Int(args[4]);
    t.X = Number(args[5]);
    t.Y = Number(args[6]);
    t.Depth = Number(args[7]);
    const int index = engine.room->AddTile(t, engine.game->last_tile_id);
    result.SetReal(engine.room->tiles[size_t(index)].Id);
}

void tile_find(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
               const RValue* args) {
    result.SetReal(-1);
    if (!engine.room) return;
    const int i = engine.room->FindTileAt(Int(args[0]), Int(args[1]), Flag(args[2]));
    if (i >= 0) result.SetReal(engine.room->tiles[size_t(i)].Id);
}

void tile_exists(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                 const RValue* args) {
    result.SetReal(engine.room && engine.room->FindTileById(Int(args[0])) >= 0 ? 1 : 0);
}

void tile_delete(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    const int index = LookupIndex(engine, args);
    if (index >= 0) engine.room->DeleteTileIndex(index);
}

void tile_delete_at(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                    const RValue* args) {
    if (engine.room) engine.room->DeleteTilesAt(Int(args[0]), Int(args[1]), Flag(args[2]));
}

// --- layers: every tile whose depth equals the first argument exactly

void tile_layer_hide(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                     const RValue* args) {
    if (engine.room) engine.room->HideLayer(Number(args[0]));
}

void tile_layer_show(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                     const RValue* args) {
    if (engine.room) engine.room->ShowLayer(Number(args[0]));
}

void tile_layer_delete(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                       const RValue* args) {
    if (engine.room) engine.room->DeleteLayer(Number(args[0]));
}

void tile_layer_shift(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                      const RValue* args) {
    if (engine.room) engine.room->ShiftLayer(Number(args[0]), Number(args[1]), Number(args[2]));
}

void tile_layer_find(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                     const RValue* args) {
    result.SetReal(-1);
    if (!engine.room) return;
    const int i = engine.room->FindInLayer(Number(args[0]), Number(args[1]), Number(args[2]));
    if (i >= 0) result.SetReal(engine.room->tiles[size_t(i)].Id);
}

void tile_layer_delete_at(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                          const RValue* args) {
    if (engine.room)
        engine.room->DeleteInLayerAt(Number(args[0]), Number(args[1]), Number(args[2]));
}

void tile_layer_depth(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                      const RValue* args) {
    if (engine.room) engine.room->SetLayerDepth(Number(args[0]), Number(args[1]));
}

}  // namespace

void RegisterTileFunctions(FunctionRegistry& r) {
    r.Register("tile_get_x", &tile_get_x, 1);
    r.Register("tile_get_y", &tile_get_y, 1);
    r.Register("tile_get_left", &tile_get_left, 1);
    r.Register("tile_get_top", &tile_get_top, 1);
    r.Register("tile_get_width", &tile_get_width, 1);
    r.Register("tile_get_height", &tile_get_height, 1);
    r.Register("tile_get_depth", &tile_get_depth, 1);
    r.Register("tile_get_visible", &tile_get_visible, 1);
    r.Register("tile_get_xscale", &tile_get_xscale, 1);
    r.Register("tile_get_yscale", &tile_get_yscale, 1);
    r.Register("tile_get_blend", &tile_get_blend, 1);
    r.Register("tile_get_alpha", &tile_get_alpha, 1);
    r.Register("tile_get_background", &tile_get_background, 1);
    r.Register("tile_set_visible", &tile_set_visible, 2);
    r.Register("tile_set_background", &tile_set_background, 2);
    r.Register("tile_set_region", &tile_set_region, 5);
    r.Register("tile_set_position", &tile_set_position, 3);
    r.Register("tile_set_depth", &tile_set_depth, 2);
    r.Register("tile_set_scale", &tile_set_scale, 3);
    r.Register("tile_set_blend", &tile_set_blend, 2);
    r.Register("tile_set_alpha", &tile_set_alpha, 2);
    r.Register("tile_add", &tile_add, 8);
    r.Register("tile_find", &tile_find, 3);
    r.Register("tile_exists", &tile_exists, 1);
    r.Register("tile_delete", &tile_delete, 1);
    r.Register("tile_delete_at", &tile_delete_at, 3);
    r.Register("tile_layer_hide", &tile_layer_hide, 1);
    r.Register("tile_layer_show", &tile_layer_show, 1);
    r.Register("tile_layer_delete", &tile_layer_delete, 1);
    r.Register("tile_layer_shift", &tile_layer_shift, 3);
    r.Register("tile_layer_find", &tile_layer_find, 3);
    r.Register("tile_layer_delete_at", &tile_layer_delete_at, 3);
    r.Register("tile_layer_depth", &tile_layer_depth, 2);
}

}  // namespace tb
