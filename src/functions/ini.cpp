// The one open INI file.
#include <memory>
#include <string>

#include "functions/arguments.h"
#include "functions/register.h"
#include "script/engine.h"
#include "script/errors.h"
#include "system/paths.h"
#include "system/secure_names.h"
#include "system/system_state.h"

namespace tb {

namespace {

#define INI_FN(name)                                                                         \
    void name(ScriptEngine& e, CInstance*, CInstance*, int, [[maybe_unused]] RValue& result, \
              [[maybe_unused]] const RValue* args)

constexpr const char* kNotOpenRead = "Trying to read from undefined INI file";
constexpr const char* kNotOpenWrite = "Trying to write to undefined INI file";
constexpr const char* kNotOpenChange = "Trying to change undefined INI file";

IniFile* Ini(ScriptEngine& e, const char* not_open) {
    if (!e.system->ini) ShowRuntimeError(e, not_open, false);
    return e.system->ini.get();
}

INI_FN(ini_open) {
    std::string name = args[0].text.str();
    // Besides the folder part of the rule, nothing that leads out of the working directory
    // (a drive, "..", a link elsewhere).
    if (!IsConfinedName(name) && (name.find_first_of("\\/") != name.npos || e.files.secure_mode))
        return ShowRuntimeError(e, "INI files must be located in the same directory as the program",
                                false);
    e.system->ini = std::make_unique<IniFile>(HostPath(name));
}

INI_FN(ini_close) {
    e.system->ini.reset();
}

INI_FN(ini_read_string) {
    result.SetString(args[2].IsString() ? args[2].text : RString());
    IniFile* ini = Ini(e, kNotOpenRead);
    if (!ini) return;
    std::optional<std::string> v = ini->Read(args[0].text.view(), args[1].text.view());
    if (v) result.SetString(RString(*v));
}

INI_FN(ini_read_real) {
    IniFile* ini = Ini(e, kNotOpenRead);
    if (!ini) return result.SetReal(0);
    std::optional<std::string> v = ini->Read(args[0].text.view(), args[1].text.view());
    result.SetReal(TolerantReal(v ? *v : GeneralRealText(Number(args[2]))));
}

INI_FN(ini_write_string) {
    if (IniFile* ini = Ini(e, kNotOpenWrite))
        ini->Write(args[0].text.view(), args[1].text.view(), args[2].text.view());
}

INI_FN(ini_write_real) {
    if (IniFile* ini = Ini(e, kNotOpenWrite))
        ini->Write(args[0].text.view(), args[1].text.view(), GeneralRealText(Number(args[2])));
}

INI_FN(ini_key_exists) {
    IniFile* ini = Ini(e, kNotOpenRead);
    result.SetReal(ini && ini->KeyExists(args[0].text.view(), args[1].text.view()) ? 1 : 0);
}

INI_FN(ini_section_exists) {
    IniFile* ini = Ini(e, kNotOpenRead);
    result.SetReal(ini && ini->SectionExists(args[0].text.view()) ? 1 : 0);
}

INI_FN(ini_key_delete) {
    if (IniFile* ini = Ini(e, kNotOpenChange))
        ini->DeleteKey(args[0].text.view(), args[1].text.view());
}

INI_FN(ini_section_delete) {
    if (IniFile* ini = Ini(e, kNotOpenChange)) ini->DeleteSection(args[0].text.view());
}

}  // namespace

void RegisterIniFunctions(FunctionRegistry& r) {
    r.Register("ini_open", &ini_open, 1);
    r.Register("ini_close", &ini_close, 0);
    r.Register("ini_read_string", &ini_read_string, 3);
    r.Register("ini_read_real", &ini_read_real, 3);
    r.Register("ini_write_string", &ini_write_string, 3);
    r.Register("ini_write_real", &ini_write_real, 3);
    r.Register("ini_key_exists", &ini_key_exists, 2);
    r.Register("ini_section_exists", &ini_section_exists, 1);
    r.Register("ini_key_delete", &ini_key_delete, 2);
    r.Register("ini_section_delete", &ini_section_delete, 1);
}

}  // namespace tb
