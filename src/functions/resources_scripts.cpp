// Script and time line resources at run time: script text and calls by index, time lines and
// their moments.
#include <algorithm>
#include <memory>

#include "functions/register.h"
#include "functions/resource_rules.h"
#include "resources/script.h"
#include "resources/timeline.h"
#include "runner/compile_stages.h"
#include "runner/stream.h"
#include "script/interpreter.h"

namespace tb {

namespace {

using namespace resource_rules;

// A script's arguments beyond this many are dropped.
constexpr int kScriptExecuteArguments = 15;

std::string TextOf(const CScript& s) {
    try {
        return s.GetScriptText();
    } catch (const StreamError&) {
        return std::string();  // a damaged text block reads as no text
    }
}

void script_execute(ScriptEngine& e, CInstance* self, CInstance* other, int argc, RValue& result,
                    const RValue* args) {
    if (argc < 1 || !Lookup<CScript>(e, args[0])) {
        ShowRuntimeError(e, "Trying to execute non-existing script.", false);
        return;
    }
    const int count = std::clamp(argc - 1, 0, kScriptExecuteArguments);
    if (CallScript(e, IndexArg(args[0]), self, other, result, args + 1, count)) return;
    result.SetReal(0);
    if (e.errors.pending) {
        const std::string message = e.errors.pending_message;
        e.ClearPending();
        ShowRuntimeError(e, message, false);
    }
}

// --- time lines

void timeline_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    result.SetReal(e.game ? Append(*e.game, std::make_unique<CTimeLine>()) : -1);
}

void timeline_delete(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                     const RValue* args) {
    if (!Require<CTimeLine>(e, args[0], "Trying to delete non-existing timeline.")) return;
    Retire<CTimeLine>(*e.game, IndexArg(args[0]));
    result.SetReal(1);
}

void MomentClear(ScriptEngine&, CTimeLine& t, const RValue* a) {
    t.DeleteMoment(IntArg(a[0]));
}

// Appends a code action to the moment (made when missing) and compiles it at once, with the
// moment as the context of a compile error.
void MomentAdd(ScriptEngine& e, CTimeLine& t, const RValue* a) {
    const int32_t time = IntArg(a[0]);
    CEvent& moment = t.AddMoment(time);
    CAction& action = moment.AddCodeAction(TextArg(a[1]));
    int32_t index = -1;
    for (int i = 0; i < e.game->timelines.Count(); ++i)
        if (e.game->timelines.Get(i) == &t) index = i;
    const EventContext saved = e.event;
    e.event = {index, kTimeLineEventType, time, int32_t(moment.actions.size()) - 1};
    CompileAction(e, action);
    e.event = saved;
}

}  // namespace

void RegisterScriptResourceFunctions(FunctionRegistry& r) {
    RegisterNameFunctions(r, "script", &ExistsFunction<CScript>, &NameFunction<CScript>);
    r.Register("script_get_text", &TextGetter<CScript, &TextOf>, 1);
    r.Register("script_execute", &script_execute, -1);
}

void RegisterTimeLineResourceFunctions(FunctionRegistry& r) {
    RegisterNameFunctions(r, "timeline", &ExistsFunction<CTimeLine>, &NameFunction<CTimeLine>);
    r.Register("timeline_add", &timeline_add, 0);
    r.Register("timeline_delete", &timeline_delete, 1);
    r.Register("timeline_moment_clear", &Setter<CTimeLine, &MomentClear>, 2);
    r.Register("timeline_moment_add", &Setter<CTimeLine, &MomentAdd>, 3);
}

}  // namespace tb
