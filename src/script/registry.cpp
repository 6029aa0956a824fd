#include "script/registry.h"

#include <cstdio>

namespace tb {

int FunctionRegistry::Register(std::string_view name, BuiltinFunction handler, int32_t argc) {
    int id = int(entries_.size());
    entries_.push_back(FunctionEntry{std::string(name), handler, argc});
    first_.try_emplace(std::string(name), id);  // the first registration of a name wins
    return id;
}

int FunctionRegistry::Find(std::string_view name) const {
    auto it = first_.find(std::string(name));
    return it == first_.end() ? -1 : it->second;
}

int BuiltinVariableTable::Register(std::string_view name, BuiltinGetter get, BuiltinSetter set) {
    if (int(entries_.size()) >= kLimit) {
        constexpr std::string_view kMessage = "INTERNAL ERROR: Adding too many variables";
        if (message)
            message(kMessage);
        else
            std::fprintf(stderr, "%.*s\n", int(kMessage.size()), kMessage.data());
        return -1;
    }
    int id = int(entries_.size());
    entries_.push_back(BuiltinVariable{std::string(name), get, set});
    lookup_.try_emplace(std::string(name), id);
    return id;
}

int BuiltinVariableTable::Find(std::string_view name) const {
    auto it = lookup_.find(std::string(name));
    return it == lookup_.end() ? -1 : it->second;
}

void ConstantTable::Define(std::string_view name, const RValue& value) {
    std::string key(name);
    latest_[key] = int(entries_.size());  // hides any earlier definition of the name
    entries_.emplace_back(std::move(key), value);
}

bool ConstantTable::Find(std::string_view name, RValue& out) const {
    auto it = latest_.find(std::string(name));
    if (it == latest_.end()) return false;
    out = entries_[size_t(it->second)].second;
    return true;
}

}  // namespace tb
