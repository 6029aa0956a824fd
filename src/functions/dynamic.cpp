// Running code given as text, and variables by name.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "functions/register.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/interpreter.h"
#include "system/file_bytes.h"
#include "system/paths.h"
#include "world/instance.h"

namespace tb {

namespace {

constexpr char kCR = '\r';

// The argument slots of the running code are overwritten for the executed text and put back
// afterwards whatever happens; the saved copy lives on the value stack, not the native one,
// so nested executions cost no extra native stack.
class SavedArguments {
  public:
    explicit SavedArguments(ScriptEngine& e)
        : slots_(e.arguments), saved_(e.value_stack, kMaxArguments), top_(slots_.top()) {
        RValue* live = slots_.values();
        for (size_t i = 0; i < top_; ++i) saved_.data()[i] = live[i];
    }
    ~SavedArguments() {
        // The slots above the old bound were real 0 before; the bound itself goes back too.
        RValue* live = slots_.values();
        const size_t top = slots_.top();
        for (size_t i = 0; i < top; ++i) live[i] = saved_.data()[i];
        slots_.Enter(live, top_);
    }
    SavedArguments(const SavedArguments&) = delete;
    SavedArguments& operator=(const SavedArguments&) = delete;

  private:
    ArgumentSlots& slots_;
    ValueStack::Frame saved_;
    size_t top_;
};

// Steps shared by both functions: args[0] named the code, the rest are its arguments.
void RunText(ScriptEngine& engine, CInstance* self, CInstance* other, int argc, const RValue* args,
             std::string text, const char* heading, RValue& result) {
    const int n = std::min(argc, int(kMaxArguments));
    SavedArguments saved(engine);
    for (int i = 0; i < kMaxArguments; ++i) {
        if (i < n - 1)
            engine.arguments[size_t(i)] = args[i + 1];
        else if (size_t(i) < engine.arguments.top())
            engine.arguments[size_t(i)] = RValue::Real(0);
    }
    CCode code(std::move(text), false);
    if (!code.Compile(engine)) {
        std::string message = std::string(heading) + kCR + engine.errors.pending_message;
        engine.ClearPending();
        ShowRuntimeError(engine, message, false);
        return;
    }
    ExecuteReporting(engine, self, other, code, result);
}

void execute_string(ScriptEngine& engine, CInstance* self, CInstance* other, int argc,
                    RValue& result, const RValue* args) {
    if (argc < 1) return;
    RunText(engine, self, other, argc, args, args[0].text.str(),
            "COMPILATION ERROR in string to be executed", result);
}

// The file as text, line by line, each line (ended by CR LF, LF or CR, or by the end of the
// file) followed by one CR.
std::string TextLines(const std::vector<uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() + 1);
    for (size_t i = 0; i < bytes.size();) {
        const char c = char(bytes[i++]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
            text += kCR;
        } else {
            text += c;
            if (i == bytes.size()) text += kCR;
        }
    }
    return text;
}

void execute_file(ScriptEngine& engine, CInstance* self, CInstance* other, int argc, RValue& result,
                  const RValue* args) {
    if (argc < 1) return;
    const std::string path = HostPath(args[0].text.view());
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path, ec))
        return ShowRuntimeError(engine, "Trying to execute non-existing file.", false);
    // A folder, or a file without read permission: named so the player sees why.
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes))
        return ShowRuntimeError(engine, "Cannot read the file to be executed.", false);
    RunText(engine, self, other, argc, args, TextLines(bytes),
            "COMPILATION ERROR in file to be executed", result);
}

// --- variables by name

// The element key of the index arguments args[first] (and args[first + 1] when `two`); false,
// after the error, when an index lies outside the array.
bool ElementKey(ScriptEngine& engine, const RValue* args, int first, bool two, int32_t& key) {
    int64_t index[2] = {RoundToInt64(args[first].real),
                        two ? RoundToInt64(args[first + 1].real) : 0};
    for (int64_t i : index) {
        if (i < 0 || i >= kArrayDimension) {
            ShowRuntimeError(engine, "Array index >= 32000", false);
            return false;
        }
    }
    key = two ? int32_t(index[0] * kArrayDimension + index[1]) : int32_t(index[0]);
    return true;
}

int32_t IdOf(ScriptEngine& engine, const RValue* args) {
    return engine.VariableIdOf(args[0].text.view());
}

// Reads the global (or self's) variable `id` at `key` into result; it stays real 0 when absent.
void ReadGlobal(ScriptEngine& engine, int32_t id, int32_t key, RValue& result) {
    RValue v;
    if (engine.globals.Get(id, key, v, engine.settings.uninitialized_as_zero)) result = v;
}
void ReadLocal(ScriptEngine& engine, CInstance* self, int32_t id, int32_t key, RValue& result) {
    RValue v;
    if (InstanceGet(engine, self, id, key, v)) result = v;
}
// A refused or read-only built-in variable ignores the write.
void WriteLocal(ScriptEngine& engine, CInstance* self, int32_t id, int32_t key,
                const RValue& value) {
    if (self && !self->variables.CanCreate(id, key))
        return ShowRuntimeError(engine, "Out of memory.", false);
    InstanceSet(engine, self, id, key, value);
}

void WriteGlobal(ScriptEngine& engine, int32_t id, int32_t key, const RValue& value) {
    if (!engine.globals.Set(id, key, value)) ShowRuntimeError(engine, "Out of memory.", false);
}

void variable_global_exists(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                            const RValue* args) {
    RValue v;
    const bool found =
        engine.globals.Get(IdOf(engine, args), 0, v, engine.settings.uninitialized_as_zero);
    result.SetReal(found ? 1 : 0);
}

void variable_global_get(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                         const RValue* args) {
    ReadGlobal(engine, IdOf(engine, args), 0, result);
}

void variable_global_array_get(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                               const RValue* args) {
    int32_t key;
    if (ElementKey(engine, args, 1, false, key))
        ReadGlobal(engine, IdOf(engine, args), key, result);
}

void variable_global_array2_get(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                                const RValue* args) {
    int32_t key;
    if (ElementKey(engine, args, 1, true, key)) ReadGlobal(engine, IdOf(engine, args), key, result);
}

void variable_global_set(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                         const RValue* args) {
    engine.globals.Set(IdOf(engine, args), 0, args[1]);
}

void variable_global_array_set(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                               const RValue* args) {
    int32_t key;
    if (ElementKey(engine, args, 1, false, key))
        WriteGlobal(engine, IdOf(engine, args), key, args[2]);
}

void variable_global_array2_set(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                                const RValue* args) {
    int32_t key;
    if (ElementKey(engine, args, 1, true, key))
        WriteGlobal(engine, IdOf(engine, args), key, args[3]);
}

void variable_local_exists(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                           const RValue* args) {
    RValue v;
    const int32_t id = IdOf(engine, args);  // the name is added to the table either way
    const bool found = engine.settings.uninitialized_as_zero || InstanceGet(engine, self, id, 0, v);
    result.SetReal(found ? 1 : 0);
}

void variable_local_get(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                        const RValue* args) {
    ReadLocal(engine, self, IdOf(engine, args), 0, result);
}

void variable_local_array_get(ScriptEngine& engine, CInstance* self, CInstance*, int,
                              RValue& result, const RValue* args) {
    int32_t key;
    if (ElementKey(engine, args, 1, false, key))
        ReadLocal(engine, self, IdOf(engine, args), key, result);
}

void variable_local_array2_get(ScriptEngine& engine, CInstance* self, CInstance*, int,
                               RValue& result, const RValue* args) {
    int32_t key;
    if (ElementKey(engine, args, 1, true, key))
        ReadLocal(engine, self, IdOf(engine, args), key, result);
}

void variable_local_set(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                        const RValue* args) {
    WriteLocal(engine, self, IdOf(engine, args), 0, args[1]);
}

void variable_local_array_set(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                              const RValue* args) {
    int32_t key;
    if (ElementKey(engine, args, 1, false, key))
        WriteLocal(engine, self, IdOf(engine, args), key, args[2]);
}

void variable_local_array2_set(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                               const RValue* args) {
    int32_t key;
    if (ElementKey(engine, args, 1, true, key))
        WriteLocal(engine, self, IdOf(engine, args), key, args[3]);
}

// The handlers read their fixed arguments unchecked; a call with fewer (only possible from
// outside compiled code) does nothing.
template <BuiltinFunction F, int N>
void WithArgs(ScriptEngine& engine, CInstance* self, CInstance* other, int argc, RValue& result,
              const RValue* args) {
    if (argc >= N) F(engine, self, other, argc, result, args);
}

}  // namespace

void RegisterDynamicCodeFunctions(FunctionRegistry& r) {
    r.Register("execute_string", &execute_string, -1);
    r.Register("execute_file", &execute_file, -1);
    r.Register("variable_global_exists", &WithArgs<&variable_global_exists, 1>, 1);
    r.Register("variable_global_get", &WithArgs<&variable_global_get, 1>, 1);
    r.Register("variable_global_array_get", &WithArgs<&variable_global_array_get, 2>, 2);
    r.Register("variable_global_array2_get", &WithArgs<&variable_global_array2_get, 3>, 3);
    r.Register("variable_global_set", &WithArgs<&variable_global_set, 2>, 2);
    r.Register("variable_global_array_set", &WithArgs<&variable_global_array_set, 3>, 3);
    r.Register("variable_global_array2_set", &WithArgs<&variable_global_array2_set, 4>, 4);
    r.Register("variable_local_exists", &WithArgs<&variable_local_exists, 1>, 1);
    r.Register("variable_local_get", &WithArgs<&variable_local_get, 1>, 1);
    r.Register("variable_local_array_get", &WithArgs<&variable_local_array_get, 2>, 2);
    r.Register("variable_local_array2_get", &WithArgs<&variable_local_array2_get, 3>, 3);
    r.Register("variable_local_set", &WithArgs<&variable_local_set, 2>, 2);
    r.Register("variable_local_array_set", &WithArgs<&variable_local_array_set, 3>, 3);
    r.Register("variable_local_array2_set", &WithArgs<&variable_local_array2_set, 4>, 4);
}

}  // namespace tb
