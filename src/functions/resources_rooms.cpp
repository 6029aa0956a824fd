// Room resources at run time: their settings, layers, views, placed instances and tiles. They
// change the resource, which the game copies the next time it enters the room afresh; the
// running room is not touched.
#include <memory>

#include "functions/register.h"
#include "functions/resource_rules.h"
#include "resources/background.h"
#include "resources/room.h"

namespace tb {

namespace {

using namespace resource_rules;

void SetWidth(ScriptEngine&, CRoom& r, const RValue* a) {
    r.Width = IntArg(a[0]);
}
void SetHeight(ScriptEngine&, CRoom& r, const RValue* a) {
    r.Height = IntArg(a[0]);
}
void SetCaption(ScriptEngine&, CRoom& r, const RValue* a) {
    r.Caption = TextArg(a[0]);
}
void SetPersistent(ScriptEngine&, CRoom& r, const RValue* a) {
    r.Persistent = FlagArg(a[0]);
}
void SetCode(ScriptEngine&, CRoom& r, const RValue* a) {
    r.CreationCode = TextArg(a[0]);
}
void SetViewEnabled(ScriptEngine&, CRoom& r, const RValue* a) {
    r.ViewsEnabled = FlagArg(a[0]);
}
void SetBackgroundColor(ScriptEngine&, CRoom& r, const RValue* a) {
    r.Color = IntArg(a[0]);
    r.ShowColor = FlagArg(a[1]);
}

// (bind, vis, fore, back, x, y, htiled, vtiled, hspeed, vspeed, alpha): the blend stays.
void SetBackground(ScriptEngine&, CRoom& r, const RValue* a) {
    CBack* b = r.GetBack(IndexArg(a[0]));
    if (!b) return;
    b->Visible = FlagArg(a[1]);
    b->Foreground = FlagArg(a[2]);
    b->BackgroundIndex = IntArg(a[3]);
    b->X = RealArg(a[4]);
    b->Y = RealArg(a[5]);
    b->HTiled = FlagArg(a[6]);
    b->VTiled = FlagArg(a[7]);
    b->HSpeed = RealArg(a[8]);
    b->VSpeed = RealArg(a[9]);
    b->Alpha = RealArg(a[10]);
    b->XScale = b->YScale = 1.0;
    b->Stretch = false;
}

// (vind, vis, xview, yview, wview, hview, xport, yport, wport, hport, hborder, vborder,
// hspeed, vspeed, obj): the angle stays.
void SetView(ScriptEngine&, CRoom& r, const RValue* a) {
    CView* v = r.GetView(IndexArg(a[0]));
    if (!v) return;
    v->Visible = FlagArg(a[1]);
    v->XView = IntArg(a[2]);
    v->YView = IntArg(a[3]);
    v->WView = IntArg(a[4]);
    v->HView = IntArg(a[5]);
    v->XPort = IntArg(a[6]);
    v->YPort = IntArg(a[7]);
    v->WPort = IntArg(a[8]);
    v->HPort = IntArg(a[9]);
    v->HBorder = IntArg(a[10]);
    v->VBorder = IntArg(a[11]);
    v->HSpeed = IntArg(a[12]);
    v->VSpeed = IntArg(a[13]);
    v->Object = IntArg(a[14]);
}

void InstanceClear(ScriptEngine& e, CRoom& r, const RValue*) {
    r.ClearInstances();
    r.RebuildObjectLists(e.game->objects);
}

void TileClear(ScriptEngine&, CRoom& r, const RValue*) {
    r.ClearTiles();
}

void room_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    result.SetReal(e.game ? Append(*e.game, std::make_unique<CRoom>()) : -1);
}

void room_duplicate(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    result.SetReal(-1);
    const CRoom* r = Require<CRoom>(e, args[0], "Trying to duplicate non-existing room.");
    if (!r) return;
    auto copy = std::make_unique<CRoom>();
    copy->Assign(*r, e.game->objects);
    result.SetReal(Append(*e.game, std::move(copy)));
}

void room_assign(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    const int32_t target = IndexArg(args[0]);
    const CRoom* from = Lookup<CRoom>(e, args[1]);
    if (!from || target < 0 || target >= e.game->rooms.Count()) {
        ShowRuntimeError(e, "Error assigning a room.", false);
        return;
    }
    ResourceList<CRoom>& list = e.game->rooms;
    if (!list.Exists(target)) {
        list.items[size_t(target)] = std::make_unique<CRoom>();
        list.names[size_t(target)] = std::string(Kind<CRoom>::kNewName) + std::to_string(target);
    }
    CRoom& to = *list.items[size_t(target)];
    if (&to != from) to.Assign(*from, e.game->objects);
}

void room_instance_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    result.SetReal(-1);
    CRoom* r = Lookup<CRoom>(e, args[0]);
    if (!r) return;
    const CInstance& inst = r->AddInstance(e.game->objects, e.game->last_instance_id,
                                           IntArg(args[3]), RealArg(args[1]), RealArg(args[2]));
    result.SetReal(inst.id);
}

// (ind, back, left, top, width, height, x, y, depth) and, for the extended form, the scales
// and alpha.
void AddTile(ScriptEngine& e, RValue& result, const RValue* a, double xscale, double yscale,
             double alpha) {
    result.SetReal(-1);
    CRoom* r = Lookup<CRoom>(e, a[0]);
    if (!r) return;
    if (!Lookup<CBackground>(e, a[1])) {
        ShowRuntimeError(e, "Background does not exist.", false);
        return;
    }
    CTile t;
    t.Background = IndexArg(a[1]);
    t.Left = IntArg(a[2]);
    t.Top = IntArg(a[3]);
    t.Width = IntArg(a[4]);
    t.Height = IntArg(a[5]);
    t.X = RealArg(a[6]);
    t.Y = RealArg(a[7]);
    t.Depth = RealArg(a[8]);
    t.XScale = xscale;
    t.YScale = yscale;
    t.Alpha = alpha;
    t.Blend = 16777215;
    t.Visible = true;
    result.SetReal(r->AddTile(t, e.game->last_tile_id));
}

void room_tile_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                   const RValue* args) {
    AddTile(e, result, args, 1.0, 1.0, 1.0);
}

void room_tile_add_ext(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    AddTile(e, result, args, RealArg(args[9]), RealArg(args[10]), RealArg(args[11]));
}

}  // namespace

void RegisterRoomResourceFunctions(FunctionRegistry& r) {
    RegisterNameFunctions(r, "room", &ExistsFunction<CRoom>, &NameFunction<CRoom>);
    r.Register("room_set_width", &Setter<CRoom, &SetWidth>, 2);
    r.Register("room_set_height", &Setter<CRoom, &SetHeight>, 2);
    r.Register("room_set_caption", &Setter<CRoom, &SetCaption>, 2);
    r.Register("room_set_persistent", &Setter<CRoom, &SetPersistent>, 2);
    r.Register("room_set_code", &Setter<CRoom, &SetCode>, 2);
    r.Register("room_set_view_enabled", &Setter<CRoom, &SetViewEnabled>, 2);
    r.Register("room_set_background_color", &Setter<CRoom, &SetBackgroundColor>, 3);
    r.Register("room_set_background", &Setter<CRoom, &SetBackground>, 12);
    r.Register("room_set_view", &Setter<CRoom, &SetView>, 16);
    r.Register("room_add", &room_add, 0);
    r.Register("room_duplicate", &room_duplicate, 1);
    r.Register("room_assign", &room_assign, 2);
    r.Register("room_instance_add", &room_instance_add, 4);
    r.Register("room_instance_clear", &Setter<CRoom, &InstanceClear>, 1);
    r.Register("room_tile_add", &room_tile_add, 9);
    r.Register("room_tile_add_ext", &room_tile_add_ext, 12);
    r.Register("room_tile_clear", &Setter<CRoom, &TileClear>, 1);
}

}  // namespace tb
