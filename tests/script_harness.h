// Running script text in tests before the game loop exists: an engine with a game, a room
// and a temporary instance.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/value.h"
#include "world/instance.h"

namespace tb::test {

struct RunResult {
    bool ok = false;
    RValue result;
    std::string message;  // the pending message after a failure
    int position = 0;     // parsed from the message: the column of a one-line unit
    std::string text;     // parsed from the message: the bare error text
};

// Splits "...at position C: TEXT" (program) or "... position C: TEXT" (expression).
void ParseMessage(RunResult& r);

// Compiles and runs a program (or an expression) for `self` and `other`; a fresh instance
// that belongs to no room when they are null.
RunResult RunCode(ScriptEngine& engine, std::string_view source, CInstance* self = nullptr,
                  CInstance* other = nullptr);
RunResult RunExpression(ScriptEngine& engine, std::string_view source, CInstance* self = nullptr);
// Compiles only.
RunResult CompileCode(ScriptEngine& engine, std::string_view source, bool expression = false);

// An engine wired to its own game and room.
struct ScriptWorld {
    Game game;
    CRoom room;
    ScriptEngine engine;
    CInstance self;  // not in the room unless placed there by the test

    ScriptWorld();
    // Appends a script; returns its index.
    int AddScript(const std::string& name, std::string_view text);
    // Appends an object (optionally with a parent); returns its index.
    int AddObject(const std::string& name, int parent = -1);
    CInstance& AddInstance(int object);
    RunResult Run(std::string_view source) { return RunCode(engine, source, &self, &self); }
    RunResult Eval(std::string_view source) { return RunExpression(engine, source, &self); }
};

// A fixture for built-in functions: a world, the bare texts (after the event context) of the
// errors shown, and runs that must succeed.
struct FunctionTest : ::testing::Test {
    ScriptWorld w;
    std::vector<std::string> errors;

    FunctionTest();
    RValue Eval(std::string_view source);
    RValue Run(std::string_view source);
};

// The real of a value, or NaN for a string (so test tables can compare either).
inline bool IsReal(const RValue& v, double d) {
    return !v.IsString() && v.real == d;
}
inline bool IsText(const RValue& v, std::string_view s) {
    return v.IsString() && v.text.view() == s;
}

}  // namespace tb::test
