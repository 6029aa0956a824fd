// Built-in functions and variables, constants, and the name lookups of the compiler.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/value.h"

namespace tb {

class ScriptEngine;
struct CInstance;

constexpr int32_t kScriptIdBase = 100000;
constexpr int32_t kExtensionIdBase = 500000;
constexpr int32_t kMaxArguments = 16;
constexpr int32_t kNoSuchFunction = -100;  // ArgumentCount of an id outside every range

// handler(engine, self, other, argc, result, args): result starts as real 0; args holds argc
// values (16 when called from code, fewer from actions: read none beyond argc). A handler
// reports its own faults with ShowRuntimeError and returns normally.
using BuiltinFunction = void (*)(ScriptEngine& engine, CInstance* self, CInstance* other, int argc,
                                 RValue& result, const RValue* args);

struct FunctionEntry {
    std::string name;
    BuiltinFunction handler = nullptr;
    int32_t argc = -1;  // exact count, or -1 for 0 to 16
};

class FunctionRegistry {
  public:
    // Appends; the position is the function's id for the run.
    int Register(std::string_view name, BuiltinFunction handler, int32_t argc);
    // First entry with exactly that name, or -1.
    int Find(std::string_view name) const;
    const FunctionEntry& At(int id) const { return entries_[size_t(id)]; }
    int Count() const { return int(entries_.size()); }

  private:
    std::vector<FunctionEntry> entries_;
    std::unordered_map<std::string, int> first_;
};

// Built-in variables: ids 0 .. 499, reached through a getter and an optional setter with the
// element key as index. A getter or setter returns false to refuse.
using BuiltinGetter = bool (*)(ScriptEngine& engine, CInstance* instance, int32_t index,
                               RValue& out);
using BuiltinSetter = bool (*)(ScriptEngine& engine, CInstance* instance, int32_t index,
                               const RValue& value);

struct BuiltinVariable {
    std::string name;
    BuiltinGetter get = nullptr;
    BuiltinSetter set = nullptr;  // null: read-only
};

class BuiltinVariableTable {
  public:
    static constexpr int kLimit = 500;
    // The new id, or -1 past the limit (after the message "INTERNAL ERROR: Adding too many
    // variables" through `message`).
    int Register(std::string_view name, BuiltinGetter get, BuiltinSetter set);
    int Find(std::string_view name) const;
    const BuiltinVariable* At(int32_t id) const {
        return id >= 0 && id < int32_t(entries_.size()) ? &entries_[size_t(id)] : nullptr;
    }
    int Count() const { return int(entries_.size()); }
    void (*message)(std::string_view) = nullptr;

  private:
    std::vector<BuiltinVariable> entries_;
    std::unordered_map<std::string, int> lookup_;
};

// Constants in order of definition; a later definition of a name hides an earlier one.
class ConstantTable {
  public:
    void Define(std::string_view name, const RValue& value);
    bool Find(std::string_view name, RValue& out) const;
    int Count() const { return int(entries_.size()); }
    const std::vector<std::pair<std::string, RValue>>& Entries() const { return entries_; }

  private:
    std::vector<std::pair<std::string, RValue>> entries_;
    std::unordered_map<std::string, int> latest_;
};

// The 288 built-in constants, in their order.
void DefineBuiltinConstants(ConstantTable& table);

}  // namespace tb
