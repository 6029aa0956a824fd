// The compile stages of the prepare sequence: every script, time-line action and object
// action becomes code once, at load time.
#pragma once

namespace tb {

class ScriptEngine;
class CAction;
struct Game;

// Each stops at the first failure, after its fatal compilation error report.
bool CompileAllScripts(ScriptEngine& engine, Game& game);
bool CompileAllTimeLines(ScriptEngine& engine, Game& game);
bool CompileAllObjects(ScriptEngine& engine, Game& game);
// The extension packages' constants, in package, file and constant order.
bool DefineExtensionConstants(ScriptEngine& engine, const Game& game);

// One action: variable and code actions become code, the code and every argument compile.
// engine.event names the action for error reports.
bool CompileAction(ScriptEngine& engine, CAction& action);

}  // namespace tb
