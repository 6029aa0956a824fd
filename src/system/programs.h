// Starting other programs and opening files with the desktop's own application.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

// The argument text split at blanks; double quotes group blanks into one argument and are
// not part of it ("a \"b c\"" gives a, b c).
std::vector<std::string> SplitArguments(std::string_view text);

// Children that nobody waits for, reaped when they have ended.
struct StartedPrograms {
    std::vector<pid_t> running;
    void Reap();
};

// Starts the program (found on PATH like a shell would when it has no folder part; a game path
// otherwise) with the split arguments in the current working directory. With `wait`, returns
// when it has ended, calling `pump` every 50 ms meanwhile. False when it cannot start.
bool StartProgram(std::string_view program, std::string_view arguments, bool wait,
                  const std::function<void()>& pump, StartedPrograms& started);

// Opens a file or an address with the desktop's opener ("xdg-open"); an executable file is
// started with the arguments instead. False when the file does not exist (and is not an
// address) or nothing could be started.
bool OpenWithShell(std::string_view file, std::string_view arguments, StartedPrograms& started);

}  // namespace tb
