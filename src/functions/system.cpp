// Clipboard, window handle and process priority.
#include "functions/register.h"
#include "script/engine.h"
#include "system/clipboard.h"
#include "system/priority.h"

namespace tb {

namespace {

void clipboard_has_text(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    result.SetReal(ClipboardHasText() ? 1 : 0);
}

void clipboard_get_text(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    result.SetString(RString(ClipboardText()));
}

void clipboard_set_text(ScriptEngine&, CInstance*, CInstance*, int argc, RValue&,
                        const RValue* args) {
    if (argc >= 1) SetClipboardText(args[0].text.view());
}

void window_handle(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                   const RValue*) {
    result.SetReal(engine.host.window_handle ? engine.host.window_handle() : 0);
}

void set_program_priority(ScriptEngine&, CInstance*, CInstance*, int argc, RValue&,
                          const RValue* args) {
    if (argc < 1) return;
    const int64_t p = RoundToInt64(args[0].real);
    SetProgramPriority(p >= -3 && p <= 3 ? int(p) : 0);
}

}  // namespace

void RegisterSystemFunctions(FunctionRegistry& r) {
    r.Register("clipboard_has_text", &clipboard_has_text, 0);
    r.Register("clipboard_get_text", &clipboard_get_text, 0);
    r.Register("clipboard_set_text", &clipboard_set_text, 1);
    r.Register("window_handle", &window_handle, 0);
    r.Register("set_program_priority", &set_program_priority, 1);
}

}  // namespace tb
