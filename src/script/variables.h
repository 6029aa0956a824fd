// Named variables: instance, global and local lists with one- and two-dimensional arrays,
// the variable id space and the globalvar table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/value.h"

namespace tb {

class CStream;

constexpr int32_t kFirstUserVariable = 100000;  // ids below 10000 are built-in variables
constexpr int32_t kBuiltinVariableLimit = 10000;
constexpr int32_t kArrayDimension = 32000;  // a[i, j] is key i * 32000 + j
constexpr int32_t kVariableListVersion = 440;
constexpr int32_t kGlobalBlockVersion = 700;

// Elements one array may hold, all rows together (4 Mi, about 100 MB); creating more fails
// with "Out of memory." where a script asks for it. No real game comes near.
constexpr size_t kMaxArrayElements = size_t(1) << 22;

// Elements that creating the element `key` (above 0) adds to `rows`; 0 when it exists.
inline size_t ArrayGrowth(const std::vector<std::vector<RValue>>& rows, int32_t key) {
    const size_t r = size_t(key / kArrayDimension);
    const size_t c = size_t(key % kArrayDimension);
    const size_t have = r < rows.size() ? rows[r].size() : 0;
    return c < have ? 0 : c + 1 - have;
}

struct RVariable {
    int32_t id = 0;
    RValue value;                           // the scalar; also element key 0
    std::vector<std::vector<RValue>> rows;  // key k: row k / 32000, column k % 32000
    size_t elements = 0;                    // in all rows

    bool operator==(const RVariable&) const = default;
};

// The variables of one instance, of the global scope or of one execution's locals, in order
// of creation. Lookups give the same answer as a search from the last entry backwards, but
// must not cost a linear scan on every access (the interpreter's hot path).
class CVariableList {
  public:
    void Clear();
    void Assign(const CVariableList& other);
    void Declare(int32_t id);
    // False, writing nothing, when the element would grow its array past kMaxArrayElements.
    bool Set(int32_t id, int32_t key, const RValue& value);
    // The element exists or may be created within kMaxArrayElements.
    bool CanCreate(int32_t id, int32_t key) const;
    // False when the variable, row or column does not exist, unless `uninitialized_as_zero`,
    // which makes every read succeed with real 0.
    bool Get(int32_t id, int32_t key, RValue& out, bool uninitialized_as_zero) const;
    // The storage of (id, key) when it exists, else null: a read without a copy.
    const RValue* Find(int32_t id, int32_t key) const {
        if (key > 0) return FindElement(id, key);
        const int32_t p = IndexOf(id);  // the scalar, the hot case, inline
        return p < 0 ? nullptr : &items_[size_t(p)].value;
    }
    // The storage of (id, key), created as Set would create it (new elements real 0), whatever
    // the bound (check CanCreate first where a script chooses the key). It may
    // reallocate the list, so the value assigned to it must not be a reference into the same
    // list (Set copies first). Keys below 0 are taken as 0 (the interpreter checks indices).
    RValue& Slot(int32_t id, int32_t key) {
        if (key <= 0) {
            const int32_t p = IndexOf(id);
            if (p >= 0) return items_[size_t(p)].value;
        }
        return SlotOrCreate(id, key);
    }
    int Count() const { return int(items_.size()); }
    const std::vector<RVariable>& Items() const { return items_; }

    void Save(CStream& s) const;
    // Empties the list; a first integer other than 440 leaves it empty.
    void Load(CStream& s);

    bool operator==(const CVariableList& o) const { return Items() == o.Items(); }

  private:
    static uint32_t HashId(int32_t id) {
        const uint32_t x = uint32_t(id) * 0x9E3779B1u;
        return x ^ (x >> 15);
    }
    int32_t IndexOf(int32_t id) const {
        if (index_.empty()) return -1;
        const uint32_t mask = uint32_t(index_.size() - 1);
        for (uint32_t h = HashId(id) & mask;; h = (h + 1) & mask) {
            const int32_t p = index_[h];
            if (p < 0 || items_[size_t(p)].id == id) return p;
        }
    }
    const RValue* FindElement(int32_t id, int32_t key) const;
    RValue& SlotOrCreate(int32_t id, int32_t key);
    RVariable& FindOrAppend(int32_t id);
    void IndexInsert(int32_t id, int32_t position);
    void Rehash(size_t capacity);

    std::vector<RVariable> items_;
    // Open-addressing index from id to position in items_ (-1 empty; size a power of two,
    // at most half full). With duplicate ids (only a loaded list can have them) it points at
    // the last one, which is what a search from the end would find.
    std::vector<int32_t> index_;
};

// Names of user variables: id = 100000 + position. Built-in names resolve first (the table
// of built-in variables is given to IdOf by its owner).
class VariableNames {
  public:
    // The id of a user variable name, appending the name when new.
    int32_t UserId(std::string_view name);
    // The name of a user id, or "<unknown variable>".
    std::string UserName(int32_t id) const;
    int Count() const { return int(names_.size()); }

  private:
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::vector<std::string> names_;
    std::unordered_map<std::string, int32_t, NameHash, std::equal_to<>> lookup_;
};

// The globalvar table: which user ids are declared global.
class GlobalVarTable {
  public:
    GlobalVarTable() { Reset(); }
    void Reset();                      // 10000 false entries
    void Declare(int32_t id);          // ignored below 100000; grows to id - 99000 entries
    bool IsGlobal(int32_t id) const {  // asked for every unprefixed variable access
        if (id < kFirstUserVariable) return false;
        const size_t p = size_t(id - kFirstUserVariable);
        return p < entries_.size() && entries_[p] != 0;
    }
    std::vector<uint8_t>& Entries() { return entries_; }
    const std::vector<uint8_t>& Entries() const { return entries_; }

  private:
    std::vector<uint8_t> entries_;
};

void SaveValue(CStream& s, const RValue& v);
RValue LoadValue(CStream& s);
// The global block of saved games: 700, the list, the table length and entries.
void SaveGlobals(CStream& s, const CVariableList& globals, const GlobalVarTable& table);
// A first integer other than 700 changes nothing.
void LoadGlobals(CStream& s, CVariableList& globals, GlobalVarTable& table);

}  // namespace tb
