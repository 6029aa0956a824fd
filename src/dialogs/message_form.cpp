#include "dialogs/message_form.h"

#include <algorithm>
#include <cmath>

#include "script/value.h"

namespace tb {

std::string ConvertHashes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
            out += '#';
            ++i;
        } else if (c == '#') {
            out += '\r';
        } else {
            out += c;
        }
    }
    return out;
}

void ChangeFont(MessageFont& font, std::string_view name, int32_t size, int32_t color,
                int32_t style) {
    if (!name.empty()) font.name = std::string(name);
    if (size >= 0) font.size = size;
    if (color >= 0) font.color = color;
    if (style >= 0 && style <= 3) font.style = style;
}

namespace {

uint32_t Argb(int r, int g, int b) {
    return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

int Mix(int a, int b, double t) {
    return int(std::lround(a + (b - a) * t));
}

// A vertical gradient with a one-pixel frame, lighter on the top and left edges.
CBitmap32 Panel(int w, int h, int top_r, int top_g, int top_b, int bottom_r, int bottom_g,
                int bottom_b, int frame_light, int frame_dark) {
    CBitmap32 b(w, h);
    for (int y = 0; y < h; ++y) {
        double t = h > 1 ? double(y) / (h - 1) : 0;
        uint32_t c =
            Argb(Mix(top_r, bottom_r, t), Mix(top_g, bottom_g, t), Mix(top_b, bottom_b, t));
        for (int x = 0; x < w; ++x) b.At(x, y) = c;
    }
    for (int x = 0; x < w; ++x) {
        b.At(x, 0) = Argb(frame_light, frame_light, frame_light);
        b.At(x, h - 1) = Argb(frame_dark, frame_dark, frame_dark);
    }
    for (int y = 0; y < h; ++y) {
        b.At(0, y) = Argb(frame_light, frame_light, frame_light);
        b.At(w - 1, y) = Argb(frame_dark, frame_dark, frame_dark);
    }
    return b;
}

}  // namespace

CBitmap32 MaskedPicture(const CBitmap32& picture) {
    CBitmap32 out = picture;
    if (!out.exists || out.width < 1 || out.height < 1) return out;
    const uint32_t key = out.At(0, out.height - 1) & 0xFFFFFFu;
    for (uint32_t& p : out.pixels)
        if ((p & 0xFFFFFFu) == key) p = 0;
    return out;
}

CBitmap32 DefaultMessageBackground() {
    return Panel(kMessageDefaultWidth, kMessageDefaultHeight, 46, 62, 110, 18, 24, 52, 120, 8);
}

std::array<CBitmap32, 3> DefaultMessageButtons() {
    const int w = kMessageButtonWidth, h = kMessageButtonHeight;
    return {Panel(w, h, 92, 110, 170, 40, 52, 100, 200, 20),
            Panel(w, h, 120, 140, 210, 60, 76, 140, 230, 30),
            Panel(w, h, 30, 40, 84, 70, 88, 150, 20, 200)};
}

MessageSettings::MessageSettings() {
    button_font.style = kFontBold;
    pictures.background = DefaultMessageBackground();
    pictures.buttons = DefaultMessageButtons();
}

int32_t MessageAlpha(double alpha) {
    double v = alpha * 255;
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return RoundToInt32(v);
}

MessageLayout LayoutMessage(const MessageSettings& s, int32_t label_height, bool edit_shown,
                            int32_t edit_height, int32_t screen_w, int32_t screen_h) {
    MessageLayout l;
    const CBitmap32& back = s.pictures.background;
    l.client_w = s.w >= 1 ? s.w : (back.exists ? back.width : kMessageDefaultWidth);
    l.label_w = l.client_w - 48;
    const CBitmap32& button = s.pictures.buttons[0];
    l.button_w = button.exists ? button.width : kMessageButtonWidth;
    l.button_h = button.exists ? button.height : kMessageButtonHeight;
    if (s.h >= 1) {
        l.client_h = s.h;
    } else {
        l.client_h = label_height + l.button_h + 48;
        if (edit_shown) l.client_h += edit_height + 16;
    }
    l.button_top = l.client_h - l.button_h - 16;
    l.button_left = {24, (l.client_w - l.button_w) / 2, l.client_w - l.button_w - 24};
    l.edit_w = l.client_w - 48;
    l.edit_y = l.button_top - edit_height - 16;
    l.window_x = s.x >= 0 ? s.x : (screen_w - l.client_w) / 2;
    l.window_y = s.y >= 0 ? s.y : (screen_h - l.client_h) / 2;
    return l;
}

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The last "&"-marked character of a caption, in lower case; 0 when none.
char Shortcut(std::string_view caption) {
    char found = 0;
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        ++i;
        if (caption[i] != '&') found = Lower(caption[i]);
    }
    return found;
}

}  // namespace

int32_t MessageKeyResult(const std::array<std::string, 3>& captions, bool edit_shown,
                         const MessageKey& k) {
    if (k.key == 27) return 0;
    if (k.key == 13) return 1;
    if (k.ctrl) {
        char c = Lower(k.character);
        for (int i = 0; i < 3; ++i) {
            char s = captions[size_t(i)].empty() ? 0 : Shortcut(captions[size_t(i)]);
            if (s && s == c) return i + 1;
        }
        return -1;
    }
    if (edit_shown) return -1;
    if (k.key == 32 || k.character == ' ') return 1;
    if (!k.character) return -1;
    char c = Lower(k.character);
    for (int i = 0; i < 3; ++i) {
        char s = captions[size_t(i)].empty() ? 0 : Shortcut(captions[size_t(i)]);
        if (s && s == c) return i + 1;
    }
    return -1;
}

}  // namespace tb
