#include "system/clipboard.h"

#include <SDL.h>

#include <cstdint>

#include "platform/dialog_host.h"

namespace tb {

namespace {

// Windows-1252 0x80..0x9F as code points; 0 marks the bytes that code page leaves unused.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The Windows-1252 byte of a code point, or -1.
int Cp1252Byte(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] != 0 && kCp1252High[i] == cp) return 0x80 + i;
    return -1;
}

// Length and code point of the well-formed UTF-8 sequence at i, or 0.
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& cp) {
    auto b = [&](size_t k) { return uint32_t(static_cast<unsigned char>(s[k])); };
    auto cont = [&](size_t k) { return k < s.size() && (b(k) & 0xC0) == 0x80; };
    const uint32_t c = b(i);
    if (c >= 0xC2 && c <= 0xDF && cont(i + 1)) {
        cp = ((c & 0x1F) << 6) | (b(i + 1) & 0x3F);
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF && cont(i + 1) && cont(i + 2)) {
        cp = ((c & 0x0F) << 12) | ((b(i + 1) & 0x3F) << 6) | (b(i + 2) & 0x3F);
        return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
        cp = ((c & 0x07) << 18) | ((b(i + 1) & 0x3F) << 12) | ((b(i + 2) & 0x3F) << 6) |
             (b(i + 3) & 0x3F);
        return cp >= 0x10000 && cp <= 0x10FFFF ? 4 : 0;
    }
    return 0;
}

bool DesktopClipboard() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

std::string& LocalClipboard() {
    static std::string text;
    return text;
}

}  // namespace

std::string Utf8ToGameText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        const size_t n = static_cast<unsigned char>(utf8[i]) < 0x80 ? 0 : DecodeUtf8(utf8, i, cp);
        if (n == 0) {
            out += utf8[i++];
            continue;
        }
        const int byte = Cp1252Byte(cp);
        if (byte >= 0)
            out += char(byte);
        else
            out.append(utf8.substr(i, n));
        i += n;
    }
    return out;
}

bool ClipboardHasText() {
    if (!DesktopClipboard()) return !LocalClipboard().empty();
    return SDL_HasClipboardText() == SDL_TRUE;
}

std::string ClipboardText() {
    if (!DesktopClipboard()) return LocalClipboard();
    char* text = SDL_GetClipboardText();  // "" when empty or on failure, never null in SDL2
    if (!text) return {};
    std::string out = Utf8ToGameText(text);
    SDL_free(text);
    return out;
}

void SetClipboardText(std::string_view text) {
    if (!DesktopClipboard()) {
        LocalClipboard() = std::string(text);
        return;
    }
    SDL_SetClipboardText(ToDisplayUtf8(text).c_str());
}

}  // namespace tb
