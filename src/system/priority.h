#pragma once

namespace tb {

// 0 normal, 1 above normal, 2 highest. Refusals by the system are ignored: a game runs the
// same at normal priority.
void SetProcessPriority(int level);

// Nice values (-20 highest .. 19 lowest) for a program priority of -3 (idle) to 3 (realtime):
// the process class, given to the main thread, and the class with the thread's own step,
// given to the calling (game) thread. Other values are normal priority.
struct ProgramPriority {
    int process_nice = 0;
    int thread_nice = 0;
};
ProgramPriority ProgramPriorityOf(int priority);
// Applies ProgramPriorityOf; the system refusing (higher priority needs privileges) is
// ignored silently.
void SetProgramPriority(int priority);

}  // namespace tb
