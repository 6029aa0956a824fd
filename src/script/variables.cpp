#include "script/variables.h"

#include <utility>

#include "runner/stream.h"

namespace tb {

namespace {

// Smallest saved forms, so a corrupt count cannot announce more than the stream holds.
constexpr size_t kSavedValueBytes = 4 + 8 + 4;                    // kind, real, text length
constexpr size_t kSavedVariableBytes = 4 + kSavedValueBytes + 4;  // id, scalar, row count
constexpr size_t kSavedRowBytes = 4;
constexpr size_t kSavedEntryBytes = 4;  // a boolean is an integer

// Callers pass keys of 0 and above (the interpreter checks the indices); a negative key
// is taken as the scalar so that no input can index outside the rows.
inline bool IsScalarKey(int32_t key) {
    return key <= 0;
}

}  // namespace

// ---- CVariableList

void CVariableList::IndexInsert(int32_t id, int32_t position) {
    const uint32_t mask = uint32_t(index_.size() - 1);
    for (uint32_t h = HashId(id) & mask;; h = (h + 1) & mask) {
        int32_t& p = index_[h];
        if (p < 0 || items_[size_t(p)].id == id) {
            p = position;  // a later duplicate hides an earlier one
            return;
        }
    }
}

void CVariableList::Rehash(size_t capacity) {
    index_.assign(capacity, -1);
    for (size_t i = 0; i < items_.size(); ++i) IndexInsert(items_[i].id, int32_t(i));
}

RVariable& CVariableList::FindOrAppend(int32_t id) {
    const int32_t p = IndexOf(id);
    if (p >= 0) return items_[size_t(p)];
    items_.emplace_back();
    items_.back().id = id;
    if (items_.size() * 2 > index_.size()) {
        Rehash(index_.empty() ? 8 : index_.size() * 2);
    } else {
        IndexInsert(id, int32_t(items_.size() - 1));
    }
    return items_.back();
}

void CVariableList::Clear() {
    items_.clear();
    index_.clear();
}

void CVariableList::Assign(const CVariableList& other) {
    if (this != &other) *this = other;
}

void CVariableList::Declare(int32_t id) {
    FindOrAppend(id);
}

RValue& CVariableList::SlotOrCreate(int32_t id, int32_t key) {
    RVariable& v = FindOrAppend(id);
    if (IsScalarKey(key)) return v.value;
    const size_t r = size_t(key / kArrayDimension);
    const size_t c = size_t(key % kArrayDimension);
    if (v.rows.size() < r + 1) v.rows.resize(r + 1);
    std::vector<RValue>& row = v.rows[r];
    if (row.size() < c + 1) {
        v.elements += c + 1 - row.size();
        row.resize(c + 1);
    }
    return row[c];
}

bool CVariableList::CanCreate(int32_t id, int32_t key) const {
    if (IsScalarKey(key)) return true;
    const int32_t p = IndexOf(id);
    if (p < 0) return size_t(key % kArrayDimension) + 1 <= kMaxArrayElements;
    const RVariable& v = items_[size_t(p)];
    const size_t growth = ArrayGrowth(v.rows, key);
    return growth == 0 || v.elements + growth <= kMaxArrayElements;
}

bool CVariableList::Set(int32_t id, int32_t key, const RValue& value) {
    if (!CanCreate(id, key)) return false;
    RValue copy = value;  // `value` may live in this list, which Slot can reallocate
    Slot(id, key) = std::move(copy);
    return true;
}

const RValue* CVariableList::FindElement(int32_t id, int32_t key) const {
    const int32_t p = IndexOf(id);
    if (p < 0) return nullptr;
    const RVariable& v = items_[size_t(p)];
    if (IsScalarKey(key)) return &v.value;
    const size_t r = size_t(key / kArrayDimension);
    const size_t c = size_t(key % kArrayDimension);
    if (r >= v.rows.size() || c >= v.rows[r].size()) return nullptr;
    return &v.rows[r][c];
}

bool CVariableList::Get(int32_t id, int32_t key, RValue& out, bool uninitialized_as_zero) const {
    if (const RValue* v = Find(id, key)) {
        out = *v;
        return true;
    }
    if (!uninitialized_as_zero) return false;
    out = RValue();
    return true;
}

void CVariableList::Save(CStream& s) const {
    WriteInteger(s, kVariableListVersion);
    WriteInteger(s, int32_t(items_.size()));
    for (const RVariable& v : items_) {
        WriteInteger(s, v.id);
        SaveValue(s, v.value);
        WriteInteger(s, int32_t(v.rows.size()));
        for (const auto& row : v.rows) {
            WriteInteger(s, int32_t(row.size()));
            for (const RValue& e : row) SaveValue(s, e);
        }
    }
}

void CVariableList::Load(CStream& s) {
    Clear();
    if (ReadInteger(s) != kVariableListVersion) return;
    // Built aside, so a truncated list leaves this one empty rather than half loaded.
    std::vector<RVariable> items;
    const int32_t count = ReadCount(s, kSavedVariableBytes);
    for (int32_t i = 0; i < count; ++i) {
        RVariable v;
        v.id = ReadInteger(s);
        v.value = LoadValue(s);
        const int32_t rows = ReadCount(s, kSavedRowBytes);
        for (int32_t r = 0; r < rows; ++r) {
            std::vector<RValue> row;
            const int32_t n = ReadCount(s, kSavedValueBytes);
            if (n > 0) row.reserve(size_t(n));  // ReadCount checked the bytes are there
            for (int32_t c = 0; c < n; ++c) row.push_back(LoadValue(s));
            v.elements += row.size();
            v.rows.push_back(std::move(row));
        }
        items.push_back(std::move(v));
    }
    items_ = std::move(items);
    size_t capacity = 8;
    while (capacity < items_.size() * 2) capacity *= 2;
    Rehash(capacity);
}

// ---- saved values and the global block

void SaveValue(CStream& s, const RValue& v) {
    WriteInteger(s, v.kind);
    WriteReal(s, v.real);
    WriteString(s, v.text.view());
}

RValue LoadValue(CStream& s) {
    const int32_t kind = ReadInteger(s);
    const double real = ReadReal(s);
    std::string text = ReadString(s);
    // The rest of the language relies on a string holding real 0 and a real the empty text
    // (and on no third kind), so a damaged file cannot make a value that breaks it.
    return kind == kKindString ? RValue::String(RString(text)) : RValue::Real(real);
}

void SaveGlobals(CStream& s, const CVariableList& globals, const GlobalVarTable& table) {
    WriteInteger(s, kGlobalBlockVersion);
    globals.Save(s);
    const auto& entries = table.Entries();
    WriteInteger(s, int32_t(entries.size()));
    for (uint8_t e : entries) WriteBoolean(s, e != 0);
}

void LoadGlobals(CStream& s, CVariableList& globals, GlobalVarTable& table) {
    if (ReadInteger(s) != kGlobalBlockVersion) return;
    // Both parts are read before either is replaced: a truncated block changes nothing.
    CVariableList list;
    list.Load(s);
    std::vector<uint8_t> entries;
    const int32_t n = ReadCount(s, kSavedEntryBytes);
    if (n > 0) entries.reserve(size_t(n));
    for (int32_t i = 0; i < n; ++i) entries.push_back(ReadBoolean(s) ? 1 : 0);
    globals = std::move(list);
    table.Entries() = std::move(entries);
}

// ---- names and the globalvar table

int32_t VariableNames::UserId(std::string_view name) {
    if (auto it = lookup_.find(name); it != lookup_.end()) return it->second;
    const int32_t id = kFirstUserVariable + int32_t(names_.size());
    names_.emplace_back(name);
    lookup_.emplace(names_.back(), id);
    return id;
}

std::string VariableNames::UserName(int32_t id) const {
    const int64_t p = int64_t(id) - kFirstUserVariable;
    if (p < 0 || p >= int64_t(names_.size())) return "<unknown variable>";
    return names_[size_t(p)];
}

void GlobalVarTable::Reset() {
    entries_.assign(10000, 0);
}

void GlobalVarTable::Declare(int32_t id) {
    if (id < kFirstUserVariable) return;
    const size_t p = size_t(id - kFirstUserVariable);
    if (p >= entries_.size()) entries_.resize(p + 1000, 0);  // id - 99000 entries
    entries_[p] = 1;
}

}  // namespace tb
