#include "extensions/extensions.h"

#include <algorithm>

#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "system/paths.h"
#include "world/instance.h"
#include "world/instance_ops.h"

namespace tb {

namespace {

constexpr const char* kSecurePackages = "In secure mode you cannot use extension packages.";

bool SecureMode(const ScriptEngine& engine) {
    return engine.files.secure_mode;
}

ExtensionSlot* Slot(ScriptEngine& engine, int id) {
    std::vector<ExtensionSlot>& slots = engine.extensions->slots;
    return id >= 0 && size_t(id) < slots.size() ? &slots[size_t(id)] : nullptr;
}

// Walks the named function of every file (initialisation or finalisation).
bool CallFileFunctions(ScriptEngine& engine, Game& game, std::string CExtensionFile::*which,
                       const char* missing) {
    for (const CExtensionPackage& package : game.extensions) {
        for (const CExtensionFile& file : package.files) {
            const std::string& name = file.*which;
            if (name.empty()) continue;
            if (SecureMode(engine)) {
                ShowError(engine, kSecurePackages, true);
                return false;
            }
            auto fn = std::find_if(file.functions.begin(), file.functions.end(),
                                   [&](const CExtensionFunction& f) { return f.name == name; });
            if (fn == file.functions.end()) {
                ShowError(engine, missing + name, true);
                return false;
            }
            CInstance temporary;
            InitInstance(temporary, game, 0, 0, 0, 0);
            RValue result;
            engine.ClearPending();
            if (!CallExtension(engine, fn->id, &temporary, &temporary, 0, nullptr, result)) {
                const std::string text = engine.errors.pending_message;
                engine.ClearPending();
                ShowError(engine, text, true);
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool PrepareExtensions(ScriptEngine& engine, Game& game, const std::string& temp_dir) {
    Extensions& x = *engine.extensions;
    int32_t largest = -1;
    for (const CExtensionPackage& package : game.extensions)
        for (const CExtensionFile& file : package.files)
            for (const CExtensionFunction& fn : file.functions) largest = std::max(largest, fn.id);
    x.slots.assign(size_t(largest + 1), {});

    for (CExtensionPackage& package : game.extensions) {
        for (CExtensionFile& file : package.files) {
            for (CExtensionFunction& fn : file.functions) {
                if (fn.id < 0) continue;  // no id can reach it
                ExtensionSlot& slot = x.slots[size_t(fn.id)];
                slot.name = fn.name;
                if (file.kind == CExtensionFile::kLibrary) {
                    const std::string library =
                        JoinPath(JoinPath(temp_dir, package.folder_name), file.file_name);
                    std::array<bool, kMaxExternalArguments> strings{};
                    const int argc = std::clamp(fn.argument_count, 0, kMaxExternalArguments);
                    for (int i = 0; i < argc; ++i)
                        strings[size_t(i)] = fn.argument_types[size_t(i)] == 1;
                    const int32_t convention = fn.calling_convention == CExtensionFunction::kCdecl
                                                   ? kDllCdecl
                                                   : kDllStdcall;
                    slot.external =
                        x.external.Define(library, fn.external_name, convention,
                                          fn.result_type == 1, fn.argument_count, strings.data());
                    slot.symbol = fn.external_name;
                    slot.code = nullptr;
                } else if (file.kind == CExtensionFile::kScript && !fn.code.empty()) {
                    auto unit = std::make_shared<CCode>(fn.code, false);
                    if (!unit->Compile(engine)) {
                        ShowError(engine,
                                  "COMPILATION ERROR in extension package " + package.name + "\r" +
                                      engine.errors.pending_message,
                                  true);
                        return false;
                    }
                    fn.code.clear();
                    slot.code = std::move(unit);
                }
            }
        }
    }
    return true;
}

bool InitialiseExtensions(ScriptEngine& engine, Game& game) {
    return CallFileFunctions(engine, game, &CExtensionFile::init_function,
                             "Could not locate initialization function ");
}

bool FinaliseExtensions(ScriptEngine& engine, Game& game) {
    return CallFileFunctions(engine, game, &CExtensionFile::final_function,
                             "Could not locate finalization function ");
}

bool CallExtension(ScriptEngine& engine, int id, CInstance* self, CInstance* other, int argc,
                   const RValue* args, RValue& result) {
    result = RValue::Real(0);
    ExtensionSlot* slot = Slot(engine, id);
    if (!slot) return false;
    if (SecureMode(engine)) {
        engine.ClearPending();
        engine.ReportPending(kSecurePackages);
        return false;
    }
    if (slot->code) {
        // Held while it runs: nothing a script does can drop it, but the slot may move.
        std::shared_ptr<CCode> code = slot->code;
        const std::string name = slot->name;
        if (CallCode(engine, *code, self, other, result, args, argc)) return true;
        engine.errors.pending_message.insert(0, "In extension function " + name + ":\r");
        return false;
    }
    CallExternal(engine, slot->external, argc, args, result);
    return true;
}

void CallExternal(ScriptEngine& engine, int external_id, int argc, const RValue* args,
                  RValue& result) {
    ExternalFunctions& table = engine.extensions->external;
    if (table.Call(external_id, argc, args, result)) return;
    // The native state is suspect now: the report always reaches the log, and the game ends.
    const bool write_errors = engine.settings.write_errors;
    engine.settings.write_errors = true;
    ShowRuntimeError(engine, "Error in external function " + table.Name(external_id), true);
    engine.settings.write_errors = write_errors;
    result = RValue::Real(0);
}

}  // namespace tb
