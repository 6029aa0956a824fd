// The drawing actions: every position relative to the calling instance when the relative box
// is ticked.
#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/background.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "script/errors.h"

namespace tb {

namespace {

using namespace actions;

RValue X(ScriptEngine& e, CInstance* self, const RValue& v) {
    return Real(RelX(e, self, v));
}
RValue Y(ScriptEngine& e, CInstance* self, const RValue& v) {
    return Real(RelY(e, self, v));
}
RValue Bool(bool b) {
    return Real(b ? 1 : 0);
}

// (sprite, x, y, subimage); a negative subimage draws the caller's image_index.
TB_ACTION(action_draw_sprite) {
    if (!e.game || !e.game->sprites.Get(Int(a[0]))) {
        ShowRuntimeError(e, "Trying to draw a non-existing sprite.", false);
        return;
    }
    CallBuiltin<4>(kDrawSprite, e, self, other, {a[0], a[3], X(e, self, a[1]), Y(e, self, a[2])});
}

// (background, x, y, tiled).
TB_ACTION(action_draw_background) {
    if (!e.game || !e.game->backgrounds.Get(Int(a[0]))) {
        ShowRuntimeError(e, "Trying to draw a non-existing background.", false);
        return;
    }
    CallBuiltin<3>(Flag(a[3]) ? kDrawBackgroundTiled : kDrawBackground, e, self, other,
                   {a[0], X(e, self, a[1]), Y(e, self, a[2])});
}

// (text, x, y).
TB_ACTION(action_draw_text) {
    CallBuiltin<3>(kDrawText, e, self, other, {X(e, self, a[1]), Y(e, self, a[2]), a[0]});
}

// (text, x, y, xscale, yscale, angle).
TB_ACTION(action_draw_text_transformed) {
    CallBuiltin<6>(kDrawTextTransformed, e, self, other,
                   {X(e, self, a[1]), Y(e, self, a[2]), a[0], a[3], a[4], a[5]});
}

// The four corners of a box argument list (x1, y1, x2, y2) taken relative.
struct Box {
    RValue x1, y1, x2, y2;
};
Box BoxOf(ScriptEngine& e, CInstance* self, const RValue* a) {
    return {X(e, self, a[0]), Y(e, self, a[1]), X(e, self, a[2]), Y(e, self, a[3])};
}

// (x1, y1, x2, y2, filled).
TB_ACTION(action_draw_rectangle) {
    const Box b = BoxOf(e, self, a);
    CallBuiltin<5>(kDrawRectangle, e, self, other, {b.x1, b.y1, b.x2, b.y2, Bool(!Flag(a[4]))});
}

// (x1, y1, x2, y2, colour 1, colour 2): colour 1 on the left, colour 2 on the right.
TB_ACTION(action_draw_gradient_hor) {
    const Box b = BoxOf(e, self, a);
    CallBuiltin<9>(kDrawRectangleColor, e, self, other,
                   {b.x1, b.y1, b.x2, b.y2, a[4], a[5], a[5], a[4], Bool(false)});
}

// Colour 1 at the top, colour 2 at the bottom.
TB_ACTION(action_draw_gradient_vert) {
    const Box b = BoxOf(e, self, a);
    CallBuiltin<9>(kDrawRectangleColor, e, self, other,
                   {b.x1, b.y1, b.x2, b.y2, a[4], a[4], a[5], a[5], Bool(false)});
}

TB_ACTION(action_draw_ellipse) {
    const Box b = BoxOf(e, self, a);
    CallBuiltin<5>(kDrawEllipse, e, self, other, {b.x1, b.y1, b.x2, b.y2, Bool(!Flag(a[4]))});
}

// Colour 1 in the centre, colour 2 on the rim.
TB_ACTION(action_draw_ellipse_gradient) {
    const Box b = BoxOf(e, self, a);
    CallBuiltin<7>(kDrawEllipseColor, e, self, other,
                   {b.x1, b.y1, b.x2, b.y2, a[4], a[5], Bool(false)});
}

TB_ACTION(action_draw_line) {
    const Box b = BoxOf(e, self, a);
    CallBuiltin<4>(kDrawLine, e, self, other, {b.x1, b.y1, b.x2, b.y2});
}

TB_ACTION(action_draw_arrow) {
    const Box b = BoxOf(e, self, a);
    CallBuiltin<5>(kDrawArrow, e, self, other, {b.x1, b.y1, b.x2, b.y2, a[4]});
}

TB_ACTION(action_color) {
    CallBuiltin<1>(kDrawSetColor, e, self, other, {a[0]});
}

// (font, horizontal alignment).
TB_ACTION(action_font) {
    CallBuiltin<1>(kDrawSetFont, e, self, other, {a[0]});
    CallBuiltin<1>(kDrawSetHalign, e, self, other, {a[1]});
}

// Kept for old games: they do nothing.
TB_ACTION(action_draw_font) {}
TB_ACTION(action_draw_font_old) {}
TB_ACTION(action_fill_color) {}
TB_ACTION(action_line_color) {}

}  // namespace

void RegisterDrawingActions(FunctionRegistry& r) {
    r.Register("action_draw_sprite", &action_draw_sprite, 4);
    r.Register("action_draw_background", &action_draw_background, 4);
    r.Register("action_draw_text", &action_draw_text, 3);
    r.Register("action_draw_text_transformed", &action_draw_text_transformed, 6);
    r.Register("action_draw_rectangle", &action_draw_rectangle, 5);
    r.Register("action_draw_gradient_hor", &action_draw_gradient_hor, 6);
    r.Register("action_draw_gradient_vert", &action_draw_gradient_vert, 6);
    r.Register("action_draw_ellipse", &action_draw_ellipse, 5);
    r.Register("action_draw_ellipse_gradient", &action_draw_ellipse_gradient, 6);
    r.Register("action_draw_line", &action_draw_line, 4);
    r.Register("action_draw_arrow", &action_draw_arrow, 5);
    r.Register("action_color", &action_color, 1);
    r.Register("action_font", &action_font, 2);
    r.Register("action_draw_font", &action_draw_font, 1);
    r.Register("action_draw_font_old", &action_draw_font_old, 6);
    r.Register("action_fill_color", &action_fill_color, 1);
    r.Register("action_line_color", &action_line_color, 1);
}

}  // namespace tb
