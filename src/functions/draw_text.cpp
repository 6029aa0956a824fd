// Fonts, alignment, text metrics and text drawing.
#include <algorithm>
#include <climits>
#include <string>

#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/colors.h"
#include "graphics/fonts.h"
#include "graphics/graphics.h"
#include "graphics/text.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/real_text.h"

namespace tb {

namespace {

using Args = const RValue*;

// A real in the place of a text: a whole number without decimals, else two decimals.
class TextArg {
  public:
    explicit TextArg(const RValue& v) {
        if (v.IsString()) {
            view_ = v.text.view();
        } else {
            number_ = RealToString(v.real);
            view_ = number_;
        }
    }
    TextArg(const TextArg&) = delete;
    TextArg& operator=(const TextArg&) = delete;
    std::string_view view() const { return view_; }

  private:
    std::string number_;
    std::string_view view_;
};

int32_t Int(const RValue& v) {
    return int32_t(std::clamp<int64_t>(RoundToInt64(v.real), INT32_MIN, INT32_MAX));
}

TextStyle Transformed(Args scales) {
    TextStyle s;
    s.transformed = true;
    s.xscale = scales[0].real;
    s.yscale = scales[1].real;
    s.angle = scales[2].real;
    return s;
}
void SetGradient(TextStyle& s, Args colors) {
    s.gradient = true;
    s.c1 = ColorArgument(colors[0].real);
    s.c2 = ColorArgument(colors[1].real);
    s.c3 = ColorArgument(colors[2].real);
    s.c4 = ColorArgument(colors[3].real);
    s.alpha = colors[4].real;
}

void Draw(ScriptEngine& e, Args a, int32_t sep, int32_t width, const TextStyle& style) {
    if (e.graphics)
        DrawText(*e.graphics, e.game, a[0].real, a[1].real, TextArg(a[2]).view(), sep, width,
                 style);
}

void draw_set_font(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    Graphics* g = e.graphics;
    if (!g) return;
    const int32_t f = Int(a[0]);
    g->draw.font = e.game && e.game->fonts.Exists(f) ? f : -1;
    if (g->draw.font < 0) CurrentFont(*g, e.game);  // the default font is made now
}
void draw_set_halign(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (e.graphics) e.graphics->draw.SetHalign(Int(a[0]));
}
void draw_set_valign(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    if (e.graphics) e.graphics->draw.SetValign(Int(a[0]));
}
void string_width(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (e.graphics)
        result.real = StringWidth(CurrentFont(*e.graphics, e.game), TextArg(a[0]).view());
}
void string_height(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (e.graphics)
        result.real = StringHeight(CurrentFont(*e.graphics, e.game), TextArg(a[0]).view());
}
void string_width_ext(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (e.graphics)
        result.real =
            StringWidth(CurrentFont(*e.graphics, e.game), TextArg(a[0]).view(), Int(a[2]));
}
void string_height_ext(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (e.graphics)
        result.real = StringHeight(CurrentFont(*e.graphics, e.game), TextArg(a[0]).view(),
                                   Int(a[1]), Int(a[2]));
}
void draw_text(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    Draw(e, a, -1, -1, TextStyle{});
}
void draw_text_ext(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    Draw(e, a, Int(a[3]), Int(a[4]), TextStyle{});
}
void draw_text_transformed(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    Draw(e, a, -1, -1, Transformed(a + 3));
}
void draw_text_ext_transformed(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    Draw(e, a, Int(a[3]), Int(a[4]), Transformed(a + 5));
}
void draw_text_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    TextStyle s;
    SetGradient(s, a + 3);
    Draw(e, a, -1, -1, s);
}
void draw_text_transformed_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    TextStyle s = Transformed(a + 3);
    SetGradient(s, a + 6);
    Draw(e, a, -1, -1, s);
}
void draw_text_ext_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, Args a) {
    TextStyle s;
    SetGradient(s, a + 5);
    Draw(e, a, Int(a[3]), Int(a[4]), s);
}
void draw_text_ext_transformed_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue&,
                                     Args a) {
    TextStyle s = Transformed(a + 5);
    SetGradient(s, a + 8);
    Draw(e, a, Int(a[3]), Int(a[4]), s);
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kDrawText = &draw_text;
const BuiltinFunction kDrawTextTransformed = &draw_text_transformed;
const BuiltinFunction kDrawSetFont = &draw_set_font;
const BuiltinFunction kDrawSetHalign = &draw_set_halign;

void RegisterDrawTextFunctions(FunctionRegistry& r) {
    r.Register("draw_set_font", &draw_set_font, 1);
    r.Register("draw_set_halign", &draw_set_halign, 1);
    r.Register("draw_set_valign", &draw_set_valign, 1);
    r.Register("string_width", &string_width, 1);
    r.Register("string_height", &string_height, 1);
    r.Register("string_width_ext", &string_width_ext, 3);
    r.Register("string_height_ext", &string_height_ext, 3);
    r.Register("draw_text", &draw_text, 3);
    r.Register("draw_text_ext", &draw_text_ext, 5);
    r.Register("draw_text_transformed", &draw_text_transformed, 6);
    r.Register("draw_text_ext_transformed", &draw_text_ext_transformed, 8);
    r.Register("draw_text_color", &draw_text_color, 8);
    r.Register("draw_text_transformed_color", &draw_text_transformed_color, 11);
    r.Register("draw_text_ext_color", &draw_text_ext_color, 10);
    r.Register("draw_text_ext_transformed_color", &draw_text_ext_transformed_color, 13);
}

}  // namespace tb
