#pragma once

namespace tb {

// 0 normal, 1 above normal, 2 highest. Refusals by the system are ignored: a game runs the
// same at normal priority.
void SetProcessPriority(int level);

}  // namespace tb
