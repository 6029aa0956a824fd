// Stacks, queues, lists, maps and priority queues of values, with their text forms.
//
// Each class keeps its element count apart from its backing arrays: the arrays grow in steps
// of 16 entries and never shrink except on Clear, and the queue's text form writes the backing
// length. Entries beyond the count are kept as real 0, except the queue's, which keep whatever
// was stored there last.
//
// ReadText accepts only a text of the class's own kind whose counts agree with the data that
// follows; anything else leaves the structure as it was and gives false.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

namespace tb {

class RandomGenerator;

class CDS_Stack {
  public:
    void Clear();
    void CopyFrom(const CDS_Stack& other) { *this = other; }
    std::string WriteText() const;
    bool ReadText(std::string_view text);

    void Push(const RValue& v);
    RValue Pop();  // real 0 when empty
    RValue Top() const;
    int32_t Size() const { return count_; }
    bool Empty() const { return count_ == 0; }

  private:
    int32_t count_ = 0;
    std::vector<RValue> items_;  // entry 0 is the bottom
};

class CDS_Queue {
  public:
    void Clear();
    void CopyFrom(const CDS_Queue& other) { *this = other; }
    std::string WriteText() const;
    bool ReadText(std::string_view text);

    void Enqueue(const RValue& v);
    RValue Dequeue();  // real 0 when empty
    RValue Head() const;
    RValue Tail() const;  // the last enqueued
    int32_t Size() const { return tail_ - head_; }
    bool Empty() const { return tail_ == head_; }

    // The raw layout, for tests of compaction.
    int32_t HeadIndex() const { return head_; }
    int32_t TailIndex() const { return tail_; }
    size_t BackingLength() const { return items_.size(); }

  private:
    int32_t head_ = 0;
    int32_t tail_ = 0;
    std::vector<RValue> items_;
};

class CDS_List {
  public:
    void Clear();
    void CopyFrom(const CDS_List& other) { *this = other; }
    std::string WriteText() const;
    bool ReadText(std::string_view text);

    void Add(const RValue& v);
    void Insert(int32_t pos, const RValue& v);  // 0 <= pos <= count
    void Replace(int32_t pos, const RValue& v);
    void Delete(int32_t pos);
    int32_t FindIndex(const RValue& v) const;  // -1 when absent
    RValue FindValue(int32_t pos) const;       // real 0 out of range
    // Insertion sort: ascending keeps equal entries in order, descending reverses them.
    void Sort(bool ascending);
    void Shuffle(RandomGenerator& random);
    int32_t Size() const { return count_; }
    bool Empty() const { return count_ == 0; }

  private:
    int32_t count_ = 0;
    std::vector<RValue> items_;
};

// Pairs sorted by key; equal keys sit side by side in the order they were added.
class CDS_Map {
  public:
    void Clear();
    void CopyFrom(const CDS_Map& other) { *this = other; }
    std::string WriteText() const;
    bool ReadText(std::string_view text);

    void Add(const RValue& key, const RValue& value);
    void Replace(const RValue& key, const RValue& value);  // the first match only
    void Delete(const RValue& key);                        // the first match only
    bool Exists(const RValue& key) const;
    RValue FindValue(const RValue& key) const;
    RValue FindPrevious(const RValue& key) const;
    RValue FindNext(const RValue& key) const;
    RValue FindFirst() const;
    RValue FindLast() const;
    int32_t Size() const { return count_; }
    bool Empty() const { return count_ == 0; }

  private:
    // The pairs in key order, cut into blocks of at most kBlockMax so that an insertion
    // moves a few hundred entries instead of half the map. Blocks are never empty.
    struct Block {
        std::vector<RValue> keys;
        std::vector<RValue> values;
    };
    struct Place {
        size_t block = 0;
        size_t index = 0;
    };
    static constexpr size_t kBlockMax = 128;

    // The place of the first key not less / greater than `key`: {blocks, 0} when none.
    Place FirstNotLess(const RValue& key) const;
    Place FirstGreater(const RValue& key) const;
    template <typename Before>
    Place Bound(Before before) const;
    bool FirstMatch(const RValue& key, Place& place) const;
    bool AtEnd(Place p) const { return p.block == blocks_.size(); }
    const RValue& KeyAt(Place p) const { return blocks_[p.block].keys[p.index]; }
    void Flatten(std::vector<RValue>& keys, std::vector<RValue>& values) const;

    int32_t count_ = 0;
    std::vector<Block> blocks_;
};

// Pairs in storage order; removal moves the last pair into the freed place.
class CDS_Priority {
  public:
    void Clear();
    void CopyFrom(const CDS_Priority& other) { *this = other; }
    std::string WriteText() const;
    bool ReadText(std::string_view text);

    void Add(const RValue& value, const RValue& priority);
    void ChangePriority(const RValue& value, const RValue& priority);
    RValue FindPriority(const RValue& value) const;
    void DeleteValue(const RValue& value);
    RValue FindMin() const;
    RValue DeleteMin();
    RValue FindMax() const;
    RValue DeleteMax();
    int32_t Size() const { return count_; }
    bool Empty() const { return count_ == 0; }

  private:
    int32_t Find(const RValue& value) const;  // -1 when none
    int32_t Select(int sign) const;           // -1 when empty
    RValue Take(int32_t i);

    int32_t count_ = 0;
    std::vector<RValue> values_;
    std::vector<RValue> priorities_;  // as long as values_
};

}  // namespace tb
