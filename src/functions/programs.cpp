// Starting programs, opening files with the desktop's application, the runner's command line
// and the environment.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "functions/arguments.h"
#include "functions/register.h"
#include "script/engine.h"
#include "script/errors.h"
#include "system/system_state.h"
#include "world/world.h"

namespace tb {

namespace {

#define PROGRAM_FN(name)                                                                     \
    void name(ScriptEngine& e, CInstance*, CInstance*, int, [[maybe_unused]] RValue& result, \
              const RValue* args)

// The runner's executable: the program that program_directory names.
std::string ExecutablePath() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

PROGRAM_FN(execute_program) {
    std::string program = args[0].text.str();
    if (e.files.secure_mode)
        return ShowRuntimeError(e, "In Secure mode you cannot execute program " + program, false);
    // While it waits the window stays alive: its messages are handled every 50 ms.
    std::function<void()> pump;
    if (e.world && e.world->hooks.process_messages) pump = e.world->hooks.process_messages;
    if (!StartProgram(program, args[1].text.view(), Flag(args[2]), pump, e.system->programs))
        ShowRuntimeError(e, "Cannot execute " + program, false);
}

PROGRAM_FN(execute_shell) {
    std::string file = args[0].text.str();
    if (e.files.secure_mode)
        return ShowRuntimeError(e, "In Secure mode you cannot execute program " + file, false);
    if (!OpenWithShell(file, args[1].text.view(), e.system->programs))
        ShowRuntimeError(e, "Cannot execute " + file, false);
}

PROGRAM_FN(parameter_count) {
    (void)args;
    result.SetReal(double(e.system->parameters.size()));
}

PROGRAM_FN(parameter_string) {
    int64_t n = RoundToInt64(Number(args[0]));
    const std::vector<std::string>& p = e.system->parameters;
    if (n == 0)
        result.SetString(RString(ExecutablePath()));
    else if (n > 0 && size_t(n) <= p.size())
        result.SetString(RString(p[size_t(n - 1)]));
    else
        result.SetString(RString());
}

PROGRAM_FN(environment_get_variable) {
    (void)e;
    const char* value = std::getenv(args[0].text.str().c_str());
    result.SetString(RString(value ? std::string(value) : std::string()));
}

}  // namespace

void RegisterProgramFunctions(FunctionRegistry& r) {
    r.Register("execute_program", &execute_program, 3);
    r.Register("execute_shell", &execute_shell, 2);
    r.Register("parameter_count", &parameter_count, 0);
    r.Register("parameter_string", &parameter_string, 1);
    r.Register("environment_get_variable", &environment_get_variable, 1);
}

}  // namespace tb
