#pragma once

#include <cstddef>
#include <functional>

namespace tb {

// Runs `body` on a thread with a stack of `bytes` and returns its result. Deeply nested
// script calls need more native stack than a process's main thread has.
int RunWithStack(size_t bytes, const std::function<int()>& body);

}  // namespace tb
