// The game-wide built-in variables: they ignore the instance of the access.
#include "script/builtin_variables.h"
#include "script/engine.h"

namespace tb {

namespace {

// argument[i]: an index outside the slots means slot 0.
int ArgumentSlot(int32_t index) {
    return index >= 0 && index < kMaxArguments ? index : 0;
}

bool GetArgument(ScriptEngine& e, CInstance*, int32_t index, RValue& out) {
    out = e.arguments.Get(size_t(ArgumentSlot(index)));
    return true;
}
bool SetArgument(ScriptEngine& e, CInstance*, int32_t index, const RValue& v) {
    e.arguments[size_t(ArgumentSlot(index))] = v;
    return true;
}

template <int N>
bool GetArgumentN(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = e.arguments.Get(N);
    return true;
}
template <int N>
bool SetArgumentN(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    e.arguments[N] = v;
    return true;
}

bool GetErrorOccurred(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.errors.error_occurred ? 1 : 0);
    return true;
}
// Not rounded: 0.5 already counts as true.
bool SetErrorOccurred(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    e.errors.error_occurred = v.real >= 0.5;
    return true;
}

bool GetErrorLast(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::String(RString(e.errors.last_error));
    return true;
}
bool SetErrorLast(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    e.errors.last_error = v.text.str();
    return true;
}

struct Entry {
    const char* name;
    BuiltinGetter get;
    BuiltinSetter set;  // null: read-only
};

// In their fixed order; a new variable is one line here.
constexpr Entry kVariables[] = {
    {"argument", &GetArgument, &SetArgument},
    {"argument0", &GetArgumentN<0>, &SetArgumentN<0>},
    {"argument1", &GetArgumentN<1>, &SetArgumentN<1>},
    {"argument2", &GetArgumentN<2>, &SetArgumentN<2>},
    {"argument3", &GetArgumentN<3>, &SetArgumentN<3>},
    {"argument4", &GetArgumentN<4>, &SetArgumentN<4>},
    {"argument5", &GetArgumentN<5>, &SetArgumentN<5>},
    {"argument6", &GetArgumentN<6>, &SetArgumentN<6>},
    {"argument7", &GetArgumentN<7>, &SetArgumentN<7>},
    {"argument8", &GetArgumentN<8>, &SetArgumentN<8>},
    {"argument9", &GetArgumentN<9>, &SetArgumentN<9>},
    {"argument10", &GetArgumentN<10>, &SetArgumentN<10>},
    {"argument11", &GetArgumentN<11>, &SetArgumentN<11>},
    {"argument12", &GetArgumentN<12>, &SetArgumentN<12>},
    {"argument13", &GetArgumentN<13>, &SetArgumentN<13>},
    {"argument14", &GetArgumentN<14>, &SetArgumentN<14>},
    {"argument15", &GetArgumentN<15>, &SetArgumentN<15>},
    {"error_occurred", &GetErrorOccurred, &SetErrorOccurred},
    {"error_last", &GetErrorLast, &SetErrorLast},
};

}  // namespace

void RegisterGlobalVariables(ScriptEngine& engine) {
    BuiltinVariableTable& table = engine.builtin_variables;
    for (const Entry& e : kVariables) table.Register(e.name, e.get, e.set);
}

}  // namespace tb
