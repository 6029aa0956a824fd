#include "dialogs/debug_info.h"

#include <cmath>
#include <cstdio>

#include "resources/room.h"
#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/interpreter.h"
#include "script/real_text.h"
#include "world/collision.h"
#include "world/instance.h"
#include "world/world.h"

namespace tb {

namespace {

constexpr const char* kCompileError = "COMPILE ERROR";

const std::string kSeparator(32, '_');

bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-12;
}

// The value of a built-in variable for `instance` (0 when there is no such variable).
RValue Builtin(ScriptEngine& engine, CInstance* instance, std::string_view name) {
    RValue v;
    const BuiltinVariable* b = engine.builtin_variables.At(engine.builtin_variables.Find(name));
    if (b && b->get && !b->get(engine, instance, 0, v)) v = RValue();
    return v;
}

// The temporary instance of the watches and of Execute Code: id 0, object 0.
CInstance TemporaryInstance() {
    CInstance t;
    t.id = 0;
    t.object_index = 0;
    return t;
}

std::string Lines(ScriptEngine& engine, CInstance* instance,
                  std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names) out += DebugVariableLine(n, Builtin(engine, instance, n));
    return out;
}

std::string Own(ScriptEngine& engine, const CVariableList& list) {
    std::string out;
    for (const RVariable& v : list.Items())
        out += DebugVariableLine(engine.VariableNameOf(v.id), v.value);
    return out;
}

bool Numeric(std::string_view text, double& out) {
    size_t a = 0, b = text.size();
    while (a < b && text[a] == ' ') ++a;
    while (b > a && text[b - 1] == ' ') --b;
    return a < b && ParseReal(text.substr(a, b - a), out);
}

}  // namespace

std::string DebugValueText(const RValue& v) {
    if (v.IsString()) return v.text.str();
    const double x = v.real;
    char buf[64];
    if (!std::isfinite(x)) {
        std::snprintf(buf, sizeof buf, "%f", x);
        return buf;
    }
    if (Near(x, std::round(x)) && std::fabs(x) < 9.2e18) {
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(std::llround(x)));
        return buf;
    }
    for (int d : {2, 4, 6, 8}) {
        const double scaled = x * std::pow(10.0, d);
        if (Near(scaled, std::round(scaled))) {
            std::snprintf(buf, sizeof buf, "%.*f", d, x);
            return buf;
        }
    }
    std::snprintf(buf, sizeof buf, "%.10f", x);
    return buf;
}

std::string DebugVariableLine(std::string_view name, const RValue& v) {
    std::string line(name);
    line += ':';
    if (line.size() < 20) line.resize(20, ' ');
    line += DebugValueText(v);
    line += '\n';
    return line;
}

DebugSession::DebugSession() = default;
DebugSession::~DebugSession() = default;

void DebugSession::AddWatch(std::string expression) {
    watches.push_back({std::move(expression), std::string()});
}

void DebugSession::RefreshWatches(ScriptEngine& engine) {
    compiled_.resize(watches.size());
    compiled_text_.resize(watches.size());
    CInstance temp = TemporaryInstance();
    for (size_t i = 0; i < watches.size(); ++i) {
        DebugWatch& w = watches[i];
        if (!compiled_[i] || compiled_text_[i] != w.expression) {
            compiled_[i] = std::make_unique<CCode>(w.expression, true);
            compiled_text_[i] = w.expression;
            if (!compiled_[i]->Compile(engine)) compiled_[i]->compiled = false;
            engine.ClearPending();
        }
        if (!compiled_[i]->compiled) {
            w.value = kCompileError;
            continue;
        }
        RValue result;
        Execute(engine, &temp, &temp, *compiled_[i], result);
        engine.ClearPending();
        w.value = DebugValueText(result);
    }
}

std::string DebugSession::GlobalVariablesText(ScriptEngine& engine) {
    CInstance temp = TemporaryInstance();
    std::string out =
        Lines(engine, &temp,
              {"mouse_x", "mouse_y", "mouse_button", "mouse_lastbutton", "keyboard_key",
               "keyboard_lastkey", "keyboard_lastchar", "keyboard_string"});
    out += kSeparator + "\n";
    out += Lines(engine, &temp,
                 {"score", "lives", "health", "room", "room_width", "room_height", "room_speed",
                  "room_persistent", "cursor_sprite"});
    out += kSeparator + "\n";
    out += Lines(engine, &temp,
                 {"working_directory", "temp_directory", "program_directory", "secure_mode",
                  "error_occurred", "error_last"});
    out += kSeparator + "\n";
    out += Own(engine, engine.globals);
    return out;
}

std::string DebugSession::LocalVariablesText(ScriptEngine& engine, std::string_view typed) {
    CRoom* room = engine.room;
    double number = 0;
    const bool by_id = Numeric(typed, number);
    CInstance* found = nullptr;
    for (int i = 0; room && i < room->InstanceCount() && !found; ++i) {
        CInstance* inst = room->GetInstance(i);
        if (!inst || inst->destroyed) continue;
        if (by_id) {
            if (inst->id == RoundToInt32(number)) found = inst;
        } else if (engine.game && engine.game->objects.Exists(inst->object_index) &&
                   engine.game->objects.names[size_t(inst->object_index)] == typed) {
            found = inst;
        }
    }
    if (!found) return "NO SUCH INSTANCE EXISTS";
    std::string out = Lines(engine, found,
                            {"x", "y", "direction", "speed", "hspeed", "vspeed", "friction",
                             "gravity", "gravity_direction"});
    out += kSeparator + "\n";
    out +=
        Lines(engine, found,
              {"id", "object_index", "sprite_index", "image_index", "image_single", "image_speed",
               "image_scale", "mask_index", "solid", "visible", "persistent", "depth"});
    out += kSeparator + "\n";
    out += Lines(engine, found, {"path_index", "path_position", "path_orientation", "path_scale"});
    out += kSeparator + "\n";
    out += Own(engine, found->variables);
    return out;
}

std::string DebugSession::AllInstancesText(ScriptEngine& engine) {
    std::string out = "   Id     Object Name    Sprite Name\n";
    out += std::string(36, '_') + "\n";
    CRoom* room = engine.room;
    const Game* g = engine.game;
    for (int i = 0; room && i < room->InstanceCount(); ++i) {
        CInstance* inst = room->GetInstance(i);
        if (!inst || inst->destroyed) continue;
        std::string object = g && g->objects.Exists(inst->object_index)
                                 ? g->objects.names[size_t(inst->object_index)]
                                 : std::string();
        std::string sprite = g && g->sprites.Exists(inst->sprite_index)
                                 ? g->sprites.names[size_t(inst->sprite_index)]
                                 : std::string();
        const int n = std::snprintf(nullptr, 0, "%6d %14s %14s\n", inst->id, object.c_str(),
                                    sprite.c_str());
        std::string line(size_t(n > 0 ? n : 0) + 1, '\0');
        std::snprintf(line.data(), line.size(), "%6d %14s %14s\n", inst->id, object.c_str(),
                      sprite.c_str());
        line.pop_back();
        out += line;
    }
    return out;
}

void DebugSession::AddMessage(std::string_view text) {
    messages += text;
    messages += "\n\n";
}

std::string DebugSession::SpeedPanel(ScriptEngine& engine) {
    return std::to_string(engine.world ? engine.world->fps : 0) + " fps";
}

std::string DebugSession::InstancesPanel(ScriptEngine& engine) {
    return std::to_string(engine.room ? engine.room->InstanceCount() : 0) + " inst";
}

std::string DebugSession::MouseIdPanel(ScriptEngine& engine) {
    CRoom* room = engine.room;
    if (!room || !engine.world || !engine.game) return "";
    const double mx = engine.world->input.mouse_x, my = engine.world->input.mouse_y;
    for (int i = room->InstanceCount() - 1; i >= 0; --i) {
        CInstance* inst = room->GetInstance(i);
        if (inst && !inst->destroyed && ContainsPoint(*engine.game, *inst, mx, my, true))
            return "mouse id: " + std::to_string(inst->id);
    }
    return "";
}

bool DebugSession::RunningAndPaused(const World& w) {
    return w.running && w.paused;
}

bool DebugSession::CanPause(const World& w) {
    return w.running && !w.paused;
}

bool DebugSession::CanRestartOrStop(const World& w) {
    return w.running;
}

void DebugSession::Run(World& w) {
    if (RunningAndPaused(w)) w.paused = false;
}

void DebugSession::Pause(World& w) {
    if (CanPause(w)) w.paused = true;
}

void DebugSession::Step(World& w) {
    if (RunningAndPaused(w)) step_requested_ = true;
}

void DebugSession::AfterStep(World& w, const std::function<void()>& wait_once) {
    if (pause_after_step_) {
        pause_after_step_ = false;
        if (w.running) w.paused = true;
    }
    // The loop must never see the pause: it would return from the game without ending it.
    while (w.running && w.paused) {
        wait_once();
        if (step_requested_ && w.paused) {
            w.paused = false;
            pause_after_step_ = true;
        }
    }
    step_requested_ = false;
    w.paused = false;
}

void DebugSession::Restart(World& w) {
    if (!w.running) return;
    w.pending_change = kChangeRestart;
    w.paused = false;
}

// The loop ends and ends the game (with its game-end events) as for any end of running.
void DebugSession::Stop(World& w) {
    if (!w.running) return;
    w.running = false;
    w.paused = false;
}

std::string DebugSession::ExecuteCode(ScriptEngine& engine, std::string_view code) {
    last_code = std::string(code);
    CCode unit{std::string(code), false};
    if (!unit.Compile(engine)) {
        engine.ClearPending();
        return kCompileError;
    }
    CInstance temp = TemporaryInstance();
    RValue result;
    ExecuteReporting(engine, &temp, &temp, unit, result);
    return "";
}

bool DebugSession::SetSpeed(ScriptEngine& engine, std::string_view text) {
    double v = 0;
    if (!Numeric(text, v) || !engine.room) return false;
    const BuiltinVariable* b =
        engine.builtin_variables.At(engine.builtin_variables.Find("room_speed"));
    CInstance temp = TemporaryInstance();
    RValue value = RValue::Real(v);
    return b && b->set && b->set(engine, &temp, 0, value);
}

}  // namespace tb
