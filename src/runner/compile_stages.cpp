#include "runner/compile_stages.h"

#include <memory>
#include <string>

#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/errors.h"

namespace tb {

namespace {

constexpr char kCR = '\r';

// Argument kinds that are plain text, never compiled.
constexpr int32_t kArgumentString = 1;
constexpr int32_t kArgumentStringOrExpression = 2;
constexpr int32_t kArgumentText = 15;

bool StartsWithQuote(const std::string& t) {
    return !t.empty() && (t[0] == '"' || t[0] == '\'');
}

bool CompileEvent(ScriptEngine& engine, CEvent& event) {
    for (size_t i = 0; i < event.actions.size(); ++i) {
        engine.event.action = int32_t(i);
        if (!CompileAction(engine, event.actions[i])) return false;
    }
    return true;
}

}  // namespace

bool CompileAction(ScriptEngine& engine, CAction& a) {
    const std::vector<std::string>& texts = a.ArgumentTexts;
    auto text = [&](size_t i) { return i < texts.size() ? texts[i] : std::string(); };
    std::string code = a.Code;
    if (a.Kind == 6) {  // variable: name, value and the relative flag become an assignment
        code = text(0) + (a.Relative ? " += " : " = ") + text(1);
        a.Kind = 0;
        a.ArgumentCount = 0;
    } else if (a.Kind == 7) {  // code
        code = text(0);
        a.Kind = 0;
        a.ArgumentCount = 0;
    }
    if (a.ExecType == 2) {
        auto unit = std::make_shared<CCode>(code, false);
        if (!unit->Compile(engine)) {
            ShowRuntimeError(engine,
                             std::string("COMPILATION ERROR in code action") + kCR +
                                 engine.errors.pending_message,
                             true);
            return false;
        }
        a.code = std::move(unit);
    }
    a.Code.clear();

    size_t count = a.ArgumentCount > 0 ? size_t(a.ArgumentCount) : 0;
    count = std::min({count, a.ArgumentKinds.size(), texts.size()});
    a.arguments.assign(count, {});
    for (size_t i = 0; i < count; ++i) {
        int32_t& kind = a.ArgumentKinds[i];
        if (kind == kArgumentStringOrExpression) kind = StartsWithQuote(texts[i]) ? 0 : 1;
        if (kind == kArgumentString || kind == kArgumentText) {
            a.arguments[i].value = RValue::String(RString(texts[i]));
            continue;
        }
        auto unit = std::make_shared<CCode>(texts[i], true);
        if (!unit->Compile(engine)) {
            ShowRuntimeError(engine,
                             "COMPILATION ERROR in argument " + std::to_string(i) + kCR +
                                 engine.errors.pending_message,
                             true);
            return false;
        }
        if (unit->kind == kCodeConstant)
            a.arguments[i].value = unit->constant;
        else
            a.arguments[i].expression = std::move(unit);
    }
    a.ArgumentTexts.clear();
    return true;
}

bool CompileAllScripts(ScriptEngine& engine, Game& game) {
    for (int i = 0; i < game.scripts.Count(); ++i) {
        CScript* script = game.scripts.Get(i);
        if (!script) continue;
        auto unit = std::make_shared<CCode>(script->GetScriptText(), false);
        if (!unit->Compile(engine)) {
            ShowError(engine,
                      "COMPILATION ERROR in Script: " + game.scripts.names[size_t(i)] + kCR +
                          engine.errors.pending_message,
                      true);
            return false;
        }
        script->code = std::move(unit);
    }
    return true;
}

bool CompileAllTimeLines(ScriptEngine& engine, Game& game) {
    for (int t = 0; t < game.timelines.Count(); ++t) {
        CTimeLine* timeline = game.timelines.Get(t);
        if (!timeline) continue;
        for (int m = 0; m < timeline->Count(); ++m) {
            engine.event = {t, kTimeLineEventType, timeline->GetMomentTime(m), 0};
            if (!CompileEvent(engine, *timeline->GetMomentEvent(m))) return false;
        }
    }
    return true;
}

bool CompileAllObjects(ScriptEngine& engine, Game& game) {
    for (int o = 0; o < game.objects.Count(); ++o) {
        CObject* object = game.objects.Get(o);
        if (!object) continue;
        for (int kind = 0; kind < kEventKindCount; ++kind) {
            for (auto& [number, event] : object->events[size_t(kind)]) {
                engine.event = {o, kind, number, 0};
                if (!CompileEvent(engine, event)) return false;
            }
        }
    }
    return true;
}

bool DefineExtensionConstants(ScriptEngine& engine, const Game& game) {
    for (const CExtensionPackage& package : game.extensions)
        for (const CExtensionFile& file : package.files)
            for (const CExtensionConstant& c : file.constants)
                if (!engine.DefineUserConstant(c.name, c.value)) return false;
    return true;
}

}  // namespace tb
