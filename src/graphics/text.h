// Text: breaking a text into lines, word wrapping, metrics and drawing with a font's glyphs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class CFont;
struct Graphics;
struct Game;

// The lines of a text as drawn. '#' breaks a line and "\#" stands for '#'; every CR and
// every LF ends a line (a break at the very end adds no empty line); with a width of 0 or
// more each line is wrapped at spaces and hyphens, never splitting a word.
void PrepareLines(const CFont& font, std::string_view text, int32_t wrap_width,
                  std::vector<std::string>& lines);

// Sum of the advances; characters outside the font advance by the space (or its first).
int32_t LineWidth(const CFont& font, std::string_view line);
// The height stored for the font's first character.
int32_t FontLineHeight(const CFont& font);

// The widest line, at least 1.
int32_t StringWidth(const CFont& font, std::string_view text, int32_t wrap_width = -1);
// Line height plus sep per further line (sep < 0: the line height); 1 without lines.
int32_t StringHeight(const CFont& font, std::string_view text, int32_t sep = -1,
                     int32_t wrap_width = -1);

// How the glyphs of a text are drawn.
struct TextStyle {
    bool transformed = false;                  // scales and angle apply
    double xscale = 1, yscale = 1, angle = 0;  // angle in degrees
    bool gradient = false;  // four colours and an alpha instead of the draw colour
    uint32_t c1 = 0, c2 = 0, c3 = 0, c4 = 0;  // BGR: top-left, top-right, bottom-right, bottom-left
    double alpha = 1;
};

// Draws at (x, y) with the current font and alignment; sep < 0 is the line height, wrap
// width < 0 no wrapping.
void DrawText(Graphics& g, const Game* game, double x, double y, std::string_view text, int32_t sep,
              int32_t wrap_width, const TextStyle& style);

}  // namespace tb
