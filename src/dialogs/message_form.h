// The message window's rules without any drawing: the "#" text conversion, the fonts and
// pictures the customisation functions change, the layout and the keys that close it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/bitmap32.h"

namespace tb {

// Every "#" becomes a line break (CR); a backslash directly before "#" gives a plain "#".
std::string ConvertHashes(std::string_view text);

inline constexpr int32_t kFontBold = 1;
inline constexpr int32_t kFontItalic = 2;

struct MessageFont {
    std::string name = "Arial";
    int32_t size = 10;
    int32_t color = 0xFFFFFF;  // script colour
    int32_t style = 0;         // kFontBold | kFontItalic
};

// The customisation rule of the message_*_font and highscore_set_font functions: an empty
// name keeps the name, a negative size or colour keeps it, a style outside 0 .. 3 keeps the
// style.
void ChangeFont(MessageFont& font, std::string_view name, int32_t size, int32_t color,
                int32_t style);

inline constexpr int32_t kMessageDefaultWidth = 348;
inline constexpr int32_t kMessageDefaultHeight = 129;
inline constexpr int32_t kMessageButtonWidth = 80;
inline constexpr int32_t kMessageButtonHeight = 25;

// The pictures the window draws: the background and the normal, mouse-over and pressed
// button pictures. `transparent` says the bottom-left pixel colour is see-through.
struct MessagePictures {
    CBitmap32 background;
    bool background_transparent = false;
    std::array<CBitmap32, 3> buttons;
    bool buttons_masked = false;
    // Bumped at every change so that drawing code can cache its textures.
    int32_t generation = 0;
};

// The picture with every pixel of its bottom-left pixel's colour made fully transparent
// (its transparent colour); a missing picture stays missing.
CBitmap32 MaskedPicture(const CBitmap32& picture);

// The runner's own pictures for the message window (no game pictures needed).
CBitmap32 DefaultMessageBackground();
std::array<CBitmap32, 3> DefaultMessageButtons();

struct MessageSettings {
    MessageSettings();
    int32_t x = -1, y = -1;  // negative: centred in that direction
    int32_t w = -1, h = -1;  // below 1: automatic in that direction
    int32_t alpha = 255;     // blending below 255
    bool caption_shown = false;
    std::string caption;
    MessageFont text_font;
    MessageFont button_font;
    MessageFont input_font;
    int32_t mouse_color = 0xFFFFFF;
    int32_t input_color = 60 + 60 * 256 + 60 * 65536;
    MessagePictures pictures;
};

// round(alpha * 255) clamped to 0 .. 255.
int32_t MessageAlpha(double alpha);

// The window's geometry from the measured text and edit box heights.
struct MessageLayout {
    int32_t client_w = 0, client_h = 0;
    int32_t label_x = 24, label_y = 16, label_w = 0;
    int32_t button_w = 0, button_h = 0, button_top = 0;
    std::array<int32_t, 3> button_left{};
    int32_t edit_x = 24, edit_y = 0, edit_w = 0;
    int32_t window_x = 0, window_y = 0;
};
MessageLayout LayoutMessage(const MessageSettings& s, int32_t label_height, bool edit_shown,
                            int32_t edit_height, int32_t screen_w, int32_t screen_h);

// One key while the window is shown. `character` is the typed character (0 for none);
// `key` the virtual-key code (27 Esc, 13 Enter, 32 Space) or 0.
struct MessageKey {
    int32_t key = 0;
    char character = 0;
    bool ctrl = false;
};
// The result the key closes the window with, or -1 when it does not close it. Only visible
// buttons (non-empty captions) take part; shortcuts are the "&" letters of the captions.
int32_t MessageKeyResult(const std::array<std::string, 3>& captions, bool edit_shown,
                         const MessageKey& k);

}  // namespace tb
