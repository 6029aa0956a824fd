// Scratch values of the interpreter (call arguments) kept off the native stack, so that deep
// script recursion is bounded by the call-depth limit and not by the thread's stack.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "script/value.h"

namespace tb {

class ValueStack {
  public:
    static constexpr size_t kChunk = 1024;

    // A run of `n` (at most kChunk) values that start as real 0 and keep their addresses
    // until the frame ends; frames end in reverse order of their start.
    class Frame {
      public:
        Frame(ValueStack& s, size_t n) : s_(s), chunk_(s.chunk_), top_(s.top_), n_(n) {
            if (s.top_ + n > kChunk) {
                ++s.chunk_;
                s.top_ = 0;
            }
            if (s.chunk_ == s.chunks_.size())
                s.chunks_.push_back(std::make_unique<RValue[]>(kChunk));
            values_ = s.chunks_[s.chunk_].get() + s.top_;
            s.top_ += n;
        }
        ~Frame() {
            for (size_t i = 0; i < n_; ++i) {
                RValue& v = values_[i];
                v.kind = kKindReal;
                v.real = 0;
                if (!v.text.empty()) v.text = RString();
            }
            s_.chunk_ = chunk_;
            s_.top_ = top_;
        }
        Frame(const Frame&) = delete;
        Frame& operator=(const Frame&) = delete;
        RValue* data() const { return values_; }
        // Only the first n values can differ from real 0: the end resets just those.
        void Limit(size_t n) { n_ = n < kChunk ? n : kChunk; }

      private:
        ValueStack& s_;
        size_t chunk_, top_, n_;
        RValue* values_ = nullptr;
    };

  private:
    std::vector<std::unique_ptr<RValue[]>> chunks_;
    size_t chunk_ = 0;  // the chunk in use
    size_t top_ = 0;    // values in use in it
};

}  // namespace tb
