// Font resources at run time: properties, fonts rasterised from system fonts or made from
// sprites, replacing and deleting them.
#include <memory>

#include "functions/register.h"
#include "functions/resource_rules.h"
#include "graphics/fonts.h"
#include "resources/font.h"
#include "resources/sprite.h"

namespace tb {

namespace {

using namespace resource_rules;

std::string FontNameOf(const CFont& f) {
    return f.SpriteIndex >= 0 ? std::string() : f.FontName;
}
double SizeOf(const CFont& f) {
    return f.Size;
}
double BoldOf(const CFont& f) {
    return f.Bold;
}
double ItalicOf(const CFont& f) {
    return f.Italic;
}
double FirstOf(const CFont& f) {
    return f.First;
}
double LastOf(const CFont& f) {
    return f.Last;
}

// (name, size, bold, italic, first, last)
std::unique_ptr<CFont> Rendered(const RValue* a) {
    auto f = std::make_unique<CFont>();
    // A font that no system font matches still gets its fields; it draws nothing.
    RasterizeFont(*f, TextArg(a[0]), IntArg(a[1]), FlagArg(a[2]), FlagArg(a[3]), IntArg(a[4]),
                  IntArg(a[5]));
    return f;
}

// (first, prop, sep) of the sprite font of sprite `spr`.
std::unique_ptr<CFont> FromSprite(ScriptEngine& e, int32_t sprite, const RValue* a) {
    auto f = std::make_unique<CFont>();
    CreateFontFromSprite(*f, e.game->sprites, sprite, IntArg(a[0]), FlagArg(a[1]), IntArg(a[2]));
    return f;
}

int32_t AppendFont(ScriptEngine& e, std::unique_ptr<CFont> f) {
    MakeTextures(e, *f);
    return Append(*e.game, std::move(f));
}

void Replace(ScriptEngine& e, CFont& to, std::unique_ptr<CFont> from) {
    ChangeImages(e, to, [&] { to = std::move(*from); });
}

void font_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.SetReal(-1);
    if (e.game) result.SetReal(AppendFont(e, Rendered(args)));
}

void font_replace(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                  const RValue* args) {
    CFont* f = Require<CFont>(e, args[0], "Trying to replace non-existing font.");
    if (!f) return;
    Replace(e, *f, Rendered(args + 1));
    result.SetReal(1);
}

void font_add_sprite(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                     const RValue* args) {
    result.SetReal(-1);
    if (!Require<CSprite>(e, args[0], "Trying to create font from non-existing sprite.")) return;
    result.SetReal(AppendFont(e, FromSprite(e, IndexArg(args[0]), args + 1)));
}

void font_replace_sprite(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                         const RValue* args) {
    CFont* f = Require<CFont>(e, args[0], "Trying to replace non-existing font.");
    if (!f) return;
    if (!Require<CSprite>(e, args[1], "Trying to replace font from non-existing sprite.")) return;
    Replace(e, *f, FromSprite(e, IndexArg(args[1]), args + 2));
    result.SetReal(1);
}

void font_delete(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    CFont* f = Require<CFont>(e, args[0], "Trying to delete non-existing font.");
    if (!f) return;
    FreeTextures(e, *f);
    Retire<CFont>(*e.game, IndexArg(args[0]));
    result.SetReal(1);
}

}  // namespace

void RegisterFontResourceFunctions(FunctionRegistry& r) {
    RegisterNameFunctions(r, "font", &ExistsFunction<CFont>, &NameFunction<CFont>);
    r.Register("font_get_fontname", &TextGetter<CFont, &FontNameOf>, 1);
    r.Register("font_get_size", &NumberGetter<CFont, &SizeOf>, 1);
    r.Register("font_get_bold", &NumberGetter<CFont, &BoldOf>, 1);
    r.Register("font_get_italic", &NumberGetter<CFont, &ItalicOf>, 1);
    r.Register("font_get_first", &NumberGetter<CFont, &FirstOf>, 1);
    r.Register("font_get_last", &NumberGetter<CFont, &LastOf>, 1);
    r.Register("font_add", &font_add, 6);
    r.Register("font_replace", &font_replace, 7);
    r.Register("font_add_sprite", &font_add_sprite, 4);
    r.Register("font_replace_sprite", &font_replace_sprite, 5);
    r.Register("font_delete", &font_delete, 1);
}

}  // namespace tb
