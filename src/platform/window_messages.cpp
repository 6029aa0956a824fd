// The game window's messages: frame events go to the window, keys, characters and mouse
// buttons into the input state the step reads, the close button as the settings say.
#include "platform/window_messages.h"

#include <SDL.h>

#include "graphics/graphics.h"
#include "resources/object.h"
#include "runner/game.h"
#include "world/events.h"
#include "world/world.h"

namespace tb {

int32_t VirtualKey(int32_t sdl_keycode) {
    const SDL_Keycode k = sdl_keycode;
    if (k >= SDLK_a && k <= SDLK_z) return 65 + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return 48 + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return 112 + (k - SDLK_F1);
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return 97 + (k - SDLK_KP_1);
    switch (k) {
        case SDLK_BACKSPACE:
            return 8;
        case SDLK_TAB:
            return 9;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return 13;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return 16;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return 17;
        case SDLK_LALT:
        case SDLK_RALT:
            return 18;
        case SDLK_PAUSE:
            return 19;
        case SDLK_CAPSLOCK:
            return 20;
        case SDLK_ESCAPE:
            return 27;
        case SDLK_SPACE:
            return 32;
        case SDLK_PAGEUP:
            return 33;
        case SDLK_PAGEDOWN:
            return 34;
        case SDLK_END:
            return 35;
        case SDLK_HOME:
            return 36;
        case SDLK_LEFT:
            return 37;
        case SDLK_UP:
            return 38;
        case SDLK_RIGHT:
            return 39;
        case SDLK_DOWN:
            return 40;
        case SDLK_PRINTSCREEN:
            return 44;
        case SDLK_INSERT:
            return 45;
        case SDLK_DELETE:
            return 46;
        case SDLK_KP_0:
            return 96;
        case SDLK_KP_MULTIPLY:
            return 106;
        case SDLK_KP_PLUS:
            return 107;
        case SDLK_KP_MINUS:
            return 109;
        case SDLK_KP_PERIOD:
            return 110;
        case SDLK_KP_DIVIDE:
            return 111;
        case SDLK_NUMLOCKCLEAR:
            return 144;
        case SDLK_SCROLLLOCK:
            return 145;
        case SDLK_SEMICOLON:
            return 186;
        case SDLK_EQUALS:
            return 187;
        case SDLK_COMMA:
            return 188;
        case SDLK_MINUS:
            return 189;
        case SDLK_PERIOD:
            return 190;
        case SDLK_SLASH:
            return 191;
        case SDLK_BACKQUOTE:
            return 192;
        case SDLK_LEFTBRACKET:
            return 219;
        case SDLK_BACKSLASH:
            return 220;
        case SDLK_RIGHTBRACKET:
            return 221;
        case SDLK_QUOTE:
            return 222;
        default:
            return 0;
    }
}

void TypeCharacter(InputState& in, char c) {
    in.keyboard_lastchar.assign(1, c);
    if (in.keyboard_string.size() > 1024)
        in.keyboard_string.erase(0, in.keyboard_string.size() - 1024);
    if (c == 8) {
        if (!in.keyboard_string.empty()) in.keyboard_string.pop_back();
    } else if (uint8_t(c) > 31) {
        in.keyboard_string += c;
    }
}

void KeyDown(InputState& in, int32_t k) {
    if (k <= 0 || k > 255) return;
    in.keyboard_lastkey = in.keyboard_key = k;
    if (!in.key_held[size_t(k)]) in.key_pressed[size_t(k)] = true;
    in.key_held[size_t(k)] = true;
}

void KeyUp(InputState& in, int32_t k) {
    if (k <= 0 || k > 255) return;
    if (k == in.keyboard_key) in.keyboard_key = 0;
    in.key_held[size_t(k)] = false;
    in.key_released[size_t(k)] = true;
}

namespace {

// Characters of typed text in the single-byte character set: code points up to 255.
void TypeText(InputState& in, const char* utf8) {
    const auto* p = reinterpret_cast<const uint8_t*>(utf8);
    while (*p) {
        uint32_t cp = *p++;
        int more = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
        if (more) cp &= 0x3Fu >> more;
        for (; more > 0 && (*p & 0xC0) == 0x80; --more) cp = cp << 6 | (*p++ & 0x3Fu);
        if (cp >= 32 && cp <= 255) TypeCharacter(in, char(uint8_t(cp)));
    }
}

void CloseRequest(Graphics& g, World& w) {
    (void)g;
    if (!w.game.settings.CloseAsEsc) {
        DispatchToAll(w, ev_other, ev_close_button);
        return;
    }
    InputState& in = w.input;
    in.key_held[27] = true;
    in.keyboard_key = in.keyboard_lastkey = 27;
}

int MouseButton(uint8_t sdl_button) {
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

}  // namespace

void UpdateMouse(Graphics& g, InputState& in) {
    int32_t sx = 0, sy = 0;
    g.game_window.MouseScreen(sx, sy);
    double rx = 0, ry = 0;
    g.window.ToRegion(sx, sy, rx, ry);
    g.window.ViewsToRoom(rx, ry, in.mouse_x, in.mouse_y);
}

void ProcessWindowMessages(Graphics& g, World& w) {
    SDL_Window* window = static_cast<SDL_Window*>(g.device.NativeWindow());
    if (!window) return;
    const uint32_t id = SDL_GetWindowID(window);
    InputState& in = w.input;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_WINDOWEVENT:
                if (e.window.windowID != id) break;
                if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                    CloseRequest(g, w);
                else
                    g.game_window.HandleEvent(&e);
                break;
            case SDL_QUIT:
                CloseRequest(g, w);
                break;
            case SDL_KEYDOWN: {
                if (e.key.windowID != id) break;
                const int32_t k = VirtualKey(e.key.keysym.sym);
                KeyDown(in, k);
                // Keys that type a control character.
                if (k == 8 || k == 9 || k == 13 || k == 27) TypeCharacter(in, char(k));
                break;
            }
            case SDL_KEYUP:
                if (e.key.windowID == id) KeyUp(in, VirtualKey(e.key.keysym.sym));
                break;
            case SDL_TEXTINPUT:
                if (e.text.windowID == id) TypeText(in, e.text.text);
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                if (e.button.windowID != id) break;
                const int b = MouseButton(e.button.button);
                if (b == 0) break;
                if (e.type == SDL_MOUSEBUTTONDOWN) {
                    in.mouse_lastbutton = in.mouse_button = b;
                    in.mouse_held[size_t(b)] = true;
                    in.mouse_pressed[size_t(b)] = true;
                } else {
                    in.mouse_button = 0;
                    in.mouse_held[size_t(b)] = false;
                    in.mouse_released[size_t(b)] = true;
                }
                break;
            }
            case SDL_MOUSEWHEEL:
                if (e.wheel.windowID != id) break;
                if (e.wheel.y > 0) in.wheel_up = true;
                if (e.wheel.y < 0) in.wheel_down = true;
                break;
            default:
                break;
        }
    }
    UpdateMouse(g, in);
}

}  // namespace tb
