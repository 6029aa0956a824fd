#include "system/priority.h"

#include <sys/resource.h>

namespace tb {

void SetProcessPriority(int level) {
    if (level == 1)
        setpriority(PRIO_PROCESS, 0, -5);
    else if (level == 2)
        setpriority(PRIO_PROCESS, 0, -10);
}

}  // namespace tb
