// Extension packages at run time: their library functions bound through the external function
// table, their script functions compiled, the initialisation and finalisation calls, and the
// calls by extension-function id.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "extensions/external.h"
#include "script/value.h"

namespace tb {

class ScriptEngine;
class CCode;
struct CInstance;
struct Game;

// What one extension-function id leads to.
struct ExtensionSlot {
    int32_t external = -1;        // id in the external function table, -1 when none
    std::shared_ptr<CCode> code;  // compiled script function, or null
    std::string name;             // as called from scripts
    std::string symbol;           // the exported symbol of a library function
};

// The engine holds one: external_define's table and the packages' functions by id.
struct Extensions {
    ExternalFunctions external;
    std::vector<ExtensionSlot> slots;  // by function id, up to the largest id
};

// Binds every library function of the packages (files in temp_dir/folder) and compiles every
// script function, in package, file and function order. A compile failure is reported as a
// fatal "COMPILATION ERROR in extension package " error and gives false. The constants are
// defined before, by DefineExtensionConstants.
bool PrepareExtensions(ScriptEngine& engine, Game& game, const std::string& temp_dir);
// The initialisation (finalisation) function of every file that names one, in package and
// file order; the first failure is reported as a fatal error and stops the walk (false).
bool InitialiseExtensions(ScriptEngine& engine, Game& game);
bool FinaliseExtensions(ScriptEngine& engine, Game& game);

// Extension function `id` with self and other. False with the engine's pending error set
// when the call fails (secure mode, a failing script function).
bool CallExtension(ScriptEngine& engine, int id, CInstance* self, CInstance* other, int argc,
                   const RValue* args, RValue& result);

// external_call and the package calls of a library function: a function that crashes is
// reported as the fatal "Error in external function NAME" (always written to the error log)
// and gives real 0; the game then ends.
void CallExternal(ScriptEngine& engine, int external_id, int argc, const RValue* args,
                  RValue& result);

}  // namespace tb
