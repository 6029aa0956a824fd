// Functions of host shared libraries: defining, calling and freeing them.
#include <array>
#include <string>

#include "extensions/extensions.h"
#include "functions/arguments.h"
#include "functions/register.h"
#include "script/engine.h"
#include "script/errors.h"

namespace tb {

namespace {

constexpr const char* kSecureDlls = "In secure mode you cannot use DLLs";
constexpr const char* kDefineFailed = "Error defining an external function.";

// Refuses in secure mode, with the script error.
bool Allowed(ScriptEngine& e) {
    if (!e.files.secure_mode) return true;
    ShowRuntimeError(e, kSecureDlls, false);
    return false;
}

std::string Text(const RValue& v) {
    return v.IsString() ? std::string(v.text.view()) : std::string();
}

// Defines from (dll, name) with the signature; -1 and the error when it fails.
double Define(ScriptEngine& e, const RValue* args, int32_t convention, bool string_result, int argc,
              const bool* strings) {
    const int id = e.extensions->external.Define(Text(args[0]), Text(args[1]), convention,
                                                 string_result, argc, strings);
    if (id < 0) ShowRuntimeError(e, kDefineFailed, false);
    return id;
}

void external_define(ScriptEngine& e, CInstance*, CInstance*, int argc, RValue& result,
                     const RValue* args) {
    result = RValue::Real(-1);
    if (!Allowed(e)) return;
    if (argc <= 4) {
        ShowRuntimeError(e, "Wrong number of arguments to external_define()", false);
        return;
    }
    const int count = Int(args[4]);
    if (count < 0 || count > kMaxExternalArguments) {
        ShowRuntimeError(e, "DLL functions can have at most 16 arguments", false);
        return;
    }
    if (argc != count + 5) {
        ShowRuntimeError(e, "Wrong number of arguments to external_define()", false);
        return;
    }
    std::array<bool, kMaxExternalArguments> strings{};
    for (int i = 0; i < count; ++i) {
        const int type = Int(args[5 + i]);
        if (count > 4 && type != kTypeReal) {
            ShowRuntimeError(
                e, "DLL functions with more than 4 arguments cannot have string arguments", false);
            return;
        }
        strings[size_t(i)] = type == kTypeString;
    }
    result = RValue::Real(
        Define(e, args, Int(args[2]), Int(args[3]) == kTypeString, count, strings.data()));
}

void external_call(ScriptEngine& e, CInstance*, CInstance*, int argc, RValue& result,
                   const RValue* args) {
    if (!Allowed(e) || argc < 1) return;
    CallExternal(e, Int(args[0]), argc - 1, args + 1, result);
}

void external_free(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    if (!Allowed(e)) return;
    e.extensions->external.Free(Text(args[0]));
}

// external_defineN for N up to 4: dll, name, N argument types, result type.
template <int N>
void DefineTyped(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result = RValue::Real(-1);
    if (!Allowed(e)) return;
    std::array<bool, kMaxExternalArguments> strings{};
    for (int i = 0; i < N; ++i) strings[size_t(i)] = Int(args[2 + i]) == kTypeString;
    result = RValue::Real(
        Define(e, args, kDllCdecl, Int(args[2 + N]) == kTypeString, N, strings.data()));
}

// external_defineN for N from 5: dll, name, result type; every argument a real.
template <int N>
void DefineReals(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result = RValue::Real(-1);
    if (!Allowed(e)) return;
    std::array<bool, kMaxExternalArguments> strings{};
    result =
        RValue::Real(Define(e, args, kDllCdecl, Int(args[2]) == kTypeString, N, strings.data()));
}

template <int N>
void CallFixed(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (!Allowed(e)) return;
    CallExternal(e, Int(args[0]), N, args + 1, result);
}

}  // namespace

void RegisterExternalFunctions(FunctionRegistry& r) {
    r.Register("external_define", &external_define, -1);
    r.Register("external_call", &external_call, -1);
    r.Register("external_free", &external_free, 1);
    r.Register("external_define0", &DefineTyped<0>, 3);
    r.Register("external_call0", &CallFixed<0>, 1);
    r.Register("external_define1", &DefineTyped<1>, 4);
    r.Register("external_call1", &CallFixed<1>, 2);
    r.Register("external_define2", &DefineTyped<2>, 5);
    r.Register("external_call2", &CallFixed<2>, 3);
    r.Register("external_define3", &DefineTyped<3>, 6);
    r.Register("external_call3", &CallFixed<3>, 4);
    r.Register("external_define4", &DefineTyped<4>, 7);
    r.Register("external_call4", &CallFixed<4>, 5);
    r.Register("external_define5", &DefineReals<5>, 3);
    r.Register("external_call5", &CallFixed<5>, 6);
    r.Register("external_define6", &DefineReals<6>, 3);
    r.Register("external_call6", &CallFixed<6>, 7);
    r.Register("external_define7", &DefineReals<7>, 3);
    r.Register("external_call7", &CallFixed<7>, 8);
    r.Register("external_define8", &DefineReals<8>, 3);
    r.Register("external_call8", &CallFixed<8>, 9);
}

}  // namespace tb
