#include "world/input.h"

#include "graphics/graphics.h"
#include "graphics/screen_files.h"
#include "resources/object.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/events.h"
#include "world/saved_game.h"
#include "world/world.h"

namespace tb {

namespace {

bool InKeyRange(int32_t k) {
    return k >= 0 && k < 256;
}

// While the game information is shown inside the game window or a splash screen is up, the
// game window's input goes to them.
bool Covered(const InputState& in) {
    return (in.hooks.info_shown && in.hooks.info_shown()) ||
           (in.hooks.splash_shown && in.hooks.splash_shown());
}

bool AltHeld(const InputState& in) {
    return CheckKeyDirect(in, 18);
}

// The mouse buttons' key codes for keyboard_check_direct.
int32_t ButtonKey(int32_t button) {
    return button == 1 ? 1 : button == 2 ? 2 : 4;
}

}  // namespace

int32_t MessageKey(int32_t key) {
    switch (key) {
        case 160:
        case 161:
            return 16;
        case 162:
        case 163:
            return 17;
        case 164:
        case 165:
            return 18;
        default:
            return key;
    }
}

void KeyDown(World& w, int32_t key, bool alt) {
    InputState& in = w.input;
    if (key == kKeyF4 && alt) {
        AltF4(w, in.hooks.question ? (in.hooks.question(kAbortQuestion) ? 1 : 0) : 1);
        return;
    }
    if (Covered(in) || !InKeyRange(key)) return;
    const int32_t k = in.key_map[size_t(key)];
    if (!InKeyRange(k)) return;
    in.keyboard_lastkey = in.keyboard_key = k;
    // Auto-repeat sends the key down again without a new press.
    if (!in.key_held[size_t(k)]) in.key_pressed[size_t(k)] = true;
    in.key_held[size_t(k)] = true;
}

void KeyUp(World& w, int32_t key) {
    InputState& in = w.input;
    if (in.hooks.info_shown && in.hooks.info_shown()) {
        if (key == kKeyEscape && in.hooks.close_info) in.hooks.close_info();
        return;
    }
    if (in.hooks.splash_shown && in.hooks.splash_shown()) {
        if (in.hooks.splash_key) in.hooks.splash_key(key);
        return;
    }
    if (!InKeyRange(key)) return;
    const int32_t k = in.key_map[size_t(key)];
    if (!InKeyRange(k)) return;
    if (k == in.keyboard_key) in.keyboard_key = 0;
    in.key_held[size_t(k)] = false;
    in.key_released[size_t(k)] = true;
}

void CharTyped(World& w, int32_t c) {
    InputState& in = w.input;
    if (Covered(in) || c <= 0 || c > 255) return;
    const char ch = char(uint8_t(c));
    in.keyboard_lastchar.assign(1, ch);
    std::string& s = in.keyboard_string;
    if (s.size() > kKeyboardStringLimit) s.erase(0, s.size() - kKeyboardStringLimit);
    if (c == kKeyBackspace && !s.empty())
        s.pop_back();
    else if (c > 31)
        s += ch;
}

void MouseDown(World& w, int32_t button) {
    InputState& in = w.input;
    if (Covered(in) || button < 1 || button > 3) return;
    in.mouse_lastbutton = in.mouse_button = button;
    in.mouse_held[size_t(button)] = true;
    in.mouse_pressed[size_t(button)] = true;
}

void MouseUp(World& w, int32_t button) {
    InputState& in = w.input;
    if (Covered(in) || button < 1 || button > 3) return;
    // Any release leaves no button current, even with another still held.
    in.mouse_button = 0;
    in.mouse_held[size_t(button)] = false;
    in.mouse_released[size_t(button)] = true;
}

void Wheel(World& w, bool up) {
    InputState& in = w.input;
    if (Covered(in)) return;
    (up ? in.wheel_up : in.wheel_down) = true;
}

void CloseButton(World& w) {
    InputState& in = w.input;
    // The window never closes itself.
    if (in.hooks.info_shown && in.hooks.info_shown()) {
        if (in.hooks.close_info) in.hooks.close_info();
        return;
    }
    if (in.hooks.splash_shown && in.hooks.splash_shown()) {
        if (in.hooks.close_splash) in.hooks.close_splash();
        return;
    }
    if (!w.game.settings.CloseAsEsc) {
        DispatchToAll(w, ev_other, ev_close_button);
        return;
    }
    in.key_held[kKeyEscape] = true;
    in.keyboard_key = in.keyboard_lastkey = kKeyEscape;
}

void AltF4(World& w, int32_t answer) {
    if (answer == 1) w.pending_change = kChangeAbort;
}

void ClearAll(World& w) {
    w.input.Clear();
}

void ResolveInputEvent(World& w, InputEvent& e) {
    if (e.kind == InputEventKind::KeyDown && e.code == kKeyF4 && AltHeld(w.input)) {
        e.kind = InputEventKind::AltF4;
        e.answer = -1;
    }
    if (e.kind == InputEventKind::AltF4 && e.answer < 0) {
        const InputHooks& h = w.input.hooks;
        // Without a way to ask, the question takes its default button.
        e.answer = !h.question || h.question(kAbortQuestion) ? 1 : 0;
    }
}

void ApplyInputEvent(World& w, const InputEvent& e) {
    InputState& in = w.input;
    using K = InputEventKind;
    switch (e.kind) {
        case K::KeyDown:
            if (!InKeyRange(e.code)) return;
            // Num Lock turns over when it goes down, not on auto-repeat.
            if (e.code == kKeyNumLock && !in.key_direct[kKeyNumLock]) in.numlock = !in.numlock;
            in.key_direct[size_t(e.code)] = true;
            KeyDown(w, MessageKey(e.code), false);
            return;
        case K::KeyUp:
            if (!InKeyRange(e.code)) return;
            in.key_direct[size_t(e.code)] = false;
            KeyUp(w, MessageKey(e.code));
            return;
        case K::Char:
            CharTyped(w, e.code);
            return;
        case K::MouseMove:
            in.mouse_region_x = e.x;
            in.mouse_region_y = e.y;
            return;
        case K::MouseDown:
            if (e.code >= 1 && e.code <= 3) in.key_direct[size_t(ButtonKey(e.code))] = true;
            MouseDown(w, e.code);
            return;
        case K::MouseUp:
            if (e.code >= 1 && e.code <= 3) in.key_direct[size_t(ButtonKey(e.code))] = false;
            MouseUp(w, e.code);
            return;
        case K::WheelUp:
            Wheel(w, true);
            return;
        case K::WheelDown:
            Wheel(w, false);
            return;
        case K::Close:
            CloseButton(w);
            return;
        case K::AltF4:
            AltF4(w, e.answer);
            return;
        case K::Focus:
            in.window_active = e.code != 0;
            return;
        case K::NumLock:
            in.numlock = e.code != 0;
            return;
        case K::JoystickInfo:
            if (e.id == 0 || e.id == 1) {
                in.joystick_info[size_t(e.id)] = e.info;
                if (!e.info.present) in.joystick[size_t(e.id)] = JoystickPosition();
            }
            return;
        case K::JoystickMove:
            if (e.id == 0 || e.id == 1) in.joystick[size_t(e.id)] = e.position;
            return;
    }
}

void UpdateMouseRoomPosition(World& w) {
    InputState& in = w.input;
    if (const Graphics* g = w.engine.graphics) {
        g->window.ViewsToRoom(in.mouse_region_x, in.mouse_region_y, in.mouse_x, in.mouse_y);
    } else {
        in.mouse_x = in.mouse_region_x;
        in.mouse_y = in.mouse_region_y;
    }
}

int32_t CharOfKey(const InputState& in, int32_t key) {
    const bool shift = CheckKeyDirect(in, 16);
    if (key >= 'A' && key <= 'Z') return shift ? key : key + 32;
    if (key >= '0' && key <= '9') return shift ? ")!@#$%^&*("[key - '0'] : key;
    if (key >= 96 && key <= 105) return in.numlock ? '0' + (key - 96) : 0;
    switch (key) {
        case 8:
        case 9:
        case 13:
        case 27:
        case 32:
            return key;
        case 106:
            return '*';
        case 107:
            return '+';
        case 109:
            return '-';
        case 110:
            return in.numlock ? '.' : 0;
        case 111:
            return '/';
        case 186:
            return shift ? ':' : ';';
        case 187:
            return shift ? '+' : '=';
        case 188:
            return shift ? '<' : ',';
        case 189:
            return shift ? '_' : '-';
        case 190:
            return shift ? '>' : '.';
        case 191:
            return shift ? '?' : '/';
        case 192:
            return shift ? '~' : '`';
        case 219:
            return shift ? '{' : '[';
        case 220:
            return shift ? '|' : '\\';
        case 221:
            return shift ? '}' : ']';
        case 222:
            return shift ? '"' : '\'';
        default:
            return 0;
    }
}

void SetKeyMap(InputState& in, int32_t key, int32_t to) {
    if (InKeyRange(key)) in.key_map[size_t(key)] = to;
}

int32_t KeyMapOf(const InputState& in, int32_t key) {
    return InKeyRange(key) ? in.key_map[size_t(key)] : key;
}

void ResetKeyMap(InputState& in) {
    in.key_map = InputState::IdentityKeyMap();
}

bool CheckKey(const std::array<bool, 256>& keys, int32_t key) {
    if (key == 0 || key == 1) {
        bool any = false;
        for (bool k : keys) any = any || k;
        return key == 0 ? !any : any;
    }
    return InKeyRange(key) && keys[size_t(key)];
}

bool CheckKeyDirect(const InputState& in, int32_t key) {
    if (!InKeyRange(key)) return false;
    const auto& d = in.key_direct;
    switch (key) {
        case 16:
            return d[16] || d[160] || d[161];
        case 17:
            return d[17] || d[162] || d[163];
        case 18:
            return d[18] || d[164] || d[165];
        default:
            return d[size_t(key)];
    }
}

bool CheckMouse(const std::array<bool, 4>& buttons, int32_t button) {
    const bool any = buttons[1] || buttons[2] || buttons[3];
    if (button == -1) return any;
    if (button == 0) return !any;
    return button >= 1 && button <= 3 && buttons[size_t(button)];
}

int32_t JoystickIndex(int32_t id) {
    return id == 2 ? 1 : 0;
}

int32_t JoystickDirection(uint32_t x, uint32_t y) {
    const int32_t column = x < 20000 ? 1 : x > 44000 ? 3 : 2;
    const int32_t row = y <= 19999 ? 6 : y < 44001 ? 3 : 0;
    return 96 + row + column;
}

std::string RunnerSaveName(const World& w) {
    return "_save" + std::to_string(w.game.game_id) + ".sav";
}

void RunnerKeys(World& w) {
    const GameSettings& s = w.game.settings;
    InputState& in = w.input;
    const int32_t key = in.keyboard_lastkey;
    const bool f5f6 = s.KeyF5F6 && (key == kKeyF5 || key == kKeyF6);
    const bool taken = (s.KeyF1 && key == kKeyF1) || (s.KeyEsc && key == kKeyEscape) ||
                       (s.KeyF4 && key == kKeyF4) || f5f6 || (s.KeyF9 && key == kKeyF9);
    if (!taken) return;
    in.keyboard_lastkey = 0;
    const InputHooks& h = in.hooks;
    switch (key) {
        case kKeyF1:
            if (h.show_game_info) h.show_game_info();
            ClearAll(w);
            break;
        case kKeyEscape:
            w.pending_change = kChangeEndGame;
            break;
        case kKeyF4:
            if (h.toggle_full_screen)
                h.toggle_full_screen();
            else if (Graphics* g = w.engine.graphics)
                g->game_window.SetFullScreen(!g->window.full_screen);
            break;
        case kKeyF5:
            SaveGame(w, RunnerSaveName(w));
            break;
        case kKeyF6:
            LoadGame(w, RunnerSaveName(w));
            break;
        case kKeyF9: {
            const std::string name = NextScreenshotName();
            if (h.save_screen)
                h.save_screen(name);
            else if (Graphics* g = w.engine.graphics)
                SaveScreenBmp(*g, name, 0, 0, g->device.RegionWidth(), g->device.RegionHeight());
            break;
        }
        default:
            break;
    }
}

}  // namespace tb
