#include "platform/sdl_input.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "graphics/graphics.h"
#include "platform/host.h"
#include "runner/runner.h"
#include "world/world.h"

namespace tb {

namespace {

int32_t KeypadKey(SDL_Scancode s, bool numlock) {
    // Without Num Lock the keypad is the block of arrows and page keys (5 is Clear).
    static constexpr int32_t kOff[10] = {45, 35, 40, 34, 37, 12, 39, 36, 38, 33};
    if (s == SDL_SCANCODE_KP_0) return numlock ? 96 : kOff[0];
    if (s >= SDL_SCANCODE_KP_1 && s <= SDL_SCANCODE_KP_9) {
        const int d = 1 + (s - SDL_SCANCODE_KP_1);
        return numlock ? 96 + d : kOff[d];
    }
    if (s == SDL_SCANCODE_KP_PERIOD) return numlock ? 110 : 46;
    return 0;
}

InputEvent Event(InputEventKind kind, int32_t code = 0) {
    InputEvent e;
    e.kind = kind;
    e.code = code;
    return e;
}

int32_t MouseButton(uint8_t sdl_button) {
    switch (sdl_button) {
        case SDL_BUTTON_LEFT:
            return 1;
        case SDL_BUTTON_RIGHT:
            return 2;
        case SDL_BUTTON_MIDDLE:
            return 3;
        default:
            return 0;
    }
}

uint32_t HatHundredths(uint8_t hat) {
    switch (hat) {
        case SDL_HAT_UP:
            return 0;
        case SDL_HAT_RIGHTUP:
            return 4500;
        case SDL_HAT_RIGHT:
            return 9000;
        case SDL_HAT_RIGHTDOWN:
            return 13500;
        case SDL_HAT_DOWN:
            return 18000;
        case SDL_HAT_LEFTDOWN:
            return 22500;
        case SDL_HAT_LEFT:
            return 27000;
        case SDL_HAT_LEFTUP:
            return 31500;
        default:
            return 65535;
    }
}

// The Windows-1252 byte of a code point, or 0.
int32_t CodePage1252(uint32_t cp) {
    if ((cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF)) return int32_t(cp);
    static constexpr std::pair<uint16_t, uint8_t> kHigh[] = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
        {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
        {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
        {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
        {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
        {0x017E, 0x9E}, {0x0178, 0x9F}};
    for (const auto& [code, byte] : kHigh)
        if (code == cp) return byte;
    return 0;
}

}  // namespace

int32_t VirtualKeyOf(int32_t scancode, int32_t keycode, bool numlock) {
    const auto s = SDL_Scancode(scancode);
    // Letters follow the layout; keys that type no Latin letter keep their position.
    if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
    if (s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z) return 'A' + (s - SDL_SCANCODE_A);
    if (s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_9) return '1' + (s - SDL_SCANCODE_1);
    if (s >= SDL_SCANCODE_F1 && s <= SDL_SCANCODE_F12) return 112 + (s - SDL_SCANCODE_F1);
    if (s >= SDL_SCANCODE_F13 && s <= SDL_SCANCODE_F24) return 124 + (s - SDL_SCANCODE_F13);
    if (const int32_t k = KeypadKey(s, numlock)) return k;
    switch (s) {
        case SDL_SCANCODE_0:
            return '0';
        case SDL_SCANCODE_BACKSPACE:
            return 8;
        case SDL_SCANCODE_TAB:
            return 9;
        case SDL_SCANCODE_CLEAR:
            return 12;
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_KP_ENTER:
            return 13;
        case SDL_SCANCODE_PAUSE:
            return 19;
        case SDL_SCANCODE_CAPSLOCK:
            return 20;
        case SDL_SCANCODE_ESCAPE:
            return 27;
        case SDL_SCANCODE_SPACE:
            return 32;
        case SDL_SCANCODE_PAGEUP:
            return 33;
        case SDL_SCANCODE_PAGEDOWN:
            return 34;
        case SDL_SCANCODE_END:
            return 35;
        case SDL_SCANCODE_HOME:
            return 36;
        case SDL_SCANCODE_LEFT:
            return 37;
        case SDL_SCANCODE_UP:
            return 38;
        case SDL_SCANCODE_RIGHT:
            return 39;
        case SDL_SCANCODE_DOWN:
            return 40;
        case SDL_SCANCODE_PRINTSCREEN:
            return 44;
        case SDL_SCANCODE_INSERT:
            return 45;
        case SDL_SCANCODE_DELETE:
            return 46;
        case SDL_SCANCODE_HELP:
            return 47;
        case SDL_SCANCODE_LGUI:
            return 91;
        case SDL_SCANCODE_RGUI:
            return 92;
        case SDL_SCANCODE_APPLICATION:
            return 93;
        case SDL_SCANCODE_KP_MULTIPLY:
            return 106;
        case SDL_SCANCODE_KP_PLUS:
            return 107;
        case SDL_SCANCODE_KP_MINUS:
            return 109;
        case SDL_SCANCODE_KP_DIVIDE:
            return 111;
        case SDL_SCANCODE_NUMLOCKCLEAR:
            return 144;
        case SDL_SCANCODE_SCROLLLOCK:
            return 145;
        case SDL_SCANCODE_LSHIFT:
            return 160;
        case SDL_SCANCODE_RSHIFT:
            return 161;
        case SDL_SCANCODE_LCTRL:
            return 162;
        case SDL_SCANCODE_RCTRL:
            return 163;
        case SDL_SCANCODE_LALT:
            return 164;
        case SDL_SCANCODE_RALT:
            return 165;
        case SDL_SCANCODE_SEMICOLON:
            return 186;
        case SDL_SCANCODE_EQUALS:
            return 187;
        case SDL_SCANCODE_COMMA:
            return 188;
        case SDL_SCANCODE_MINUS:
            return 189;
        case SDL_SCANCODE_PERIOD:
            return 190;
        case SDL_SCANCODE_SLASH:
            return 191;
        case SDL_SCANCODE_GRAVE:
            return 192;
        case SDL_SCANCODE_LEFTBRACKET:
            return 219;
        case SDL_SCANCODE_BACKSLASH:
        case SDL_SCANCODE_NONUSHASH:
            return 220;
        case SDL_SCANCODE_RIGHTBRACKET:
            return 221;
        case SDL_SCANCODE_APOSTROPHE:
            return 222;
        case SDL_SCANCODE_NONUSBACKSLASH:
            return 226;
        default:
            return 0;
    }
}

int32_t VirtualKeyOfScancodeName(const char* name, bool numlock) {
    const SDL_Scancode s = SDL_GetScancodeFromName(name);
    // SDL's default layout: the letter keys type their letters.
    const int32_t key =
        s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z ? SDLK_a + (s - SDL_SCANCODE_A) : 0;
    return s == SDL_SCANCODE_UNKNOWN ? 0 : VirtualKeyOf(s, key, numlock);
}

void GameCharacters(std::string_view utf8, std::vector<int32_t>& out) {
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = uint8_t(utf8[i++]);
        int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        uint32_t cp = more ? lead & (0x3Fu >> more) : lead;
        if (lead >= 0x80 && lead < 0xC0) continue;  // a stray continuation byte
        for (; more > 0 && i < utf8.size() && (uint8_t(utf8[i]) & 0xC0) == 0x80; --more)
            cp = cp << 6 | (uint8_t(utf8[i++]) & 0x3Fu);
        if (more > 0) continue;  // cut short
        if (const int32_t c = CodePage1252(cp)) out.push_back(c);
    }
}

// --- the window's events

struct SdlInput::Impl {
    bool headless = true;
    bool joystick_system = false;
    SDL_Window* window = nullptr;
    uint32_t window_id = 0;
    const Graphics* graphics = nullptr;
    bool started = false;
    // The cursor position not handed on yet, and the last one handed on.
    bool move_pending = false;
    double move_x = 0, move_y = 0;
    bool moved = false;
    double last_x = 0, last_y = 0;
    struct Stick {
        SDL_Joystick* joystick = nullptr;
        SDL_JoystickID id = -1;
        bool changed = false;
        JoystickPosition last;
    };
    std::array<Stick, 2> sticks;
    std::vector<int32_t> chars;

    bool Ours(uint32_t id) const { return !window || id == window_id; }

    void Move(int x, int y) {
        double rx = x, ry = y;
        if (graphics) {
            const WindowState& ws = graphics->window;
            ws.ToRegion(ws.client_x + x, ws.client_y + y, rx, ry);
        }
        move_pending = true;
        move_x = rx;
        move_y = ry;
    }
    // The cursor wherever it is (also outside the window, or the headless one the game
    // sets), through the client area into the region.
    void Cursor() {
        if (!graphics || !graphics->game_window.Attached()) return;
        int32_t sx = 0, sy = 0;
        graphics->game_window.MouseScreen(sx, sy);
        move_pending = true;
        graphics->window.ToRegion(sx, sy, move_x, move_y);
    }
    void FlushMove(std::vector<InputEvent>& out) {
        if (!move_pending) return;
        move_pending = false;
        if (moved && move_x == last_x && move_y == last_y) return;
        moved = true;
        last_x = move_x;
        last_y = move_y;
        InputEvent e = Event(InputEventKind::MouseMove);
        e.x = move_x;
        e.y = move_y;
        out.push_back(e);
    }

    int Slot(SDL_JoystickID id) const {
        for (int i = 0; i < 2; ++i)
            if (sticks[size_t(i)].joystick && sticks[size_t(i)].id == id) return i;
        return -1;
    }
    void Added(int device, std::vector<InputEvent>& out) {
        for (int i = 0; i < 2; ++i) {
            Stick& s = sticks[size_t(i)];
            if (s.joystick) {
                if (SDL_JoystickGetDeviceInstanceID(device) == s.id) return;  // opened already
                continue;
            }
            s.joystick = SDL_JoystickOpen(device);
            if (!s.joystick) return;
            s.id = SDL_JoystickInstanceID(s.joystick);
            s.changed = true;
            s.last = JoystickPosition();
            InputEvent e = Event(InputEventKind::JoystickInfo);
            e.id = i;
            e.info.present = true;
            e.info.axis_count = std::clamp(SDL_JoystickNumAxes(s.joystick), 0, 6);
            e.info.button_count = std::clamp(SDL_JoystickNumButtons(s.joystick), 0, 32);
            e.info.has_pov = SDL_JoystickNumHats(s.joystick) > 0;
            const char* name = SDL_JoystickName(s.joystick);
            e.info.name = std::string(name ? name : "").substr(0, 32);
            out.push_back(e);
            return;
        }
    }
    void Removed(SDL_JoystickID id, std::vector<InputEvent>& out) {
        const int i = Slot(id);
        if (i < 0) return;
        Stick& s = sticks[size_t(i)];
        SDL_JoystickClose(s.joystick);
        s = Stick();
        InputEvent e = Event(InputEventKind::JoystickInfo);
        e.id = i;
        out.push_back(e);
    }
    void Positions(std::vector<InputEvent>& out) {
        for (int i = 0; i < 2; ++i) {
            Stick& s = sticks[size_t(i)];
            if (!s.joystick || !s.changed) continue;
            s.changed = false;
            JoystickPosition p;
            const int axes = std::min(SDL_JoystickNumAxes(s.joystick), 6);
            for (int a = 0; a < axes; ++a)
                p.axes[size_t(a)] = uint32_t(int32_t(SDL_JoystickGetAxis(s.joystick, a)) + 32768);
            const int buttons = std::min(SDL_JoystickNumButtons(s.joystick), 32);
            for (int b = 0; b < buttons; ++b)
                if (SDL_JoystickGetButton(s.joystick, b)) p.buttons |= 1u << b;
            if (SDL_JoystickNumHats(s.joystick) > 0)
                p.pov = HatHundredths(SDL_JoystickGetHat(s.joystick, 0));
            if (p == s.last) continue;
            s.last = p;
            InputEvent e = Event(InputEventKind::JoystickMove);
            e.id = i;
            e.position = p;
            out.push_back(e);
        }
    }

    void Key(const SDL_KeyboardEvent& k, std::vector<InputEvent>& out) {
        const uint16_t mod = k.keysym.mod;
        const int32_t vk = VirtualKeyOf(k.keysym.scancode, k.keysym.sym, mod & KMOD_NUM);
        if (vk == 0) return;
        if (k.type == SDL_KEYUP) {
            out.push_back(Event(InputEventKind::KeyUp, vk));
            return;
        }
        if (vk == 115 && (mod & KMOD_ALT)) {
            if (!k.repeat) out.push_back(Event(InputEventKind::AltF4));
            return;
        }
        out.push_back(Event(InputEventKind::KeyDown, vk));
        // The characters of keys that type no text.
        int32_t c = 0;
        if (vk == 8 || vk == 9 || vk == 13 || vk == 27)
            c = vk;
        else if ((mod & KMOD_CTRL) && !(mod & KMOD_ALT) && vk >= 'A' && vk <= 'Z')
            c = vk - 64;
        if (c) out.push_back(Event(InputEventKind::Char, c));
    }
};

SdlInput::SdlInput(bool headless) : impl_(std::make_unique<Impl>()) {
    impl_->headless = headless;
    if (headless) return;
    impl_->joystick_system = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    if (impl_->joystick_system) SDL_JoystickEventState(SDL_ENABLE);
}

SdlInput::~SdlInput() {
    for (Impl::Stick& s : impl_->sticks)
        if (s.joystick) SDL_JoystickClose(s.joystick);
    if (impl_->joystick_system) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void SdlInput::SetWindow(void* sdl_window, const Graphics* graphics) {
    impl_->window = static_cast<SDL_Window*>(sdl_window);
    impl_->window_id = impl_->window ? SDL_GetWindowID(impl_->window) : 0;
    impl_->graphics = graphics;
}

uint32_t SdlEventWindow(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT:
            return e.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return e.key.windowID;
        case SDL_TEXTINPUT:
            return e.text.windowID;
        case SDL_TEXTEDITING:
            return e.edit.windowID;
        case SDL_MOUSEMOTION:
            return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return e.button.windowID;
        case SDL_MOUSEWHEEL:
            return e.wheel.windowID;
        default:
            return 0;
    }
}

bool SdlInput::HasWindow() const {
    return impl_->window != nullptr && !impl_->headless;
}

void SdlInput::Pump(std::vector<InputEvent>& out) {
    Impl& m = *impl_;
    const bool events = SDL_WasInit(SDL_INIT_VIDEO) || m.joystick_system;
    if (!m.started && !m.headless && events) {
        m.started = true;
        out.push_back(Event(InputEventKind::NumLock, (SDL_GetModState() & KMOD_NUM) ? 1 : 0));
    }
    SDL_Event e;
    while (events && SDL_PollEvent(&e)) {
        if (foreign_event) {
            const uint32_t id = SdlEventWindow(e);
            if (id != 0 && m.window && id != m.window_id) {
                foreign_event(&e);
                continue;
            }
        }
        const bool window = e.type == SDL_WINDOWEVENT;
        if (window && !m.Ours(e.window.windowID)) continue;
        if (m.headless) {
            // No input arrives headless; the window still follows its own events.
            if (window && window_event) window_event(&e);
            continue;
        }
        switch (e.type) {
            case SDL_QUIT:
                m.FlushMove(out);
                out.push_back(Event(InputEventKind::Close));
                break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                    m.FlushMove(out);
                    out.push_back(Event(InputEventKind::Close));
                } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
                           e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                    out.push_back(Event(InputEventKind::Focus,
                                        e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED));
                }
                if (window_event) window_event(&e);
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                if (!m.Ours(e.key.windowID)) break;
                m.FlushMove(out);
                m.Key(e.key, out);
                break;
            case SDL_TEXTINPUT: {
                if (!m.Ours(e.text.windowID)) break;
                m.chars.clear();
                GameCharacters(e.text.text, m.chars);
                for (int32_t c : m.chars) out.push_back(Event(InputEventKind::Char, c));
                break;
            }
            case SDL_MOUSEMOTION:
                if (m.Ours(e.motion.windowID)) m.Move(e.motion.x, e.motion.y);
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                if (!m.Ours(e.button.windowID)) break;
                const int32_t b = MouseButton(e.button.button);
                if (!b) break;
                m.Move(e.button.x, e.button.y);
                m.FlushMove(out);
                out.push_back(Event(e.type == SDL_MOUSEBUTTONDOWN ? InputEventKind::MouseDown
                                                                  : InputEventKind::MouseUp,
                                    b));
                break;
            }
            case SDL_MOUSEWHEEL: {
                if (!m.Ours(e.wheel.windowID)) break;
                int y = e.wheel.y;
                if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
                m.FlushMove(out);
                if (y > 0) out.push_back(Event(InputEventKind::WheelUp));
                if (y < 0) out.push_back(Event(InputEventKind::WheelDown));
                break;
            }
            case SDL_JOYDEVICEADDED:
                m.Added(e.jdevice.which, out);
                break;
            case SDL_JOYDEVICEREMOVED:
                m.Removed(e.jdevice.which, out);
                break;
            case SDL_JOYAXISMOTION:
            case SDL_JOYHATMOTION:
            case SDL_JOYBUTTONDOWN:
            case SDL_JOYBUTTONUP: {
                const int i = m.Slot(e.jaxis.which);
                if (i >= 0) m.sticks[size_t(i)].changed = true;
                break;
            }
            default:
                break;
        }
    }
    m.Cursor();
    m.FlushMove(out);
    m.Positions(out);
}

bool SdlInput::Ask(std::string_view text) {
    const std::string t(text);
    if (impl_->headless || !SDL_WasInit(SDL_INIT_VIDEO)) {
        std::printf("%s\n", HeadlessMessageLine(text).c_str());
        std::fflush(stdout);
        return true;
    }
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_INFORMATION;
    box.window = impl_->window;
    box.title = "Tamberlo Player";
    box.message = t.c_str();
    box.numbuttons = 2;
    box.buttons = buttons;
    int answer = 0;
    if (SDL_ShowMessageBox(&box, &answer) != 0) return true;
    return answer == 1;
}

// --- the runner's stages

bool PrepareInputOptions(const RunnerOptions& options, InputOptions& out, std::string& error) {
    out = InputOptions();
    if (!options.replay_file.empty()) {
        if (!LoadReplay(options.replay_file, out.replay, error, &out.dialogs)) return false;
        out.replaying = true;
    }
    if (!options.record_file.empty()) {
        auto recorder = std::make_shared<ReplayRecorder>();
        if (!recorder->Open(options.record_file, error)) return false;
        out.recorder = std::move(recorder);
    }
    return true;
}

void AddInputStages(RunnerStages& stages, SdlInput& input, InputOptions options, InputHooks extra) {
    auto before = std::move(stages.attach_world);
    stages.attach_world = [before = std::move(before), &input, options = std::move(options),
                           extra = std::move(extra)](Runner& r, World& w) {
        if (before) before(r, w);
        Graphics* g = r.engine.graphics;
        input.SetWindow(g ? g->device.NativeWindow() : nullptr, g);
        // The window's own events (size, position, exposure) go to the window.
        if (g) input.window_event = [g](const void* e) { g->game_window.HandleEvent(e); };
        InputHooks hooks = extra;
        hooks.pump = [&input](std::vector<InputEvent>& out) { input.Pump(out); };
        hooks.live = input.HasWindow();
        if (!hooks.question) hooks.question = [&input](std::string_view t) { return input.Ask(t); };
        InputSystem::Attach(w, std::move(hooks), options);
    };
}

}  // namespace tb
