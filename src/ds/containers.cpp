#include "ds/containers.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "ds/compare.h"
#include "runner/stream.h"
#include "script/random.h"
#include "script/variables.h"

namespace tb {

namespace {

constexpr int32_t kStackText = 101;
constexpr int32_t kQueueText = 201;
constexpr int32_t kListText = 301;
constexpr int32_t kMapText = 401;
constexpr int32_t kPriorityText = 501;

constexpr size_t kGrowth = 16;
// The shortest written value: kind, real and the length of an empty text.
constexpr size_t kValueBytes = 4 + 8 + 4;

// Before an append of entry `count`: a full array grows by 16 entries.
void MakeRoom(std::vector<RValue>& a, int32_t count) {
    if (size_t(count) >= a.size()) a.resize(size_t(count) + kGrowth);
}

void WriteValues(CStream& s, const std::vector<RValue>& a, int32_t count) {
    for (int32_t i = 0; i < count; ++i) SaveValue(s, a[size_t(i)]);
}

// A count of entries of `values_per_entry` values each; the stream must hold them all.
int32_t ReadLength(CStream& s, size_t values_per_entry) {
    const int32_t n = ReadCount(s, values_per_entry * kValueBytes);
    if (n < 0) throw StreamError("negative count");
    return n;
}

std::vector<RValue> ReadValues(CStream& s, int32_t n) {
    std::vector<RValue> out;
    out.reserve(size_t(n));  // ReadLength checked the bytes are there
    for (int32_t i = 0; i < n; ++i) out.push_back(LoadValue(s));
    return out;
}

// Decodes `text` and, when its first integer is `kind`, lets `read` parse the rest into
// locals and commit them; a text that ends early gives false before anything is committed.
template <typename Read>
bool ReadForm(std::string_view text, int32_t kind, Read&& read) {
    CStream s;
    FromHex(s, text);
    try {
        if (ReadInteger(s) != kind) return false;
        return read(s);
    } catch (const StreamError&) {
        return false;
    }
}

// The form shared by the stack and the list: kind, count, the values in order.
std::string WriteCounted(int32_t kind, const std::vector<RValue>& a, int32_t count) {
    CStream s;
    WriteInteger(s, kind);
    WriteInteger(s, count);
    WriteValues(s, a, count);
    return ToHex(s);
}

bool ReadCounted(std::string_view text, int32_t kind, std::vector<RValue>& a, int32_t& count) {
    return ReadForm(text, kind, [&](CStream& s) {
        const int32_t n = ReadLength(s, 1);
        a = ReadValues(s, n);
        count = n;
        return true;
    });
}

// The form shared by the map and the priority queue: kind, count, the first array, the second.
std::string WritePairs(int32_t kind, const std::vector<RValue>& first,
                       const std::vector<RValue>& second, int32_t count) {
    CStream s;
    WriteInteger(s, kind);
    WriteInteger(s, count);
    WriteValues(s, first, count);
    WriteValues(s, second, count);
    return ToHex(s);
}

bool ReadPairs(std::string_view text, int32_t kind, std::vector<RValue>& first,
               std::vector<RValue>& second, int32_t& count) {
    return ReadForm(text, kind, [&](CStream& s) {
        const int32_t n = ReadLength(s, 2);
        std::vector<RValue> a = ReadValues(s, n);
        std::vector<RValue> b = ReadValues(s, n);
        first = std::move(a);
        second = std::move(b);
        count = n;
        return true;
    });
}

}  // namespace

// ---- stack

void CDS_Stack::Clear() {
    count_ = 0;
    items_.clear();
}

std::string CDS_Stack::WriteText() const {
    return WriteCounted(kStackText, items_, count_);
}

bool CDS_Stack::ReadText(std::string_view text) {
    return ReadCounted(text, kStackText, items_, count_);
}

void CDS_Stack::Push(const RValue& v) {
    MakeRoom(items_, count_);
    items_[size_t(count_++)] = v;
}

RValue CDS_Stack::Pop() {
    if (count_ == 0) return RValue();
    return std::exchange(items_[size_t(--count_)], RValue());
}

RValue CDS_Stack::Top() const {
    return count_ == 0 ? RValue() : items_[size_t(count_ - 1)];
}

// ---- queue

void CDS_Queue::Clear() {
    head_ = tail_ = 0;
    items_.clear();
}

std::string CDS_Queue::WriteText() const {
    CStream s;
    WriteInteger(s, kQueueText);
    WriteInteger(s, tail_);
    WriteInteger(s, head_);
    WriteInteger(s, int32_t(items_.size()));
    WriteValues(s, items_, int32_t(items_.size()));
    return ToHex(s);
}

bool CDS_Queue::ReadText(std::string_view text) {
    return ReadForm(text, kQueueText, [&](CStream& s) {
        const int32_t tail = ReadInteger(s);
        const int32_t head = ReadInteger(s);
        const int32_t n = ReadLength(s, 1);
        if (head < 0 || head > tail || tail > n) return false;
        items_ = ReadValues(s, n);
        head_ = head;
        tail_ = tail;
        return true;
    });
}

void CDS_Queue::Enqueue(const RValue& v) {
    MakeRoom(items_, tail_);
    items_[size_t(tail_++)] = v;
}

RValue CDS_Queue::Dequeue() {
    RValue v;
    if (head_ < tail_) v = items_[size_t(head_++)];
    // Compaction copies, so the places behind the new tail keep their old (stale) entries.
    if (head_ > 16 && head_ > tail_ / 2) {
        const int32_t size = tail_ - head_;
        for (int32_t i = 0; i < size; ++i) items_[size_t(i)] = items_[size_t(head_ + i)];
        head_ = 0;
        tail_ = size;
    }
    return v;
}

RValue CDS_Queue::Head() const {
    return head_ < tail_ ? items_[size_t(head_)] : RValue();
}

RValue CDS_Queue::Tail() const {
    return head_ < tail_ ? items_[size_t(tail_ - 1)] : RValue();
}

// ---- list

void CDS_List::Clear() {
    count_ = 0;
    items_.clear();
}

std::string CDS_List::WriteText() const {
    return WriteCounted(kListText, items_, count_);
}

bool CDS_List::ReadText(std::string_view text) {
    return ReadCounted(text, kListText, items_, count_);
}

void CDS_List::Add(const RValue& v) {
    MakeRoom(items_, count_);
    items_[size_t(count_++)] = v;
}

void CDS_List::Insert(int32_t pos, const RValue& v) {
    if (pos < 0 || pos > count_) return;
    MakeRoom(items_, count_);
    for (int32_t i = count_; i > pos; --i) items_[size_t(i)] = std::move(items_[size_t(i - 1)]);
    items_[size_t(pos)] = v;
    ++count_;
}

void CDS_List::Replace(int32_t pos, const RValue& v) {
    if (pos >= 0 && pos < count_) items_[size_t(pos)] = v;
}

void CDS_List::Delete(int32_t pos) {
    if (pos < 0 || pos >= count_) return;
    for (int32_t i = pos; i + 1 < count_; ++i) items_[size_t(i)] = std::move(items_[size_t(i + 1)]);
    items_[size_t(--count_)] = RValue();
}

int32_t CDS_List::FindIndex(const RValue& v) const {
    for (int32_t i = 0; i < count_; ++i)
        if (CompareValues(items_[size_t(i)], v) == 0) return i;
    return -1;
}

RValue CDS_List::FindValue(int32_t pos) const {
    return pos >= 0 && pos < count_ ? items_[size_t(pos)] : RValue();
}

namespace {

// The order of CompareValues without its tolerance.
bool ExactlyLess(const RValue& a, const RValue& b) {
    if (a.IsString() != b.IsString()) return b.IsString();
    return a.IsString() ? a.text.view() < b.text.view() : a.real < b.real;
}

}  // namespace

// An insertion sort defines the result: ascending keeps equal entries in order, descending
// reverses them. When no two different reals lie within the precision, CompareValues is the
// exact order, so a stable sort (reversed for descending) gives the same list in n log n.
// Otherwise (or with a NaN, which has no order) the insertion sort runs as it is.
void CDS_List::Sort(bool ascending) {
    std::vector<int32_t> order(static_cast<size_t>(count_));
    std::iota(order.begin(), order.end(), 0);
    bool exact = true;
    for (int32_t i = 0; i < count_ && exact; ++i) exact = !std::isnan(items_[size_t(i)].real);
    if (exact) {
        std::stable_sort(order.begin(), order.end(), [this](int32_t a, int32_t b) {
            return ExactlyLess(items_[size_t(a)], items_[size_t(b)]);
        });
        for (size_t i = 1; i < order.size() && exact; ++i) {
            const RValue& a = items_[size_t(order[i - 1])];
            const RValue& b = items_[size_t(order[i])];
            exact = a.IsString() || b.IsString() || a.real == b.real || CompareValues(a, b) != 0;
        }
    }
    if (exact) {
        if (!ascending) std::reverse(order.begin(), order.end());
        std::vector<RValue> sorted(items_.size());
        for (size_t i = 0; i < order.size(); ++i) sorted[i] = std::move(items_[size_t(order[i])]);
        for (size_t i = order.size(); i < items_.size(); ++i) sorted[i] = std::move(items_[i]);
        items_ = std::move(sorted);
        return;
    }
    for (int32_t i = 1; i < count_; ++i) {
        RValue v = std::move(items_[size_t(i)]);
        int32_t j = i;
        while (j > 0) {
            const int c = CompareValues(items_[size_t(j - 1)], v);
            if (ascending ? c <= 0 : c > 0) break;
            items_[size_t(j)] = std::move(items_[size_t(j - 1)]);
            --j;
        }
        items_[size_t(j)] = std::move(v);
    }
}

void CDS_List::Shuffle(RandomGenerator& random) {
    const uint32_t n = uint32_t(count_);
    for (int64_t k = int64_t(count_) * 8; k > 0; --k) {
        const uint32_t a = random.Below(n);
        const uint32_t b = random.Below(n);
        std::swap(items_[a], items_[b]);
    }
}

// ---- map

void CDS_Map::Clear() {
    count_ = 0;
    blocks_.clear();
}

void CDS_Map::Flatten(std::vector<RValue>& keys, std::vector<RValue>& values) const {
    keys.reserve(size_t(count_));
    values.reserve(size_t(count_));
    for (const Block& b : blocks_) {
        keys.insert(keys.end(), b.keys.begin(), b.keys.end());
        values.insert(values.end(), b.values.begin(), b.values.end());
    }
}

std::string CDS_Map::WriteText() const {
    std::vector<RValue> keys, values;
    Flatten(keys, values);
    return WritePairs(kMapText, keys, values, count_);
}

// The keys are taken in the stored order, without re-sorting.
bool CDS_Map::ReadText(std::string_view text) {
    std::vector<RValue> keys, values;
    int32_t count = 0;
    if (!ReadPairs(text, kMapText, keys, values, count)) return false;
    Clear();
    for (size_t i = 0; i < size_t(count); i += kBlockMax / 2) {
        const size_t end = std::min(size_t(count), i + kBlockMax / 2);
        Block b;
        b.keys.assign(std::make_move_iterator(keys.begin() + ptrdiff_t(i)),
                      std::make_move_iterator(keys.begin() + ptrdiff_t(end)));
        b.values.assign(std::make_move_iterator(values.begin() + ptrdiff_t(i)),
                        std::make_move_iterator(values.begin() + ptrdiff_t(end)));
        blocks_.push_back(std::move(b));
    }
    count_ = count;
    return true;
}

// The first place whose key `before` does not hold for: halving over the blocks by their
// last keys, then within the block.
template <typename Before>
CDS_Map::Place CDS_Map::Bound(Before before) const {
    auto halve = [&before](const auto& items, auto key_of) {
        size_t lo = 0, hi = items.size();
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (before(key_of(items[mid])))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    const size_t block =
        halve(blocks_, [](const Block& b) -> const RValue& { return b.keys.back(); });
    if (block == blocks_.size()) return {block, 0};
    return {block, halve(blocks_[block].keys, [](const RValue& k) -> const RValue& { return k; })};
}

CDS_Map::Place CDS_Map::FirstNotLess(const RValue& key) const {
    return Bound([&key](const RValue& k) { return CompareValues(k, key) < 0; });
}

CDS_Map::Place CDS_Map::FirstGreater(const RValue& key) const {
    return Bound([&key](const RValue& k) { return CompareValues(k, key) <= 0; });
}

bool CDS_Map::FirstMatch(const RValue& key, Place& place) const {
    place = FirstNotLess(key);
    return !AtEnd(place) && CompareValues(KeyAt(place), key) == 0;
}

// After every key that compares less than or equal: equal keys keep the order of adding.
void CDS_Map::Add(const RValue& key, const RValue& value) {
    Place p = FirstGreater(key);
    if (AtEnd(p)) {
        if (blocks_.empty() || blocks_.back().keys.size() >= kBlockMax) blocks_.emplace_back();
        p = {blocks_.size() - 1, blocks_.back().keys.size()};
    }
    Block& b = blocks_[p.block];
    b.keys.insert(b.keys.begin() + ptrdiff_t(p.index), key);
    b.values.insert(b.values.begin() + ptrdiff_t(p.index), value);
    ++count_;
    if (b.keys.size() > kBlockMax) {  // split in halves
        Block tail;
        const auto half = ptrdiff_t(b.keys.size() / 2);
        tail.keys.assign(std::make_move_iterator(b.keys.begin() + half),
                         std::make_move_iterator(b.keys.end()));
        tail.values.assign(std::make_move_iterator(b.values.begin() + half),
                           std::make_move_iterator(b.values.end()));
        b.keys.resize(size_t(half));
        b.values.resize(size_t(half));
        blocks_.insert(blocks_.begin() + ptrdiff_t(p.block) + 1, std::move(tail));
    }
}

void CDS_Map::Replace(const RValue& key, const RValue& value) {
    Place p;
    if (FirstMatch(key, p)) blocks_[p.block].values[p.index] = value;
}

void CDS_Map::Delete(const RValue& key) {
    Place p;
    if (!FirstMatch(key, p)) return;
    Block& b = blocks_[p.block];
    b.keys.erase(b.keys.begin() + ptrdiff_t(p.index));
    b.values.erase(b.values.begin() + ptrdiff_t(p.index));
    if (b.keys.empty()) blocks_.erase(blocks_.begin() + ptrdiff_t(p.block));
    --count_;
}

bool CDS_Map::Exists(const RValue& key) const {
    Place p;
    return FirstMatch(key, p);
}

RValue CDS_Map::FindValue(const RValue& key) const {
    Place p;
    return FirstMatch(key, p) ? blocks_[p.block].values[p.index] : RValue();
}

// The key in front of the first key not less than `key`. A key beyond every stored key
// finds nothing (not the last key), as games expect.
RValue CDS_Map::FindPrevious(const RValue& key) const {
    const Place p = FirstNotLess(key);
    if (AtEnd(p) || (p.block == 0 && p.index == 0)) return RValue();
    if (p.index > 0) return blocks_[p.block].keys[p.index - 1];
    return blocks_[p.block - 1].keys.back();
}

// The key after the last key not greater than `key`: the first greater one.
RValue CDS_Map::FindNext(const RValue& key) const {
    const Place q = FirstGreater(key);
    return AtEnd(q) ? RValue() : KeyAt(q);
}

RValue CDS_Map::FindFirst() const {
    return blocks_.empty() ? RValue() : blocks_.front().keys.front();
}

RValue CDS_Map::FindLast() const {
    return blocks_.empty() ? RValue() : blocks_.back().keys.back();
}

// ---- priority queue

void CDS_Priority::Clear() {
    count_ = 0;
    values_.clear();
    priorities_.clear();
}

std::string CDS_Priority::WriteText() const {
    return WritePairs(kPriorityText, priorities_, values_, count_);
}

bool CDS_Priority::ReadText(std::string_view text) {
    return ReadPairs(text, kPriorityText, priorities_, values_, count_);
}

void CDS_Priority::Add(const RValue& value, const RValue& priority) {
    MakeRoom(values_, count_);
    MakeRoom(priorities_, count_);
    values_[size_t(count_)] = value;
    priorities_[size_t(count_)] = priority;
    ++count_;
}

int32_t CDS_Priority::Find(const RValue& value) const {
    for (int32_t i = 0; i < count_; ++i)
        if (CompareValues(values_[size_t(i)], value) == 0) return i;
    return -1;
}

void CDS_Priority::ChangePriority(const RValue& value, const RValue& priority) {
    const int32_t i = Find(value);
    if (i >= 0) priorities_[size_t(i)] = priority;
}

RValue CDS_Priority::FindPriority(const RValue& value) const {
    const int32_t i = Find(value);
    return i >= 0 ? priorities_[size_t(i)] : RValue();
}

void CDS_Priority::DeleteValue(const RValue& value) {
    const int32_t i = Find(value);
    if (i >= 0) Take(i);
}

// The first pair whose priority compares `sign` (-1 or 1) against every one kept before it,
// so the earliest stored of equal priorities wins.
int32_t CDS_Priority::Select(int sign) const {
    if (count_ == 0) return -1;
    int32_t best = 0;
    for (int32_t i = 1; i < count_; ++i)
        if (CompareValues(priorities_[size_t(i)], priorities_[size_t(best)]) == sign) best = i;
    return best;
}

RValue CDS_Priority::Take(int32_t i) {
    const size_t at = size_t(i), last = size_t(count_ - 1);
    RValue v = std::move(values_[at]);
    if (at != last) {
        values_[at] = std::move(values_[last]);
        priorities_[at] = std::move(priorities_[last]);
    }
    values_[last] = RValue();
    priorities_[last] = RValue();
    --count_;
    return v;
}

RValue CDS_Priority::FindMin() const {
    const int32_t i = Select(-1);
    return i >= 0 ? values_[size_t(i)] : RValue();
}

RValue CDS_Priority::DeleteMin() {
    const int32_t i = Select(-1);
    return i >= 0 ? Take(i) : RValue();
}

RValue CDS_Priority::FindMax() const {
    const int32_t i = Select(1);
    return i >= 0 ? values_[size_t(i)] : RValue();
}

RValue CDS_Priority::DeleteMax() {
    const int32_t i = Select(1);
    return i >= 0 ? Take(i) : RValue();
}

}  // namespace tb
