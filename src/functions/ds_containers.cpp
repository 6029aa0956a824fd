// Stacks, queues, lists, maps and priority queues addressed by number.
#include <initializer_list>
#include <string>
#include <string_view>

#include "ds/compare.h"
#include "ds/store.h"
#include "functions/register.h"
#include "script/engine.h"
#include "script/errors.h"

namespace tb {

namespace {

// What an operation sees of its call: args[0] is the structure's number.
struct Call {
    ScriptEngine& engine;
    const RValue* args;
    RValue& result;

    int32_t Int(int i) const { return RoundToInt32(args[i].real); }
    const RValue& Arg(int i) const { return args[i]; }
    void Bool(bool b) { result.SetReal(b ? 1 : 0); }
    void Real(double d) { result.SetReal(d); }
};

// The live structure of table `Table` numbered by `id`, or null.
template <auto Table>
auto* Find(ScriptEngine& engine, const RValue& id) {
    return ((*engine.data_structures).*Table).Find(RoundToInt32(id.real));
}

// The handler that applies `Op(structure, call)` to the structure named by the first
// argument, or reports that there is none.
template <auto Table, auto Op>
void On(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    auto* ds = Find<Table>(engine, args[0]);
    if (!ds) return ShowRuntimeError(engine, kNoDataStructure, false);
    Call call{engine, args, result};
    Op(*ds, call);
}

template <auto Table>
void Create(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    result.SetReal(((*engine.data_structures).*Table).Create());
}

template <auto Table>
void Destroy(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    if (!Find<Table>(engine, args[0])) return ShowRuntimeError(engine, kNoDataStructure, false);
    ((*engine.data_structures).*Table).Destroy(RoundToInt32(args[0].real));
}

// Both numbers must name live structures; one message covers either being wrong.
template <auto Table>
void Copy(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    auto* target = Find<Table>(engine, args[0]);
    auto* source = Find<Table>(engine, args[1]);
    if (!target || !source) return ShowRuntimeError(engine, kNoDataStructure, false);
    target->CopyFrom(*source);
}

struct Entry {
    std::string_view name;  // after "ds_<kind>_"
    BuiltinFunction handler;
    int32_t argc;
};

// The functions every kind has, around the kind's own ones, in the order of their ids.
template <auto Table>
void RegisterKind(FunctionRegistry& r, std::string_view kind, std::initializer_list<Entry> own) {
    const std::string prefix = "ds_" + std::string(kind) + "_";
    auto add = [&](const Entry& e) { r.Register(prefix + std::string(e.name), e.handler, e.argc); };
    const Entry head[] = {
        {"create", &Create<Table>, 0},
        {"destroy", &Destroy<Table>, 1},
        {"clear", &On<Table, [](auto& d, Call&) { d.Clear(); }>, 1},
        {"copy", &Copy<Table>, 2},
        {"size", &On<Table, [](auto& d, Call& c) { c.Real(d.Size()); }>, 1},
        {"empty", &On<Table, [](auto& d, Call& c) { c.Bool(d.Empty()); }>, 1},
    };
    const Entry tail[] = {
        {"write", &On<Table, [](auto& d, Call& c) { c.result.SetString(d.WriteText()); }>, 1},
        // A text of another kind, or a damaged one, changes nothing and says nothing.
        {"read", &On<Table, [](auto& d, Call& c) { d.ReadText(c.Arg(1).text.view()); }>, 2},
    };
    for (const Entry& e : head) add(e);
    for (const Entry& e : own) add(e);
    for (const Entry& e : tail) add(e);
}

void SetPrecision(ScriptEngine&, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    SetDsPrecision(args[0].real);
}

constexpr auto kStacks = &DataStructures::stacks;
constexpr auto kQueues = &DataStructures::queues;
constexpr auto kLists = &DataStructures::lists;
constexpr auto kMaps = &DataStructures::maps;
constexpr auto kPriorities = &DataStructures::priorities;

}  // namespace

void RegisterDsContainerFunctions(FunctionRegistry& r) {
    r.Register("ds_set_precision", &SetPrecision, 1);

    using S = CDS_Stack;
    RegisterKind<kStacks>(r, "stack",
                          {
                              {"push", &On<kStacks, [](S& d, Call& c) { d.Push(c.Arg(1)); }>, 2},
                              {"pop", &On<kStacks, [](S& d, Call& c) { c.result = d.Pop(); }>, 1},
                              {"top", &On<kStacks, [](S& d, Call& c) { c.result = d.Top(); }>, 1},
                          });

    using Q = CDS_Queue;
    RegisterKind<kQueues>(
        r, "queue",
        {
            {"enqueue", &On<kQueues, [](Q& d, Call& c) { d.Enqueue(c.Arg(1)); }>, 2},
            {"dequeue", &On<kQueues, [](Q& d, Call& c) { c.result = d.Dequeue(); }>, 1},
            {"head", &On<kQueues, [](Q& d, Call& c) { c.result = d.Head(); }>, 1},
            {"tail", &On<kQueues, [](Q& d, Call& c) { c.result = d.Tail(); }>, 1},
        });

    using L = CDS_List;
    RegisterKind<kLists>(
        r, "list",
        {
            {"add", &On<kLists, [](L& d, Call& c) { d.Add(c.Arg(1)); }>, 2},
            {"insert", &On<kLists, [](L& d, Call& c) { d.Insert(c.Int(1), c.Arg(2)); }>, 3},
            {"replace", &On<kLists, [](L& d, Call& c) { d.Replace(c.Int(1), c.Arg(2)); }>, 3},
            {"delete", &On<kLists, [](L& d, Call& c) { d.Delete(c.Int(1)); }>, 2},
            {"find_index", &On<kLists, [](L& d, Call& c) { c.Real(d.FindIndex(c.Arg(1))); }>, 2},
            {"find_value", &On<kLists, [](L& d, Call& c) { c.result = d.FindValue(c.Int(1)); }>, 2},
            {"sort", &On<kLists, [](L& d, Call& c) { d.Sort(IsTrue(c.Arg(1).real)); }>, 2},
            {"shuffle", &On<kLists, [](L& d, Call& c) { d.Shuffle(c.engine.random); }>, 1},
        });

    using M = CDS_Map;
    RegisterKind<kMaps>(
        r, "map",
        {
            {"add", &On<kMaps, [](M& d, Call& c) { d.Add(c.Arg(1), c.Arg(2)); }>, 3},
            {"replace", &On<kMaps, [](M& d, Call& c) { d.Replace(c.Arg(1), c.Arg(2)); }>, 3},
            {"delete", &On<kMaps, [](M& d, Call& c) { d.Delete(c.Arg(1)); }>, 2},
            {"exists", &On<kMaps, [](M& d, Call& c) { c.Bool(d.Exists(c.Arg(1))); }>, 2},
            {"find_value", &On<kMaps, [](M& d, Call& c) { c.result = d.FindValue(c.Arg(1)); }>, 2},
            {"find_previous",
             &On<kMaps, [](M& d, Call& c) { c.result = d.FindPrevious(c.Arg(1)); }>, 2},
            {"find_next", &On<kMaps, [](M& d, Call& c) { c.result = d.FindNext(c.Arg(1)); }>, 2},
            {"find_first", &On<kMaps, [](M& d, Call& c) { c.result = d.FindFirst(); }>, 1},
            {"find_last", &On<kMaps, [](M& d, Call& c) { c.result = d.FindLast(); }>, 1},
        });

    using P = CDS_Priority;
    RegisterKind<kPriorities>(
        r, "priority",
        {
            {"add", &On<kPriorities, [](P& d, Call& c) { d.Add(c.Arg(1), c.Arg(2)); }>, 3},
            {"change_priority",
             &On<kPriorities, [](P& d, Call& c) { d.ChangePriority(c.Arg(1), c.Arg(2)); }>, 3},
            {"find_priority",
             &On<kPriorities, [](P& d, Call& c) { c.result = d.FindPriority(c.Arg(1)); }>, 2},
            {"delete_value", &On<kPriorities, [](P& d, Call& c) { d.DeleteValue(c.Arg(1)); }>, 2},
            {"delete_min", &On<kPriorities, [](P& d, Call& c) { c.result = d.DeleteMin(); }>, 1},
            {"find_min", &On<kPriorities, [](P& d, Call& c) { c.result = d.FindMin(); }>, 1},
            {"delete_max", &On<kPriorities, [](P& d, Call& c) { c.result = d.DeleteMax(); }>, 1},
            {"find_max", &On<kPriorities, [](P& d, Call& c) { c.result = d.FindMax(); }>, 1},
        });
}

}  // namespace tb
