#include "script_harness.h"

#include "resources/object.h"
#include "script/interpreter.h"

namespace tb::test {

void ParseMessage(RunResult& r) {
    static constexpr std::string_view kMarks[] = {"at position ", " position "};
    for (std::string_view mark : kMarks) {
        const size_t at = r.message.rfind(mark);
        if (at == std::string::npos) continue;
        const size_t colon = r.message.find(": ", at);
        if (colon == std::string::npos) continue;
        r.position = std::stoi(r.message.substr(at + mark.size(), colon - at - mark.size()));
        r.text = r.message.substr(colon + 2);
        return;
    }
    r.text = r.message;
}

namespace {

RunResult Run(ScriptEngine& engine, std::string_view source, bool expression, CInstance* self,
              CInstance* other) {
    RunResult r;
    CCode code{std::string(source), expression};
    if (!code.Compile(engine)) {
        r.message = engine.errors.pending_message;
        ParseMessage(r);
        return r;
    }
    CInstance scratch;
    if (!self) self = &scratch;
    if (!other) other = self;
    r.ok = Execute(engine, self, other, code, r.result);
    if (!r.ok) {
        r.message = engine.errors.pending_message;
        ParseMessage(r);
    }
    return r;
}

}  // namespace

RunResult RunCode(ScriptEngine& engine, std::string_view source, CInstance* self,
                  CInstance* other) {
    return Run(engine, source, false, self, other);
}

RunResult RunExpression(ScriptEngine& engine, std::string_view source, CInstance* self) {
    return Run(engine, source, true, self, self);
}

RunResult CompileCode(ScriptEngine& engine, std::string_view source, bool expression) {
    RunResult r;
    CCode code{std::string(source), expression};
    r.ok = code.Compile(engine);
    if (!r.ok) {
        r.message = engine.errors.pending_message;
        ParseMessage(r);
    }
    return r;
}

ScriptWorld::ScriptWorld() {
    engine.game = &game;
    engine.room = &room;
    game.last_instance_id = 100000;
}

FunctionTest::FunctionTest() {
    w.engine.host.show_error = [this](std::string_view t, bool) {
        const size_t at = t.find("\r\n\r\n");
        errors.emplace_back(at == std::string_view::npos ? t : t.substr(at + 4));
        return ErrorChoice::kIgnore;
    };
}

RValue FunctionTest::Eval(std::string_view source) {
    RunResult r = w.Eval(source);
    EXPECT_TRUE(r.ok) << source << "\n" << r.message;
    return r.result;
}

RValue FunctionTest::Run(std::string_view source) {
    RunResult r = w.Run(source);
    EXPECT_TRUE(r.ok) << source << "\n" << r.message;
    return r.result;
}

int ScriptWorld::AddScript(const std::string& name, std::string_view text) {
    auto script = std::make_unique<CScript>();
    script->SetScriptText(text);
    // A new script name changes how the others resolve: compile them again when called.
    for (auto& other : game.scripts.items)
        if (other) other->code.reset();
    return game.scripts.Add(std::move(script), name);
}

int ScriptWorld::AddObject(const std::string& name, int parent) {
    auto obj = std::make_unique<CObject>();
    obj->ParentIndex = parent;
    return game.objects.Add(std::move(obj), name);
}

CInstance& ScriptWorld::AddInstance(int object) {
    return room.AddInstance(game.objects, game.last_instance_id, object, 0, 0);
}

}  // namespace tb::test
