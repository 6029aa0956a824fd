// Glyph metrics and coverage images of a system font, for fonts rasterised at run time (the
// default font and fonts a game adds). Characters are single-byte codes of the Western
// Windows code page; the layout of the glyph atlas is the caller's.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tb {

struct GlyphMetrics {
    // Scalable fonts report the A, B, C widths: the space before the glyph's ink, the ink's
    // width and the space after it, so that A + B + C is the advance.
    bool has_abc = false;
    int32_t a = 0, b = 0, c = 0;
    int32_t width = 0;  // the advance, for fonts without A, B, C widths
};

// An 8-bit coverage image (255 = fully covered) placed at (left, top) relative to the
// character's cell: left from the pen position, top from the top of the text line.
struct GlyphImage {
    int32_t left = 0, top = 0;
    int32_t width = 0, height = 0;
    std::vector<uint8_t> coverage;  // rows from the top
};

class FontRasterizer {
  public:
    // The installed font that best matches the family and style (the system's substitutes
    // stand in for families it lacks, such as a metric-compatible one for a common family);
    // null when no font can be opened. Sizes are points at 96 pixels per inch.
    static std::unique_ptr<FontRasterizer> Open(std::string_view family, int32_t points, bool bold,
                                                bool italic);
    ~FontRasterizer();
    FontRasterizer(const FontRasterizer&) = delete;
    FontRasterizer& operator=(const FontRasterizer&) = delete;

    // The height of a line of text: ascent plus descent.
    int32_t TextHeight() const;
    GlyphMetrics Metrics(uint8_t code);
    // False when the character has no image (an empty image is still true).
    bool Render(uint8_t code, GlyphImage& out);

  private:
    struct Impl;
    explicit FontRasterizer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace tb
