// Requests to stop from outside (SIGTERM, SIGINT, SIGHUP): the first asks the run to end at
// the next step boundary; a second one ends the process at once, after removing the run's
// temporary directory. The state is process-wide because signals are.
#pragma once

#include <string>

namespace tb {

// Installs the handlers. `cleanup_dir` (may be empty) is removed with its content by a second
// signal before the process ends.
void InstallStopSignals(const std::string& cleanup_dir);
// The signal that asked to stop, or 0.
int StopSignal();
// After a clean shut-down: ends the process by the signal that asked it to stop (its default
// action), so that the parent sees how it ended. Returns when no signal came.
void FinishStopSignal();

// Removes a directory tree without following links, using only calls that are safe inside a
// signal handler. False when something stayed.
bool RemoveTreeSignalSafe(const char* path);

}  // namespace tb
