#include "system/priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

namespace tb {

void SetProcessPriority(int level) {
    if (level == 1)
        setpriority(PRIO_PROCESS, 0, -5);
    else if (level == 2)
        setpriority(PRIO_PROCESS, 0, -10);
}

ProgramPriority ProgramPriorityOf(int priority) {
    // Process classes idle / normal / high / realtime, and the thread's step from the class:
    // idle and time critical pin the thread to the ends of the range.
    struct Row {
        int process;
        int thread_step;
    };
    constexpr Row kRows[] = {
        {19, 19},    // -3 idle, idle
        {0, 4},      // -2 normal, lowest
        {0, 2},      // -1 normal, below normal
        {0, 0},      // 0 normal, normal
        {0, -2},     // 1 normal, above normal
        {-10, -4},   // 2 high, highest
        {-20, -20},  // 3 realtime, time critical
    };
    if (priority < -3 || priority > 3) priority = 0;
    const Row& r = kRows[priority + 3];
    return {r.process, std::clamp(r.process + r.thread_step, -20, 19)};
}

void SetProgramPriority(int priority) {
    const ProgramPriority p = ProgramPriorityOf(priority);
#if defined(__linux__)
    // Linux keeps a nice value per thread: the process id names the main thread.
    setpriority(PRIO_PROCESS, id_t(getpid()), p.process_nice);
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), p.thread_nice);
#else
    setpriority(PRIO_PROCESS, 0, p.thread_nice);
#endif
}

}  // namespace tb
