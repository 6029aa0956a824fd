#include "graphics/text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "graphics/colors.h"
#include "graphics/fonts.h"
#include "graphics/graphics.h"
#include "resources/font.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "script/value.h"

namespace tb {

namespace {

// Up to and including the next space or hyphen, or the rest of the line.
size_t WordEnd(std::string_view line, size_t pos) {
    const size_t at = line.find_first_of(" -", pos);
    return at == std::string_view::npos ? line.size() : at + 1;
}

void Wrap(const CFont& font, std::string_view line, int32_t width,
          std::vector<std::string>& lines) {
    if (line.empty()) {
        lines.emplace_back();
        return;
    }
    size_t pos = 0;
    while (pos < line.size()) {
        // A line takes at least one word, however wide.
        size_t end = WordEnd(line, pos);
        int64_t built = LineWidth(font, line.substr(pos, end - pos));
        const size_t start = pos;
        pos = end;
        while (pos < line.size() && built < width) {
            end = WordEnd(line, pos);
            const int64_t word = LineWidth(font, line.substr(pos, end - pos));
            if (built + word > width) break;
            built += word;
            pos = end;
        }
        lines.emplace_back(line.substr(start, pos - start));
    }
}

struct GlyphPainter {
    Graphics& g;
    const CFont& font;
    const CSprite* sprite;  // sprite fonts only; null when it no longer exists
    const TextStyle& style;
    uint32_t color;  // the draw colour, for plain text
    double alpha;
    double cos_a, sin_a;

    // Draws character c with the pen at (px, py); p is the pen's unscaled distance from the
    // line start, width the line's width.
    void Glyph(uint8_t c, double px, double py, int32_t p, int32_t width) const {
        const size_t i = c;
        const double shift = style.xscale * font.glyph_offset[i];
        const double x = px + shift * cos_a, y = py - shift * sin_a;
        const int32_t frame = int32_t(c) - font.First;
        int32_t texture = font.texture;
        if (font.SpriteIndex >= 0) {
            if (!sprite) return;
            texture = sprite->GetTexture(frame);
        }
        if (texture < 0) return;
        TextureTable& t = g.textures;
        if (!style.gradient) {
            if (sprite)
                t.DrawExt(texture, sprite->XOrigin, sprite->YOrigin, x, y, style.xscale,
                          style.yscale, style.angle, color, alpha);
            else
                t.DrawPart(texture, font.glyph_x[i], font.glyph_y[i], font.glyph_w[i],
                           font.glyph_h[i], x, y, style.xscale, style.yscale, style.angle, color,
                           alpha);
            return;
        }
        const double from = width > 0 ? double(p) / width : 0;
        const double to = width > 0 ? double(p + font.glyph_advance[i]) / width : 0;
        const uint32_t tl = MergeColor(style.c1, style.c2, from);
        const uint32_t tr = MergeColor(style.c1, style.c2, to);
        const uint32_t bl = MergeColor(style.c4, style.c3, from);
        const uint32_t br = MergeColor(style.c4, style.c3, to);
        if (sprite)
            t.DrawGeneral(texture, 0, 0, sprite->Width, sprite->Height, x, y, style.xscale,
                          style.yscale, style.angle, tl, tr, br, bl, style.alpha);
        else
            t.DrawGeneral(texture, font.glyph_x[i], font.glyph_y[i], font.glyph_w[i],
                          font.glyph_h[i], x, y, style.xscale, style.yscale, style.angle, tl, tr,
                          br, bl, style.alpha);
    }
};

}  // namespace

void PrepareLines(const CFont& font, std::string_view text, int32_t wrap_width,
                  std::vector<std::string>& lines) {
    lines.clear();
    std::string line;
    bool open = false;  // characters (or nothing) since the last break wait to be a line
    auto end_line = [&] {
        if (wrap_width >= 0)
            Wrap(font, line, wrap_width, lines);
        else
            lines.push_back(line);
        line.clear();
        open = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
            line.push_back('#');
            open = true;
            ++i;
        } else if (ch == '#' || ch == '\r' || ch == '\n') {
            end_line();
        } else {
            line.push_back(ch);
            open = true;
        }
    }
    if (open) end_line();
}

int32_t LineWidth(const CFont& font, std::string_view line) {
    int64_t w = 0;
    for (char ch : line) w += font.Advance(uint8_t(ch));
    return int32_t(std::clamp<int64_t>(w, INT32_MIN, INT32_MAX));
}

int32_t FontLineHeight(const CFont& font) {
    return font.First >= 0 && font.First <= 255 ? font.glyph_h[size_t(font.First)] : 0;
}

int32_t StringWidth(const CFont& font, std::string_view text, int32_t wrap_width) {
    std::vector<std::string> lines;
    PrepareLines(font, text, wrap_width, lines);
    int32_t widest = 1;
    for (const std::string& l : lines) widest = std::max(widest, LineWidth(font, l));
    return widest;
}

int32_t StringHeight(const CFont& font, std::string_view text, int32_t sep, int32_t wrap_width) {
    std::vector<std::string> lines;
    PrepareLines(font, text, wrap_width, lines);
    if (lines.empty()) return 1;
    const int64_t h = FontLineHeight(font);
    const int64_t step = sep < 0 ? h : sep;
    return int32_t(std::clamp<int64_t>(h + step * int64_t(lines.size() - 1), INT32_MIN, INT32_MAX));
}

void DrawText(Graphics& g, const Game* game, double x, double y, std::string_view text, int32_t sep,
              int32_t wrap_width, const TextStyle& text_style) {
    TextStyle style = text_style;
    if (!style.transformed) style.xscale = style.yscale = 1, style.angle = 0;
    const CFont& font = CurrentFont(g, game);
    std::vector<std::string> lines;
    PrepareLines(font, text, wrap_width, lines);
    if (lines.empty()) return;
    const DrawState& d = g.draw;
    const int64_t step = sep < 0 ? FontLineHeight(font) : sep;
    const int64_t total = step * int64_t(lines.size());
    const double a = style.transformed ? style.angle * std::numbers::pi / 180 : 0;
    GlyphPainter painter{g, font, nullptr, style, d.ColorBgr(), d.alpha, std::cos(a), std::sin(a)};
    if (font.SpriteIndex >= 0 && game) painter.sprite = game->sprites.Get(font.SpriteIndex);

    // The start of the first line, moved up for the vertical alignment.
    double lx = x, ly = y;
    const double down = style.transformed ? double(step) * style.yscale : double(step);
    if (style.transformed) {
        const double span = double(total) * style.yscale;
        const double div = d.valign == 1 ? 2 : 1;
        if (d.valign != 0) {
            lx -= double(RoundToInt64(span * painter.sin_a / div));
            ly -= double(RoundToInt64(span * painter.cos_a / div));
        }
    } else if (d.valign == 1) {
        ly -= double(total / 2);
    } else if (d.valign == 2) {
        ly -= double(total);
    }

    for (const std::string& line : lines) {
        const int32_t width = LineWidth(font, line);
        double t = 0;
        if (style.transformed) {
            if (d.halign == 1) t = -double(RoundToInt64(style.xscale * width / 2));
            if (d.halign == 2) t = -double(RoundToInt64(style.xscale * width));
        } else {
            if (d.halign == 1) t = -double(width / 2);
            if (d.halign == 2) t = -double(width);
        }
        const double sx = lx + t * painter.cos_a, sy = ly - t * painter.sin_a;
        int32_t pen = 0;
        for (char ch : line) {
            const uint8_t c = uint8_t(ch);
            const double along = style.xscale * pen;
            if (c >= font.First && c <= font.Last)
                painter.Glyph(c, sx + along * painter.cos_a, sy - along * painter.sin_a, pen,
                              width);
            pen += font.Advance(c);
        }
        lx += down * painter.sin_a;
        ly += down * painter.cos_a;
    }
}

}  // namespace tb
