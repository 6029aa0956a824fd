// Untextured shapes and the free primitive builder. Coordinates are room coordinates used
// unchanged; colours are BGR and every shape uses the draw alpha.
#pragma once

#include <cstdint>

namespace tb {

struct Graphics;
struct DrawState;
class CPath;

// Device primitive kinds as scripts number them (pr_pointlist = 1 ... pr_trianglefan = 6).
constexpr int32_t kPrPointList = 1;
constexpr int32_t kPrTriangleFan = 6;

void DrawPoint(Graphics& g, double x, double y, uint32_t color);
void DrawLine(Graphics& g, double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2);
// A quad of width w around the line; nothing for a line of length 0.
void DrawLineWidth(Graphics& g, double x1, double y1, double x2, double y2, double w, uint32_t c1,
                   uint32_t c2);
// Corners sorted; a whole right or bottom edge is moved out by 0.01 so that it is covered.
// c1 .. c4: top-left, top-right, bottom-right, bottom-left.
void DrawRectangle(Graphics& g, double x1, double y1, double x2, double y2, uint32_t c1,
                   uint32_t c2, uint32_t c3, uint32_t c4, bool outline);
// c1 at the centre of a filled one, c2 on the rim (and the whole outline).
void DrawRoundRect(Graphics& g, double x1, double y1, double x2, double y2, uint32_t c1,
                   uint32_t c2, bool outline);
void DrawTriangle(Graphics& g, double x1, double y1, double x2, double y2, double x3, double y3,
                  uint32_t c1, uint32_t c2, uint32_t c3, bool outline);
void DrawEllipse(Graphics& g, double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2,
                 bool outline);
// In the draw colour: the line and a filled head of length size at (x2, y2).
void DrawArrow(Graphics& g, double x1, double y1, double x2, double y2, double size);
void DrawButton(Graphics& g, double x1, double y1, double x2, double y2, bool up);
void DrawHealthbar(Graphics& g, double x1, double y1, double x2, double y2, double amount,
                   uint32_t back_color, uint32_t min_color, uint32_t max_color, int32_t direction,
                   bool show_back, bool show_border);
// Through the primitive builder (a pending primitive is replaced), in the draw colour.
void DrawPath(Graphics& g, const CPath& path, double x, double y, bool absolute);

// The builder: begin empties it; vertices past 1001 are ignored; end draws what it holds
// (and keeps it). Texture coordinates span the whole texture (0 .. 1).
void PrimitiveBegin(DrawState& d, int32_t kind, int32_t texture);
void PrimitiveVertex(Graphics& g, double x, double y, double u, double v, uint32_t color,
                     double alpha);
void PrimitiveEnd(Graphics& g);

}  // namespace tb
