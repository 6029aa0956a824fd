// The framing shared by the resource lists of a game file: a list version, a count, and per
// slot a "present" flag with the resource's name and record. Empty slots keep indices stable.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runner/stream.h"

namespace tb {

inline const std::string kUndefinedName = "<undefined>";

template <class T>
struct ResourceList {
    std::vector<std::unique_ptr<T>> items;  // a slot may be empty
    std::vector<std::string> names;         // "" for an empty slot

    int Count() const { return int(items.size()); }
    bool Exists(int index) const {
        return index >= 0 && index < Count() && items[size_t(index)] != nullptr;
    }
    T* Get(int index) const { return Exists(index) ? items[size_t(index)].get() : nullptr; }
    const std::string& Name(int index) const {
        return Exists(index) ? names[size_t(index)] : kUndefinedName;
    }
    // First non-empty slot with exactly this name (case-sensitive), or -1.
    int Find(std::string_view name) const {
        for (int i = 0; i < Count(); ++i)
            if (items[size_t(i)] && names[size_t(i)] == name) return i;
        return -1;
    }
    // Appends a slot and returns its index.
    int Add(std::unique_ptr<T> item, std::string name) {
        items.push_back(std::move(item));
        names.push_back(std::move(name));
        return Count() - 1;
    }
    void Clear() {
        items.clear();
        names.clear();
    }
};

// Reads the framing with `read(stream, item) -> bool` for each present slot. False when the
// list version differs or a record fails; a read past the end raises StreamError.
template <class T, class Reader>
bool LoadResourceList(CStream& s, int32_t version, ResourceList<T>& list, Reader&& read) {
    list.Clear();
    if (ReadInteger(s) != version) return false;
    int32_t count = ReadCount(s, 4);  // every slot has at least its present flag
    for (int32_t i = 0; i < count; ++i) {
        if (!ReadBoolean(s)) {
            list.Add(nullptr, "");
            continue;
        }
        std::string name = ReadString(s);
        auto item = std::make_unique<T>();
        if (!read(s, *item)) return false;
        list.Add(std::move(item), std::move(name));
    }
    return true;
}

template <class T, class Writer>
void WriteResourceList(CStream& s, int32_t version, const ResourceList<T>& list, Writer&& write) {
    WriteInteger(s, version);
    WriteInteger(s, list.Count());
    for (int i = 0; i < list.Count(); ++i) {
        const T* item = list.Get(i);
        WriteBoolean(s, item != nullptr);
        if (!item) continue;
        WriteString(s, list.names[size_t(i)]);
        write(s, *item);
    }
}

}  // namespace tb
