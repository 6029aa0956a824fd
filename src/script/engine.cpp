#include "script/engine.h"

#include "dialogs/dialogs.h"
#include "ds/store.h"
#include "extensions/extensions.h"
#include "extensions/package.h"
#include "functions/register.h"
#include "multiplayer/multiplayer.h"
#include "particles/particles.h"
#include "planning/planning.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/builtin_variables.h"
#include "script/code.h"
#include "sound/sound_system.h"
#include "system/system_state.h"
#include "world/instance.h"

namespace tb {

ScriptEngine::ScriptEngine()
    : data_structures(std::make_unique<DataStructures>()),
      particles(std::make_unique<ParticleState>()),
      planning(std::make_unique<PlanningState>()),
      extensions(std::make_unique<Extensions>()),
      system(std::make_unique<SystemState>()) {
    RegisterBuiltinVariables(*this);
    RegisterAllFunctions(*this);
    DefineBuiltinConstants(constants);
    ResetGlobals();
}

ScriptEngine::~ScriptEngine() = default;

int32_t ScriptEngine::VariableIdOf(std::string_view name) {
    int builtin = builtin_variables.Find(name);
    return builtin >= 0 ? builtin : names.UserId(name);
}

std::string ScriptEngine::VariableNameOf(int32_t id) const {
    if (id < kBuiltinVariableLimit) {
        const BuiltinVariable* v = builtin_variables.At(id);
        return v ? v->name : "<unknown built-in variable>";
    }
    return names.UserName(id);
}

int32_t ScriptEngine::FindFunction(std::string_view name) const {
    if (game) {
        int script = game->scripts.Find(name);
        if (script >= 0) return kScriptIdBase + script;
        int ext = FindExtensionFunction(game->extensions, name);
        if (ext >= 0) return kExtensionIdBase + ext;
    }
    return functions.Find(name);
}

int32_t ScriptEngine::ArgumentCount(int32_t id) const {
    if (id >= kExtensionIdBase) {
        // An id no package defines lies outside every range.
        if (!game || ExtensionFunctionName(game->extensions, id - kExtensionIdBase).empty())
            return kNoSuchFunction;
        return ExtensionFunctionArgCount(game->extensions, id - kExtensionIdBase);
    }
    if (id >= kScriptIdBase) return -1;
    if (id >= 0 && id < functions.Count()) return functions.At(id).argc;
    return kNoSuchFunction;
}

bool ScriptEngine::LookupValueName(std::string_view name, RValue& out) const {
    if (game) {
        int index = game->objects.Find(name);
        if (index < 0) index = game->sprites.Find(name);
        if (index < 0) index = game->sounds.Find(name);
        if (index < 0) index = game->backgrounds.Find(name);
        if (index < 0) index = game->paths.Find(name);
        if (index < 0) index = game->fonts.Find(name);
        if (index < 0) index = game->timelines.Find(name);
        if (index < 0) index = game->scripts.Find(name);
        if (index < 0) index = game->rooms.Find(name);
        if (index >= 0) {
            out = RValue::Real(index);
            return true;
        }
    }
    return constants.Find(name, out);
}

void ScriptEngine::ReportError(const CCode& code, int32_t position, std::string_view text) {
    if (errors.pending) return;  // only the first fault of a run or compile is reported
    errors.pending = true;
    errors.pending_message =
        ComposeCodeMessage(code.Text(), code.kind != kCodeProgram, position, text);
}

void ScriptEngine::ReportPending(std::string_view message) {
    if (errors.pending) return;
    errors.pending = true;
    errors.pending_message = std::string(message);
}

void ScriptEngine::ResetGlobals() {
    globals.Clear();
    globalvar.Reset();
}

CInstance* ScriptEngine::FindInstance(int32_t id) {
    if (!room) return nullptr;
    const auto& list = room->instances;
    auto live_at = [&](int pos) {
        if (pos < 0 || pos >= int(list.size())) return false;
        const CInstance* inst = list[size_t(pos)].get();
        return inst && inst->id == id && !inst->destroyed;
    };
    if (live_at(remembered_[0])) return list[size_t(remembered_[0])].get();
    if (live_at(remembered_[1])) return list[size_t(remembered_[1])].get();
    remembered_[1] = remembered_[0];
    for (int i = int(list.size()) - 1; i >= 0; --i) {
        if (live_at(i)) {
            remembered_[0] = i;
            return list[size_t(i)].get();
        }
    }
    return nullptr;
}

}  // namespace tb
