#include "functions/resource_rules.h"

#include "graphics/fonts.h"
#include "graphics/graphics.h"
#include "graphics/pictures.h"
#include "system/paths.h"

namespace tb::resource_rules {

void RegisterNameFunctions(FunctionRegistry& r, std::string_view prefix, Handler exists,
                           Handler name) {
    const std::string p(prefix);
    r.Register(p + "_exists", exists, 1);
    r.Register(p + "_name", name, 1);
    r.Register(p + "_get_name", name, 1);
}

TextureTable* Textures(ScriptEngine& e) {
    return e.graphics ? &e.graphics->textures : nullptr;
}

void FreeTextures(ScriptEngine& e, CSprite& s) {
    if (TextureTable* t = Textures(e)) FreeSpriteTextures(*t, s);
    s.textures.assign(s.frames.size(), -1);
}

void MakeTextures(ScriptEngine& e, CSprite& s) {
    if (TextureTable* t = Textures(e)) CreateSpriteTextures(*t, s);
}

void FreeTextures(ScriptEngine& e, CBackground& b) {
    if (TextureTable* t = Textures(e)) FreeBackgroundTexture(*t, b);
    b.texture = -1;
}

void MakeTextures(ScriptEngine& e, CBackground& b) {
    if (TextureTable* t = Textures(e)) CreateBackgroundTexture(*t, b);
}

void FreeTextures(ScriptEngine& e, CFont& f) {
    if (TextureTable* t = Textures(e)) FreeFontTexture(*t, f);
    f.texture = -1;
}

void MakeTextures(ScriptEngine& e, CFont& f) {
    if (TextureTable* t = Textures(e)) CreateFontTexture(*t, f);
}

bool PictureSizeAllowed(int64_t w, int64_t h) {
    w = std::max<int64_t>(w, 1);
    h = std::max<int64_t>(h, 1);
    return w <= kMaxPictureSide && h <= kMaxPictureSide && w * h <= kMaxPicturePixels;
}

std::string GamePath(const RValue& name) {
    return HostPath(TextArg(name));
}

}  // namespace tb::resource_rules
