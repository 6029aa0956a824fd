// Keyboard, mouse and joystick functions. The state is the one the window's messages filled
// at the last check; the functions that process messages run that check first.
#include "world/input.h"

#include "functions/register.h"
#include "script/engine.h"
#include "world/input_system.h"
#include "world/world.h"

namespace tb {

namespace {

using Args = const RValue*;

int32_t Int(Args args, int i = 0) {
    return RoundToInt32(args[i].real);
}

void Bool(RValue& result, bool b) {
    result.SetReal(b ? 1 : 0);
}

void ProcessMessages(World& w) {
    if (w.hooks.process_messages) w.hooks.process_messages();
}

bool CanArrive(const World& w) {
    return w.input.system && w.input.system->CanArrive();
}

// The game's own key press or release: it reaches the game as the window's would, a press
// with the character it types.
void GenerateKey(World& w, int32_t key, bool down) {
    if (key < 0 || key > 255) return;
    InputEvent e;
    e.kind = down ? InputEventKind::KeyDown : InputEventKind::KeyUp;
    e.code = key;
    e.types = down;
    // Without message processing nothing would ever take it.
    if (InputSystem* s = w.input.system) s->Generate(e);
}

// The waits for a key or a button check the messages every 50 ms until `done`; they end
// early when nothing can arrive any more (no window, or a replay that has nothing left for
// this step), where the original would wait for ever.
template <class Done>
void WaitFor(World& w, Done&& done) {
    for (;;) {
        ProcessMessages(w);
        if (done() || !CanArrive(w)) return;
        w.clock.Wait(50000, {});
    }
}

#define INPUT_FN(name)                                                                       \
    void name(ScriptEngine& e, CInstance*, CInstance*, int, [[maybe_unused]] RValue& result, \
              [[maybe_unused]] Args args)

// --- keyboard

template <std::array<bool, 256> InputState::*Keys>
INPUT_FN(KeyboardCheck) {
    if (e.world) Bool(result, CheckKey(e.world->input.*Keys, Int(args)));
}

INPUT_FN(keyboard_check_direct) {
    if (e.world) Bool(result, CheckKeyDirect(e.world->input, Int(args)));
}

INPUT_FN(keyboard_key_press) {
    if (e.world) GenerateKey(*e.world, Int(args), true);
}

INPUT_FN(keyboard_key_release) {
    if (e.world) GenerateKey(*e.world, Int(args), false);
}

INPUT_FN(keyboard_set_map) {
    if (e.world) SetKeyMap(e.world->input, Int(args, 0), Int(args, 1));
}

INPUT_FN(keyboard_get_map) {
    const int32_t key = Int(args);
    result.SetReal(e.world ? KeyMapOf(e.world->input, key) : key);
}

INPUT_FN(keyboard_unset_map) {
    if (e.world) ResetKeyMap(e.world->input);
}

INPUT_FN(keyboard_get_numlock) {
    if (e.world) Bool(result, e.world->input.numlock);
}

INPUT_FN(keyboard_set_numlock) {
    if (!e.world) return;
    if (e.world->input.numlock == IsTrue(args[0].real)) return;
    GenerateKey(*e.world, kKeyNumLock, true);
    GenerateKey(*e.world, kKeyNumLock, false);
}

INPUT_FN(keyboard_clear) {
    if (!e.world) return;
    ProcessMessages(*e.world);
    const int32_t key = Int(args);
    if (key < 0 || key > 255) return;
    InputState& in = e.world->input;
    in.key_held[size_t(key)] = in.key_pressed[size_t(key)] = in.key_released[size_t(key)] = false;
}

INPUT_FN(keyboard_wait) {
    if (!e.world) return;
    World& w = *e.world;
    w.input.keyboard_lastkey = 0;
    WaitFor(w, [&w] { return w.input.keyboard_lastkey != 0; });
}

// --- mouse

template <std::array<bool, 4> InputState::*Buttons>
INPUT_FN(MouseCheck) {
    if (e.world) Bool(result, CheckMouse(e.world->input.*Buttons, Int(args)));
}

INPUT_FN(mouse_clear) {
    if (!e.world) return;
    ProcessMessages(*e.world);
    const int32_t b = Int(args);
    if (b < 1 || b > 3) return;
    InputState& in = e.world->input;
    in.mouse_held[size_t(b)] = in.mouse_pressed[size_t(b)] = in.mouse_released[size_t(b)] = false;
}

INPUT_FN(mouse_wait) {
    if (!e.world) return;
    World& w = *e.world;
    w.input.mouse_lastbutton = 0;
    WaitFor(w, [&w] { return w.input.mouse_lastbutton != 0; });
}

INPUT_FN(io_clear) {
    if (!e.world) return;
    ProcessMessages(*e.world);
    ClearAll(*e.world);
}

INPUT_FN(io_handle) {
    if (e.world) ProcessMessages(*e.world);
}

// --- joysticks (the state of the last check; a joystick that is not there fails)

const JoystickInfo* Joystick(ScriptEngine& e, Args args) {
    if (!e.world) return nullptr;
    const JoystickInfo& info = e.world->input.joystick_info[size_t(JoystickIndex(Int(args)))];
    return info.present ? &info : nullptr;
}

const JoystickPosition& Position(ScriptEngine& e, Args args) {
    return e.world->input.joystick[size_t(JoystickIndex(Int(args)))];
}

INPUT_FN(joystick_exists) {
    Bool(result, Joystick(e, args) != nullptr);
}

INPUT_FN(joystick_direction) {
    if (!Joystick(e, args)) {
        result.SetReal(101);
        return;
    }
    const JoystickPosition& p = Position(e, args);
    result.SetReal(JoystickDirection(p.axes[0], p.axes[1]));
}

INPUT_FN(joystick_name) {
    const JoystickInfo* j = Joystick(e, args);
    result = RValue::String(RString(j ? j->name.substr(0, 32) : std::string()));
}

INPUT_FN(joystick_axes) {
    const JoystickInfo* j = Joystick(e, args);
    result.SetReal(j ? j->axis_count : 0);
}

INPUT_FN(joystick_buttons) {
    const JoystickInfo* j = Joystick(e, args);
    result.SetReal(j ? j->button_count : 0);
}

INPUT_FN(joystick_has_pov) {
    const JoystickInfo* j = Joystick(e, args);
    Bool(result, j && j->has_pov);
}

INPUT_FN(joystick_check_button) {
    const int32_t b = Int(args, 1);
    if (!Joystick(e, args) || b < 1 || b > 32) return;
    Bool(result, (Position(e, args).buttons >> (b - 1)) & 1u);
}

template <size_t Axis>
INPUT_FN(JoystickAxis) {
    if (Joystick(e, args)) result.SetReal(Position(e, args).axes[Axis] / 32767.0 - 1);
}

INPUT_FN(joystick_pov) {
    if (!Joystick(e, args)) {
        result.SetReal(-1);
        return;
    }
    const double degrees = Position(e, args).pov / 100.0;
    // The centred hat reports 65535.
    result.SetReal(degrees > 360 ? -1 : degrees);
}

#undef INPUT_FN

}  // namespace

void RegisterInputFunctions(FunctionRegistry& r) {
    r.Register("keyboard_check", &KeyboardCheck<&InputState::key_held>, 1);
    r.Register("keyboard_check_pressed", &KeyboardCheck<&InputState::key_pressed>, 1);
    r.Register("keyboard_check_released", &KeyboardCheck<&InputState::key_released>, 1);
    r.Register("keyboard_check_direct", &keyboard_check_direct, 1);
    r.Register("keyboard_key_press", &keyboard_key_press, 1);
    r.Register("keyboard_key_release", &keyboard_key_release, 1);
    r.Register("keyboard_set_map", &keyboard_set_map, 2);
    r.Register("keyboard_get_map", &keyboard_get_map, 1);
    r.Register("keyboard_unset_map", &keyboard_unset_map, 0);
    r.Register("keyboard_get_numlock", &keyboard_get_numlock, 0);
    r.Register("keyboard_set_numlock", &keyboard_set_numlock, 1);
    r.Register("keyboard_clear", &keyboard_clear, 1);
    r.Register("keyboard_wait", &keyboard_wait, 0);
    r.Register("mouse_check_button", &MouseCheck<&InputState::mouse_held>, 1);
    r.Register("mouse_check_button_pressed", &MouseCheck<&InputState::mouse_pressed>, 1);
    r.Register("mouse_check_button_released", &MouseCheck<&InputState::mouse_released>, 1);
    r.Register("mouse_clear", &mouse_clear, 1);
    r.Register("mouse_wait", &mouse_wait, 0);
    r.Register("io_clear", &io_clear, 0);
    r.Register("io_handle", &io_handle, 0);
    r.Register("joystick_exists", &joystick_exists, 1);
    r.Register("joystick_direction", &joystick_direction, 1);
    r.Register("joystick_name", &joystick_name, 1);
    r.Register("joystick_axes", &joystick_axes, 1);
    r.Register("joystick_buttons", &joystick_buttons, 1);
    r.Register("joystick_has_pov", &joystick_has_pov, 1);
    r.Register("joystick_check_button", &joystick_check_button, 2);
    r.Register("joystick_xpos", &JoystickAxis<0>, 1);
    r.Register("joystick_ypos", &JoystickAxis<1>, 1);
    r.Register("joystick_zpos", &JoystickAxis<2>, 1);
    r.Register("joystick_rpos", &JoystickAxis<3>, 1);
    r.Register("joystick_upos", &JoystickAxis<4>, 1);
    r.Register("joystick_vpos", &JoystickAxis<5>, 1);
    r.Register("joystick_pov", &joystick_pov, 1);
}

}  // namespace tb
