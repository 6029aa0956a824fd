// Numbered slots for the structures of one kind: a number is a slot index, destroyed numbers
// are handed out again lowest first.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace tb {

template <typename T>
class DsTable {
  public:
    // Takes the lowest empty slot, or appends one.
    template <typename... Args>
    int32_t Create(Args&&... args) {
        size_t i = 0;
        while (i < slots_.size() && slots_[i]) ++i;
        if (i == slots_.size()) slots_.emplace_back();
        slots_[i] = std::make_unique<T>(std::forward<Args>(args)...);
        return int32_t(i);
    }
    // The live structure with that number, or null.
    T* Find(int64_t id) const {
        if (id < 0 || uint64_t(id) >= slots_.size()) return nullptr;
        return slots_[size_t(id)].get();
    }
    void Destroy(int64_t id) {
        if (Find(id)) slots_[size_t(id)].reset();
    }
    size_t Count() const { return slots_.size(); }

  private:
    std::vector<std::unique_ptr<T>> slots_;
};

}  // namespace tb
