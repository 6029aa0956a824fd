// Debugging functions.
#include <cstdio>

#include "functions/register.h"
#include "script/engine.h"

namespace tb {

namespace {

void show_debug_message(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue&,
                        const RValue* args) {
    std::string_view text = argc > 0 ? args[0].text.view() : std::string_view();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (engine.host.debug_message) engine.host.debug_message(text);
}

}  // namespace

void RegisterDebugFunctions(FunctionRegistry& r) {
    r.Register("show_debug_message", &show_debug_message, 1);
}

}  // namespace tb
