// Registry values of the game's own key and, with the _ext functions, anywhere under the
// current root. Read failures are silent; secure mode refuses the _ext writes.
#include <string>

#include "functions/arguments.h"
#include "functions/register.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "system/system_state.h"

namespace tb {

namespace {

#define REGISTRY_FN(name)                                                                    \
    void name(ScriptEngine& e, CInstance*, CInstance*, int, [[maybe_unused]] RValue& result, \
              [[maybe_unused]] const RValue* args)

// "\Software\Plumwright\" + the game id, under the current user.
std::string GameKey(const ScriptEngine& e) {
    return "\\Software\\Plumwright\\" + std::to_string(e.game ? e.game->game_id : 0);
}

Registry& Reg(ScriptEngine& e) {
    return e.system->registry;
}

REGISTRY_FN(registry_write_string) {
    Reg(e).WriteString(GameKey(e), args[0].text.view(), args[1].text.view());
}

REGISTRY_FN(registry_write_real) {
    Reg(e).WriteReal(GameKey(e), args[0].text.view(), Number(args[1]));
}

REGISTRY_FN(registry_read_string) {
    result.SetString(RString(Reg(e).ReadString(GameKey(e), args[0].text.view()).value_or("")));
}

REGISTRY_FN(registry_read_real) {
    result.SetReal(Reg(e).ReadReal(GameKey(e), args[0].text.view()).value_or(0));
}

REGISTRY_FN(registry_exists) {
    // Opening the key creates it.
    Reg(e).CreateKey(GameKey(e));
    result.SetReal(Reg(e).ValueExists(GameKey(e), args[0].text.view()) ? 1 : 0);
}

bool RefuseWrite(ScriptEngine& e, const std::string& key) {
    if (!e.files.secure_mode) return false;
    ShowRuntimeError(e, "In Secure mode you cannot write registry entries in " + key, false);
    return true;
}

REGISTRY_FN(registry_write_string_ext) {
    std::string key = args[0].text.str();
    if (RefuseWrite(e, key)) return;
    Reg(e).WriteString(key, args[1].text.view(), args[2].text.view(), e.system->registry_root);
}

REGISTRY_FN(registry_write_real_ext) {
    std::string key = args[0].text.str();
    if (RefuseWrite(e, key)) return;
    Reg(e).WriteReal(key, args[1].text.view(), Number(args[2]), e.system->registry_root);
}

REGISTRY_FN(registry_read_string_ext) {
    result.SetString(
        RString(Reg(e)
                    .ReadString(args[0].text.view(), args[1].text.view(), e.system->registry_root)
                    .value_or("")));
}

REGISTRY_FN(registry_read_real_ext) {
    result.SetReal(Reg(e)
                       .ReadReal(args[0].text.view(), args[1].text.view(), e.system->registry_root)
                       .value_or(0));
}

REGISTRY_FN(registry_exists_ext) {
    RegistryRoot root = e.system->registry_root;
    // Opening the key creates it, but secure mode writes nothing outside the game's own key.
    if (!e.files.secure_mode) Reg(e).CreateKey(args[0].text.view(), root);
    result.SetReal(Reg(e).ValueExists(args[0].text.view(), args[1].text.view(), root) ? 1 : 0);
}

REGISTRY_FN(registry_set_root) {
    e.system->registry_root = RegistryRootFromNumber(Int(args[0]));
}

}  // namespace

void RegisterRegistryFunctions(FunctionRegistry& r) {
    r.Register("registry_write_string", &registry_write_string, 2);
    r.Register("registry_write_real", &registry_write_real, 2);
    r.Register("registry_read_string", &registry_read_string, 1);
    r.Register("registry_read_real", &registry_read_real, 1);
    r.Register("registry_exists", &registry_exists, 1);
    r.Register("registry_write_string_ext", &registry_write_string_ext, 3);
    r.Register("registry_write_real_ext", &registry_write_real_ext, 3);
    r.Register("registry_read_string_ext", &registry_read_string_ext, 2);
    r.Register("registry_read_real_ext", &registry_read_real_ext, 2);
    r.Register("registry_exists_ext", &registry_exists_ext, 2);
    r.Register("registry_set_root", &registry_set_root, 1);
}

}  // namespace tb
