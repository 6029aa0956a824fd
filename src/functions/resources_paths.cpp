// Path resources at run time: creating, copying and deleting paths and editing their points.
// (The path queries live with the motion functions that follow paths.)
#include <memory>

#include "functions/register.h"
#include "functions/resource_rules.h"
#include "resources/path.h"

namespace tb {

namespace {

using namespace resource_rules;

void SetKind(ScriptEngine&, CPath& p, const RValue* a) {
    p.SetKind(IntArg(a[0]));
}
void SetClosed(ScriptEngine&, CPath& p, const RValue* a) {
    p.SetClosed(FlagArg(a[0]));
}
void SetPrecision(ScriptEngine&, CPath& p, const RValue* a) {
    p.SetPrecision(IntArg(a[0]));
}
void AddPoint(ScriptEngine&, CPath& p, const RValue* a) {
    p.AddPoint(RealArg(a[0]), RealArg(a[1]), RealArg(a[2]));
}
void InsertPoint(ScriptEngine&, CPath& p, const RValue* a) {
    p.InsertPoint(IndexArg(a[0]), RealArg(a[1]), RealArg(a[2]), RealArg(a[3]));
}
void ChangePoint(ScriptEngine&, CPath& p, const RValue* a) {
    p.ChangePoint(IndexArg(a[0]), RealArg(a[1]), RealArg(a[2]), RealArg(a[3]));
}
void DeletePoint(ScriptEngine&, CPath& p, const RValue* a) {
    p.DeletePoint(IndexArg(a[0]));
}
void ClearPoints(ScriptEngine&, CPath& p, const RValue*) {
    p.ClearPoints();
}
void Reverse(ScriptEngine&, CPath& p, const RValue*) {
    p.Reverse();
}
void Mirror(ScriptEngine&, CPath& p, const RValue*) {
    p.Mirror();
}
void Flip(ScriptEngine&, CPath& p, const RValue*) {
    p.Flip();
}
void Rotate(ScriptEngine&, CPath& p, const RValue* a) {
    p.Rotate(RealArg(a[0]));
}
void Scale(ScriptEngine&, CPath& p, const RValue* a) {
    p.Scale(RealArg(a[0]), RealArg(a[1]));
}
void Shift(ScriptEngine&, CPath& p, const RValue* a) {
    p.Shift(RealArg(a[0]), RealArg(a[1]));
}

void path_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    result.SetReal(e.game ? Append(*e.game, std::make_unique<CPath>()) : -1);
}

void path_duplicate(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    result.SetReal(-1);
    const CPath* p = Require<CPath>(e, args[0], "Trying to duplicate non-existing path.");
    if (!p) return;
    auto copy = std::make_unique<CPath>();
    copy->Assign(*p);
    result.SetReal(Append(*e.game, std::move(copy)));
}

void path_assign(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    const int32_t target = IndexArg(args[0]);
    const CPath* from = Lookup<CPath>(e, args[1]);
    if (!from || target < 0 || target >= e.game->paths.Count()) {
        ShowRuntimeError(e, "Error assigning a path.", false);
        return;
    }
    ResourceList<CPath>& list = e.game->paths;
    if (!list.Exists(target)) {
        list.items[size_t(target)] = std::make_unique<CPath>();
        list.names[size_t(target)] = std::string(Kind<CPath>::kNewName) + std::to_string(target);
    }
    list.items[size_t(target)]->Assign(*from);
}

void path_append(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    CPath* to = Require<CPath>(e, args[0], "Appending to non-existing path.");
    if (!to) return;
    const CPath* from = Require<CPath>(e, args[1], "Appending a non-existing path.");
    if (!from) return;
    to->Append(*from);
}

void path_delete(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (!Require<CPath>(e, args[0], "Trying to delete non-existing path.")) return;
    Retire<CPath>(*e.game, IndexArg(args[0]));
    result.SetReal(1);
}

}  // namespace

void RegisterPathResourceFunctions(FunctionRegistry& r) {
    r.Register("path_set_kind", &Setter<CPath, &SetKind>, 2);
    r.Register("path_set_closed", &Setter<CPath, &SetClosed>, 2);
    r.Register("path_set_precision", &Setter<CPath, &SetPrecision>, 2);
    r.Register("path_add", &path_add, 0);
    r.Register("path_duplicate", &path_duplicate, 1);
    r.Register("path_assign", &path_assign, 2);
    r.Register("path_append", &path_append, 2);
    r.Register("path_delete", &path_delete, 1);
    r.Register("path_add_point", &Setter<CPath, &AddPoint>, 4);
    r.Register("path_insert_point", &Setter<CPath, &InsertPoint>, 5);
    r.Register("path_change_point", &Setter<CPath, &ChangePoint>, 5);
    r.Register("path_delete_point", &Setter<CPath, &DeletePoint>, 2);
    r.Register("path_clear_points", &Setter<CPath, &ClearPoints>, 1);
    r.Register("path_reverse", &Setter<CPath, &Reverse>, 1);
    r.Register("path_mirror", &Setter<CPath, &Mirror>, 1);
    r.Register("path_flip", &Setter<CPath, &Flip>, 1);
    r.Register("path_rotate", &Setter<CPath, &Rotate>, 2);
    r.Register("path_scale", &Setter<CPath, &Scale>, 3);
    r.Register("path_shift", &Setter<CPath, &Shift>, 3);
}

}  // namespace tb
