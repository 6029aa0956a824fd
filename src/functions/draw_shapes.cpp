// Draw state, colours, blend modes, shapes and the free primitive builder.
#include <algorithm>
#include <climits>

#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/colors.h"
#include "graphics/graphics.h"
#include "graphics/primitives.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "world/world.h"

namespace tb {

namespace {

using Args = const RValue*;

uint32_t Col(const RValue& v) {
    return ColorArgument(v.real);
}
bool Flag(const RValue& v) {
    return IsTrue(v.real);
}
// Rounded, saturating at the ends of the 32-bit range.
int32_t Int(const RValue& v) {
    return int32_t(std::clamp<int64_t>(RoundToInt64(v.real), INT32_MIN, INT32_MAX));
}

// --- draw state and colours

void draw_getpixel(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, Args args) {
    Graphics* g = e.graphics;
    if (!g) return;
    const int slot = e.world ? e.world->view_current : 0;
    double rx = 0, ry = 0;
    g->window.RoomToView(slot, args[0].real, args[1].real, rx, ry);
    // Capture reads the back buffer, even while a surface is the target.
    const CBitmap32 b = g->device.Capture(RoundToInt32(rx), RoundToInt32(ry), 1, 1);
    if (!b.exists || b.pixels.empty()) return;
    const uint32_t p = b.pixels[0];
    result.real = double(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
}
void draw_set_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args args) {
    if (e.graphics) e.graphics->draw.SetColor(Col(args[0]));
}
void draw_set_alpha(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args args) {
    if (e.graphics) e.graphics->draw.SetAlpha(args[0].real);
}
void draw_get_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, Args) {
    if (e.graphics) result.real = e.graphics->draw.ColorBgr();
}
void draw_get_alpha(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, Args) {
    if (e.graphics) result.real = e.graphics->draw.alpha;
}
void make_color_rgb(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = MakeColorRgb(args[0].real, args[1].real, args[2].real);
}
void make_color_hsv(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = MakeColorHsv(args[0].real, args[1].real, args[2].real);
}
void color_get_red(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = ColorGetRed(args[0].real);
}
void color_get_green(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = ColorGetGreen(args[0].real);
}
void color_get_blue(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = ColorGetBlue(args[0].real);
}
void color_get_hue(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = ColorGetHue(args[0].real);
}
void color_get_saturation(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = ColorGetSaturation(args[0].real);
}
void color_get_value(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = ColorGetValue(args[0].real);
}
void merge_color(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args args) {
    result.real = MergeColor(Col(args[0]), Col(args[1]), args[2].real);
}
void draw_set_blend_mode(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args args) {
    Graphics* g = e.graphics;
    if (!g) return;
    switch (Int(args[0])) {
        case 1:
            g->device.SetBlend(BlendFactor::SrcAlpha, BlendFactor::One);
            break;
        case 2:
            g->device.SetBlend(BlendFactor::SrcAlpha, BlendFactor::InvSrcColor);
            break;
        case 3:
            g->device.SetBlend(BlendFactor::Zero, BlendFactor::InvSrcColor);
            break;
        default:
            g->device.SetBlend(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
            break;
    }
}
void draw_set_blend_mode_ext(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args args) {
    Graphics* g = e.graphics;
    if (!g) return;
    const int32_t src = Int(args[0]), dest = Int(args[1]);
    auto valid = [](int32_t f) {
        return f >= int32_t(BlendFactor::Zero) && f <= int32_t(BlendFactor::SrcAlphaSat);
    };
    // A factor the device does not know leaves the blending as it was.
    if (valid(src) && valid(dest)) g->device.SetBlend(BlendFactor(src), BlendFactor(dest));
}
void draw_clear(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args args) {
    if (e.graphics) e.graphics->device.Clear(DeviceColor(Col(args[0]), 1));
}
void draw_clear_alpha(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args args) {
    if (e.graphics) e.graphics->device.Clear(DeviceColor(Col(args[0]), args[1].real));
}

// --- shapes

void draw_point(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) DrawPoint(*g, a[0].real, a[1].real, g->draw.ColorBgr());
}
void draw_point_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) DrawPoint(*g, a[0].real, a[1].real, Col(a[2]));
}
void draw_line(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) {
        const uint32_t c = g->draw.ColorBgr();
        DrawLine(*g, a[0].real, a[1].real, a[2].real, a[3].real, c, c);
    }
}
void draw_line_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawLine(*g, a[0].real, a[1].real, a[2].real, a[3].real, Col(a[4]), Col(a[5]));
}
void draw_line_width(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) {
        const uint32_t c = g->draw.ColorBgr();
        DrawLineWidth(*g, a[0].real, a[1].real, a[2].real, a[3].real, a[4].real, c, c);
    }
}
void draw_line_width_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawLineWidth(*g, a[0].real, a[1].real, a[2].real, a[3].real, a[4].real, Col(a[5]),
                      Col(a[6]));
}
void draw_rectangle(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) {
        const uint32_t c = g->draw.ColorBgr();
        DrawRectangle(*g, a[0].real, a[1].real, a[2].real, a[3].real, c, c, c, c, Flag(a[4]));
    }
}
void draw_rectangle_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawRectangle(*g, a[0].real, a[1].real, a[2].real, a[3].real, Col(a[4]), Col(a[5]),
                      Col(a[6]), Col(a[7]), Flag(a[8]));
}
void draw_roundrect(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) {
        const uint32_t c = g->draw.ColorBgr();
        DrawRoundRect(*g, a[0].real, a[1].real, a[2].real, a[3].real, c, c, Flag(a[4]));
    }
}
void draw_roundrect_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawRoundRect(*g, a[0].real, a[1].real, a[2].real, a[3].real, Col(a[4]), Col(a[5]),
                      Flag(a[6]));
}
void draw_triangle(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) {
        const uint32_t c = g->draw.ColorBgr();
        DrawTriangle(*g, a[0].real, a[1].real, a[2].real, a[3].real, a[4].real, a[5].real, c, c, c,
                     Flag(a[6]));
    }
}
void draw_triangle_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawTriangle(*g, a[0].real, a[1].real, a[2].real, a[3].real, a[4].real, a[5].real,
                     Col(a[6]), Col(a[7]), Col(a[8]), Flag(a[9]));
}
void draw_circle(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) {
        const uint32_t c = g->draw.ColorBgr();
        const double x = a[0].real, y = a[1].real, r = a[2].real;
        DrawEllipse(*g, x - r, y - r, x + r, y + r, c, c, Flag(a[3]));
    }
}
void draw_circle_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) {
        const double x = a[0].real, y = a[1].real, r = a[2].real;
        DrawEllipse(*g, x - r, y - r, x + r, y + r, Col(a[3]), Col(a[4]), Flag(a[5]));
    }
}
void draw_ellipse(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics) {
        const uint32_t c = g->draw.ColorBgr();
        DrawEllipse(*g, a[0].real, a[1].real, a[2].real, a[3].real, c, c, Flag(a[4]));
    }
}
void draw_ellipse_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawEllipse(*g, a[0].real, a[1].real, a[2].real, a[3].real, Col(a[4]), Col(a[5]),
                    Flag(a[6]));
}
void draw_arrow(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawArrow(*g, a[0].real, a[1].real, a[2].real, a[3].real, a[4].real);
}
void draw_button(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawButton(*g, a[0].real, a[1].real, a[2].real, a[3].real, Flag(a[4]));
}
void draw_healthbar(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        DrawHealthbar(*g, a[0].real, a[1].real, a[2].real, a[3].real, a[4].real, Col(a[5]),
                      Col(a[6]), Col(a[7]), Int(a[8]), Flag(a[9]), Flag(a[10]));
}
void draw_path(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    Graphics* g = e.graphics;
    if (!g) return;
    const CPath* path = e.game ? e.game->paths.Get(Int(a[0])) : nullptr;
    if (!path) {
        ShowRuntimeError(e, "Trying to drawn non-existing path.", false);
        return;
    }
    DrawPath(*g, *path, a[1].real, a[2].real, Flag(a[3]));
}
void draw_set_circle_precision(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (e.graphics) e.graphics->draw.SetCirclePrecision(Int(a[0]));
}

// --- the primitive builder

void draw_primitive_begin(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (e.graphics) PrimitiveBegin(e.graphics->draw, Int(a[0]), -1);
}
void draw_primitive_begin_texture(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (e.graphics) PrimitiveBegin(e.graphics->draw, Int(a[0]), Int(a[1]));
}
void draw_primitive_end(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args) {
    if (e.graphics) PrimitiveEnd(*e.graphics);
}
void draw_vertex(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        PrimitiveVertex(*g, a[0].real, a[1].real, 0, 0, g->draw.ColorBgr(), g->draw.alpha);
}
void draw_vertex_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        PrimitiveVertex(*g, a[0].real, a[1].real, 0, 0, Col(a[2]), a[3].real);
}
void draw_vertex_texture(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        PrimitiveVertex(*g, a[0].real, a[1].real, a[2].real, a[3].real, g->draw.ColorBgr(),
                        g->draw.alpha);
}
void draw_vertex_texture_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (Graphics* g = e.graphics)
        PrimitiveVertex(*g, a[0].real, a[1].real, a[2].real, a[3].real, Col(a[4]), a[5].real);
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kDrawLine = &draw_line;
const BuiltinFunction kDrawRectangle = &draw_rectangle;
const BuiltinFunction kDrawRectangleColor = &draw_rectangle_color;
const BuiltinFunction kDrawEllipse = &draw_ellipse;
const BuiltinFunction kDrawEllipseColor = &draw_ellipse_color;
const BuiltinFunction kDrawArrow = &draw_arrow;
const BuiltinFunction kDrawSetColor = &draw_set_color;

void RegisterDrawShapeFunctions(FunctionRegistry& r) {
    r.Register("draw_getpixel", &draw_getpixel, 2);
    r.Register("draw_set_color", &draw_set_color, 1);
    r.Register("draw_set_alpha", &draw_set_alpha, 1);
    r.Register("draw_get_color", &draw_get_color, 0);
    r.Register("draw_get_alpha", &draw_get_alpha, 0);
    r.Register("make_color", &make_color_rgb, 3);
    r.Register("make_color_rgb", &make_color_rgb, 3);
    r.Register("make_color_hsv", &make_color_hsv, 3);
    r.Register("color_get_red", &color_get_red, 1);
    r.Register("color_get_green", &color_get_green, 1);
    r.Register("color_get_blue", &color_get_blue, 1);
    r.Register("color_get_hue", &color_get_hue, 1);
    r.Register("color_get_saturation", &color_get_saturation, 1);
    r.Register("color_get_value", &color_get_value, 1);
    r.Register("merge_color", &merge_color, 3);
    r.Register("draw_set_blend_mode", &draw_set_blend_mode, 1);
    r.Register("draw_set_blend_mode_ext", &draw_set_blend_mode_ext, 2);
    r.Register("draw_clear", &draw_clear, 1);
    r.Register("draw_clear_alpha", &draw_clear_alpha, 2);

    r.Register("draw_point", &draw_point, 2);
    r.Register("draw_line", &draw_line, 4);
    r.Register("draw_line_width", &draw_line_width, 5);
    r.Register("draw_rectangle", &draw_rectangle, 5);
    r.Register("draw_roundrect", &draw_roundrect, 5);
    r.Register("draw_triangle", &draw_triangle, 7);
    r.Register("draw_circle", &draw_circle, 4);
    r.Register("draw_ellipse", &draw_ellipse, 5);
    r.Register("draw_arrow", &draw_arrow, 5);
    r.Register("draw_button", &draw_button, 5);
    r.Register("draw_healthbar", &draw_healthbar, 11);
    r.Register("draw_path", &draw_path, 4);
    r.Register("draw_point_color", &draw_point_color, 3);
    r.Register("draw_line_color", &draw_line_color, 6);
    r.Register("draw_line_width_color", &draw_line_width_color, 7);
    r.Register("draw_rectangle_color", &draw_rectangle_color, 9);
    r.Register("draw_roundrect_color", &draw_roundrect_color, 7);
    r.Register("draw_triangle_color", &draw_triangle_color, 10);
    r.Register("draw_circle_color", &draw_circle_color, 6);
    r.Register("draw_ellipse_color", &draw_ellipse_color, 7);
    r.Register("draw_set_circle_precision", &draw_set_circle_precision, 1);

    r.Register("draw_primitive_begin", &draw_primitive_begin, 1);
    r.Register("draw_primitive_begin_texture", &draw_primitive_begin_texture, 2);
    r.Register("draw_primitive_end", &draw_primitive_end, 0);
    r.Register("draw_vertex", &draw_vertex, 2);
    r.Register("draw_vertex_color", &draw_vertex_color, 4);
    r.Register("draw_vertex_texture", &draw_vertex_texture, 4);
    r.Register("draw_vertex_texture_color", &draw_vertex_texture_color, 6);
}

}  // namespace tb
