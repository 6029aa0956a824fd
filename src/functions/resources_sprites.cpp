// Sprite resources at run time: properties, frames from files, the screen and surfaces,
// copies, merges, deletion and saving frames.
#include <memory>

#include "functions/register.h"
#include "functions/resource_rules.h"
#include "functions/shared_handlers.h"
#include "graphics/bmp.h"
#include "graphics/graphics.h"
#include "resources/sprite.h"
#include "system/file_bytes.h"

namespace tb {

namespace {

using namespace resource_rules;

double FrameCountOf(const CSprite& s) {
    return s.FrameCount();
}
double WidthOf(const CSprite& s) {
    return s.Width;
}
double HeightOf(const CSprite& s) {
    return s.Height;
}
double TransparentOf(const CSprite& s) {
    return s.Transparent;
}
double SmoothOf(const CSprite& s) {
    return s.SmoothEdges;
}
double PreloadOf(const CSprite& s) {
    return s.Preload;
}
double PreciseOf(const CSprite& s) {
    return s.Precise;
}
double XOffsetOf(const CSprite& s) {
    return s.XOrigin;
}
double YOffsetOf(const CSprite& s) {
    return s.YOrigin;
}
double BBoxModeOf(const CSprite& s) {
    return s.BBoxMode;
}
double BBoxLeftOf(const CSprite& s) {
    return s.BBoxLeft;
}
double BBoxRightOf(const CSprite& s) {
    return s.BBoxRight;
}
double BBoxTopOf(const CSprite& s) {
    return s.BBoxTop;
}
double BBoxBottomOf(const CSprite& s) {
    return s.BBoxBottom;
}

void SetOffset(ScriptEngine&, CSprite& s, const RValue* a) {
    s.XOrigin = IntArg(a[0]);
    s.YOrigin = IntArg(a[1]);
}

void SetBBoxMode(ScriptEngine&, CSprite& s, const RValue* a) {
    s.SetBBoxMode(IntArg(a[0]));
}

void SetBBox(ScriptEngine&, CSprite& s, const RValue* a) {
    s.SetBBox(IntArg(a[0]), IntArg(a[1]), IntArg(a[2]), IntArg(a[3]));
}

void SetPrecise(ScriptEngine&, CSprite& s, const RValue* a) {
    s.SetPrecise(FlagArg(a[0]));
}

void sprite_set_alpha_from_sprite(ScriptEngine& e, CInstance*, CInstance*, int, RValue&,
                                  const RValue* args) {
    CSprite* s = Lookup<CSprite>(e, args[0]);
    const CSprite* from = Lookup<CSprite>(e, args[1]);
    if (!s || !from) return;
    ChangeImages(e, *s, [&] { s->SetAlphaFrom(*from); });
}

// --- new sprites

int32_t AppendSprite(ScriptEngine& e, std::unique_ptr<CSprite> s) {
    MakeTextures(e, *s);
    return Append(*e.game, std::move(s));
}

// (fname, imgnumb, precise, transparent, smooth, preload, xorig, yorig) of a file load.
struct FileLoad {
    std::string path;
    int32_t imgnumb = 1;
    bool alpha = false, precise = false, transparent = false, smooth = false, preload = false;
    int32_t xorig = 0, yorig = 0;

    bool Into(CSprite& s) const {
        return s.LoadFromFile(path, imgnumb, alpha, precise, transparent, smooth, preload, xorig,
                              yorig);
    }
};

FileLoad PlainLoad(const RValue* a) {
    return {GamePath(a[0]),  IntArg(a[1]),    false,        FlagArg(a[2]), FlagArg(a[3]),
            FlagAbove(a[4]), FlagAbove(a[5]), IntArg(a[6]), IntArg(a[7])};
}

// (fname, imgnumb, precise, preload, xorig, yorig): transparent set, smooth not.
FileLoad AlphaLoad(const RValue* a) {
    return {GamePath(a[0]), IntArg(a[1]),    true,         FlagArg(a[2]), true,
            false,          FlagAbove(a[3]), IntArg(a[4]), IntArg(a[5])};
}

void AddFromFile(ScriptEngine& e, RValue& result, const FileLoad& load) {
    result.SetReal(-1);
    if (!e.game) return;
    auto s = std::make_unique<CSprite>();
    if (!load.Into(*s)) return;
    result.SetReal(AppendSprite(e, std::move(s)));
}

void ReplaceFromFile(ScriptEngine& e, RValue& result, const RValue& index, const FileLoad& load) {
    CSprite* s = Require<CSprite>(e, index, "Trying to replace non-existing sprite.");
    if (!s) return;
    CSprite loaded;
    if (!load.Into(loaded)) return;
    ChangeImages(e, *s, [&] { *s = std::move(loaded); });
    result.SetReal(1);
}

void sprite_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    AddFromFile(e, result, PlainLoad(args));
}

void sprite_add_alpha(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                      const RValue* args) {
    AddFromFile(e, result, AlphaLoad(args));
}

void sprite_replace(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    ReplaceFromFile(e, result, args[0], PlainLoad(args + 1));
}

void sprite_replace_alpha(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                          const RValue* args) {
    ReplaceFromFile(e, result, args[0], AlphaLoad(args + 1));
}

// The area of the back buffer (opaque) or of a surface (with its alpha); missing when
// nothing can be captured or the area could never be a picture.
CBitmap32 CaptureScreen(ScriptEngine& e, const RValue* a) {
    const int32_t w = IntArg(a[2]), h = IntArg(a[3]);
    if (!e.graphics || w <= 0 || h <= 0 || !PictureSizeAllowed(w, h)) return {};
    CBitmap32 b = e.graphics->device.Capture(IntArg(a[0]), IntArg(a[1]), w, h);
    for (uint32_t& p : b.pixels) p |= 0xFF000000u;
    return b;
}

CBitmap32 CaptureSurface(ScriptEngine& e, const RValue& id, const RValue* a) {
    const int32_t w = IntArg(a[2]), h = IntArg(a[3]);
    if (!e.graphics || w <= 0 || h <= 0 || !PictureSizeAllowed(w, h)) return {};
    const int32_t surface = IndexArg(id);
    if (!e.graphics->surfaces.Exists(surface)) return {};
    return e.graphics->surfaces.Capture(surface, IntArg(a[0]), IntArg(a[1]), w, h);
}

// (precise, transparent, smooth, preload, xorig, yorig), flags above 0.5.
void CreateFromBitmap(ScriptEngine& e, RValue& result, const CBitmap32& b, bool with_alpha,
                      const RValue* a) {
    result.SetReal(-1);
    if (!e.game) return;
    auto s = std::make_unique<CSprite>();
    if (!s->LoadFromBitmap(b, with_alpha, FlagAbove(a[0]), FlagAbove(a[1]), FlagAbove(a[2]),
                           FlagAbove(a[3]), IntArg(a[4]), IntArg(a[5])))
        return;
    result.SetReal(AppendSprite(e, std::move(s)));
}

void sprite_create_from_screen(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                               const RValue* args) {
    CreateFromBitmap(e, result, CaptureScreen(e, args), false, args + 4);
}

void sprite_create_from_surface(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                                const RValue* args) {
    CreateFromBitmap(e, result, CaptureSurface(e, args[0], args + 1), true, args + 5);
}

void AddFrame(ScriptEngine& e, CSprite& s, const CBitmap32& b, bool with_alpha) {
    if (!b.exists) return;
    ChangeImages(e, s, [&] { s.AddBitmap(b, with_alpha); });
}

void sprite_add_from_screen(ScriptEngine& e, CInstance*, CInstance*, int, RValue&,
                            const RValue* args) {
    if (CSprite* s = Require<CSprite>(e, args[0], "Trying to add to non-existing sprite."))
        AddFrame(e, *s, CaptureScreen(e, args + 1), false);
}

void sprite_add_from_surface(ScriptEngine& e, CInstance*, CInstance*, int, RValue&,
                             const RValue* args) {
    if (CSprite* s = Require<CSprite>(e, args[0], "Trying to add to non-existing sprite."))
        AddFrame(e, *s, CaptureSurface(e, args[1], args + 2), true);
}

// --- copies, merges, deletion

void sprite_delete(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                   const RValue* args) {
    CSprite* s = Require<CSprite>(e, args[0], "Trying to delete non-existing sprite.");
    if (!s) return;
    FreeTextures(e, *s);
    Retire<CSprite>(*e.game, IndexArg(args[0]));
    result.SetReal(1);
}

void sprite_duplicate(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                      const RValue* args) {
    result.SetReal(-1);
    const CSprite* s = Require<CSprite>(e, args[0], "Trying to duplicate non-existing sprite.");
    if (!s) return;
    auto copy = std::make_unique<CSprite>();
    copy->Assign(*s);
    result.SetReal(AppendSprite(e, std::move(copy)));
}

void sprite_assign(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    const int32_t target = IndexArg(args[0]);
    const CSprite* from = Lookup<CSprite>(e, args[1]);
    if (!from || target < 0 || target >= e.game->sprites.Count()) {
        ShowRuntimeError(e, "Error assigning a sprite.", false);
        return;
    }
    ResourceList<CSprite>& list = e.game->sprites;
    if (!list.Exists(target)) {
        list.items[size_t(target)] = std::make_unique<CSprite>();
        list.names[size_t(target)] = std::string(Kind<CSprite>::kNewName) + std::to_string(target);
    }
    CSprite& to = *list.items[size_t(target)];
    ChangeImages(e, to, [&] { to.Assign(*from); });
}

void sprite_merge(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    CSprite* to = Require<CSprite>(e, args[0], "Trying to merge to non-existing sprite.");
    if (!to) return;
    const CSprite* from = Require<CSprite>(e, args[1], "Trying to merge from non-existing sprite.");
    if (!from) return;
    ChangeImages(e, *to, [&] { to->AddFramesFrom(*from); });
}

void sprite_save(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    const CSprite* s = Require<CSprite>(e, args[0], "Trying to save non-existing sprite bitmap.");
    if (!s) return;
    const std::string name = TextArg(args[2]);
    if (name.empty()) {
        ShowRuntimeError(e, "Trying to save sprite bitmap to empty image file name.", false);
        return;
    }
    const int32_t frame = IndexArg(args[1]);
    if (frame < 0 || frame >= s->FrameCount()) return;
    const CBitmap32& b = s->frames[size_t(frame)];
    if (!b.exists) return;
    WriteFileAtomically(GamePath(args[2]), EncodeBmp(b, false));
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kSpriteReplace = &sprite_replace;

void RegisterSpriteResourceFunctions(FunctionRegistry& r) {
    RegisterNameFunctions(r, "sprite", &ExistsFunction<CSprite>, &NameFunction<CSprite>);
    r.Register("sprite_get_number", &NumberGetter<CSprite, &FrameCountOf>, 1);
    r.Register("sprite_get_width", &NumberGetter<CSprite, &WidthOf>, 1);
    r.Register("sprite_get_height", &NumberGetter<CSprite, &HeightOf>, 1);
    r.Register("sprite_get_transparent", &NumberGetter<CSprite, &TransparentOf>, 1);
    r.Register("sprite_get_smooth", &NumberGetter<CSprite, &SmoothOf>, 1);
    r.Register("sprite_get_preload", &NumberGetter<CSprite, &PreloadOf>, 1);
    r.Register("sprite_get_precise", &NumberGetter<CSprite, &PreciseOf>, 1);
    r.Register("sprite_get_xoffset", &NumberGetter<CSprite, &XOffsetOf>, 1);
    r.Register("sprite_get_yoffset", &NumberGetter<CSprite, &YOffsetOf>, 1);
    r.Register("sprite_get_bbox_mode", &NumberGetter<CSprite, &BBoxModeOf>, 1);
    r.Register("sprite_get_bbox_left", &NumberGetter<CSprite, &BBoxLeftOf>, 1);
    r.Register("sprite_get_bbox_right", &NumberGetter<CSprite, &BBoxRightOf>, 1);
    r.Register("sprite_get_bbox_top", &NumberGetter<CSprite, &BBoxTopOf>, 1);
    r.Register("sprite_get_bbox_bottom", &NumberGetter<CSprite, &BBoxBottomOf>, 1);
    r.Register("sprite_set_offset", &Setter<CSprite, &SetOffset>, 3);
    r.Register("sprite_set_bbox_mode", &Setter<CSprite, &SetBBoxMode>, 2);
    r.Register("sprite_set_bbox", &Setter<CSprite, &SetBBox>, 5);
    r.Register("sprite_set_precise", &Setter<CSprite, &SetPrecise>, 2);
    r.Register("sprite_set_alpha_from_sprite", &sprite_set_alpha_from_sprite, 2);
    r.Register("sprite_create_from_screen", &sprite_create_from_screen, 10);
    r.Register("sprite_add_from_screen", &sprite_add_from_screen, 5);
    r.Register("sprite_create_from_surface", &sprite_create_from_surface, 11);
    r.Register("sprite_add_from_surface", &sprite_add_from_surface, 6);
    r.Register("sprite_add", &sprite_add, 8);
    r.Register("sprite_replace", &sprite_replace, 9);
    r.Register("sprite_add_alpha", &sprite_add_alpha, 6);
    r.Register("sprite_replace_alpha", &sprite_replace_alpha, 7);
    r.Register("sprite_delete", &sprite_delete, 1);
    r.Register("sprite_duplicate", &sprite_duplicate, 1);
    r.Register("sprite_assign", &sprite_assign, 2);
    r.Register("sprite_merge", &sprite_merge, 2);
    r.Register("sprite_save", &sprite_save, 3);
}

}  // namespace tb
