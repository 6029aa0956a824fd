// Background resources at run time: properties, images from files, the screen, surfaces,
// colours and gradients, copies, deletion and saving.
#include <memory>

#include "functions/register.h"
#include "functions/resource_rules.h"
#include "functions/shared_handlers.h"
#include "graphics/bmp.h"
#include "graphics/graphics.h"
#include "resources/background.h"
#include "system/file_bytes.h"

namespace tb {

namespace {

using namespace resource_rules;

double WidthOf(const CBackground& b) {
    return b.Width;
}
double HeightOf(const CBackground& b) {
    return b.Height;
}
double TransparentOf(const CBackground& b) {
    return b.Transparent;
}
double SmoothOf(const CBackground& b) {
    return b.SmoothEdges;
}
double PreloadOf(const CBackground& b) {
    return b.Preload;
}

void background_set_alpha_from_background(ScriptEngine& e, CInstance*, CInstance*, int, RValue&,
                                          const RValue* args) {
    CBackground* b = Lookup<CBackground>(e, args[0]);
    const CBackground* from = Lookup<CBackground>(e, args[1]);
    if (!b || !from) return;
    ChangeImages(e, *b, [&] { b->SetAlphaFrom(*from); });
}

int32_t AppendBackground(ScriptEngine& e, std::unique_ptr<CBackground> b) {
    MakeTextures(e, *b);
    return Append(*e.game, std::move(b));
}

// --- from files

struct FileLoad {
    std::string path;
    bool alpha = false, transparent = false, smooth = false, preload = false;
    bool Into(CBackground& b) const {
        return b.LoadFromFile(path, alpha, transparent, smooth, preload);
    }
};

// (fname, transparent, smooth, preload > 0.5)
FileLoad PlainLoad(const RValue* a) {
    return {GamePath(a[0]), false, FlagArg(a[1]), FlagArg(a[2]), FlagAbove(a[3])};
}

// (fname, preload)
FileLoad AlphaLoad(const RValue* a) {
    return {GamePath(a[0]), true, true, false, FlagArg(a[1])};
}

void AddFromFile(ScriptEngine& e, RValue& result, const FileLoad& load) {
    result.SetReal(-1);
    if (!e.game) return;
    auto b = std::make_unique<CBackground>();
    if (!load.Into(*b)) return;
    result.SetReal(AppendBackground(e, std::move(b)));
}

void ReplaceFromFile(ScriptEngine& e, RValue& result, const RValue& index, const FileLoad& load) {
    CBackground* b = Require<CBackground>(e, index, "Trying to replace non-existing background.");
    if (!b) return;
    CBackground loaded;
    if (!load.Into(loaded)) return;
    ChangeImages(e, *b, [&] { *b = std::move(loaded); });
    result.SetReal(1);
}

void background_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    AddFromFile(e, result, PlainLoad(args));
}

void background_add_alpha(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                          const RValue* args) {
    AddFromFile(e, result, AlphaLoad(args));
}

void background_replace(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                        const RValue* args) {
    ReplaceFromFile(e, result, args[0], PlainLoad(args + 1));
}

void background_replace_alpha(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                              const RValue* args) {
    ReplaceFromFile(e, result, args[0], AlphaLoad(args + 1));
}

// --- from the screen, surfaces, colours

void CreateFromBitmap(ScriptEngine& e, RValue& result, const CBitmap32& picture, bool with_alpha,
                      const RValue* flags) {
    result.SetReal(-1);
    if (!e.game) return;
    auto b = std::make_unique<CBackground>();
    if (!b->LoadFromBitmap(picture, with_alpha, FlagAbove(flags[0]), FlagAbove(flags[1]),
                           FlagAbove(flags[2])))
        return;
    result.SetReal(AppendBackground(e, std::move(b)));
}

// (x, y, w, h) checked before anything is captured.
bool AreaAllowed(ScriptEngine& e, const RValue* a) {
    const int32_t w = IntArg(a[2]), h = IntArg(a[3]);
    return e.graphics && w > 0 && h > 0 && PictureSizeAllowed(w, h);
}

void background_create_from_screen(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                                   const RValue* args) {
    CBitmap32 b;
    if (AreaAllowed(e, args)) {
        b = e.graphics->device.Capture(IntArg(args[0]), IntArg(args[1]), IntArg(args[2]),
                                       IntArg(args[3]));
        for (uint32_t& p : b.pixels) p |= 0xFF000000u;
    }
    CreateFromBitmap(e, result, b, false, args + 4);
}

void background_create_from_surface(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                                    const RValue* args) {
    CBitmap32 b;
    const int32_t surface = IndexArg(args[0]);
    if (AreaAllowed(e, args + 1) && e.graphics->surfaces.Exists(surface))
        b = e.graphics->surfaces.Capture(surface, IntArg(args[1]), IntArg(args[2]), IntArg(args[3]),
                                         IntArg(args[4]));
    CreateFromBitmap(e, result, b, true, args + 5);
}

void background_create_color(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                             const RValue* args) {
    result.SetReal(-1);
    const int32_t w = IntArg(args[0]), h = IntArg(args[1]);
    if (!e.game || !PictureSizeAllowed(w, h)) return;
    auto b = std::make_unique<CBackground>();
    b->CreateColor(w, h, uint32_t(IntArg(args[2])) & 0xFFFFFF, FlagAbove(args[3]));
    result.SetReal(AppendBackground(e, std::move(b)));
}

void background_create_gradient(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                                const RValue* args) {
    result.SetReal(-1);
    const int32_t w = IntArg(args[0]), h = IntArg(args[1]);
    if (!e.game || !PictureSizeAllowed(w, h)) return;
    auto b = std::make_unique<CBackground>();
    b->CreateGradient(w, h, uint32_t(IntArg(args[2])) & 0xFFFFFF,
                      uint32_t(IntArg(args[3])) & 0xFFFFFF, IntArg(args[4]), FlagAbove(args[5]));
    result.SetReal(AppendBackground(e, std::move(b)));
}

// --- copies, deletion, saving

void background_delete(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    CBackground* b = Require<CBackground>(e, args[0], "Trying to delete non-existing background.");
    if (!b) return;
    FreeTextures(e, *b);
    Retire<CBackground>(*e.game, IndexArg(args[0]));
    result.SetReal(1);
}

void background_duplicate(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                          const RValue* args) {
    result.SetReal(-1);
    const CBackground* b =
        Require<CBackground>(e, args[0], "Trying to duplicate non-existing background.");
    if (!b) return;
    auto copy = std::make_unique<CBackground>();
    copy->Assign(*b);
    result.SetReal(AppendBackground(e, std::move(copy)));
}

void background_assign(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    const int32_t target = IndexArg(args[0]);
    const CBackground* from = Lookup<CBackground>(e, args[1]);
    if (!from || target < 0 || target >= e.game->backgrounds.Count()) {
        ShowRuntimeError(e, "Error assigning a background.", false);
        return;
    }
    ResourceList<CBackground>& list = e.game->backgrounds;
    if (!list.Exists(target)) {
        list.items[size_t(target)] = std::make_unique<CBackground>();
        list.names[size_t(target)] =
            std::string(Kind<CBackground>::kNewName) + std::to_string(target);
    }
    CBackground& to = *list.items[size_t(target)];
    ChangeImages(e, to, [&] { to.Assign(*from); });
}

void background_save(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    const CBackground* b =
        Require<CBackground>(e, args[0], "Trying to save non-existing background bitmap.");
    if (!b) return;
    if (TextArg(args[1]).empty()) {
        ShowRuntimeError(e, "Trying to save background bitmap to empty image file name.", false);
        return;
    }
    if (!b->image.exists) return;
    WriteFileAtomically(GamePath(args[1]), EncodeBmp(b->image, false));
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kBackgroundReplace = &background_replace;

void RegisterBackgroundResourceFunctions(FunctionRegistry& r) {
    RegisterNameFunctions(r, "background", &ExistsFunction<CBackground>,
                          &NameFunction<CBackground>);
    r.Register("background_get_width", &NumberGetter<CBackground, &WidthOf>, 1);
    r.Register("background_get_height", &NumberGetter<CBackground, &HeightOf>, 1);
    r.Register("background_get_transparent", &NumberGetter<CBackground, &TransparentOf>, 1);
    r.Register("background_get_smooth", &NumberGetter<CBackground, &SmoothOf>, 1);
    r.Register("background_get_preload", &NumberGetter<CBackground, &PreloadOf>, 1);
    r.Register("background_set_alpha_from_background", &background_set_alpha_from_background, 2);
    r.Register("background_create_from_screen", &background_create_from_screen, 7);
    r.Register("background_create_from_surface", &background_create_from_surface, 8);
    r.Register("background_create_color", &background_create_color, 4);
    r.Register("background_create_gradient", &background_create_gradient, 6);
    r.Register("background_add", &background_add, 4);
    r.Register("background_replace", &background_replace, 5);
    r.Register("background_add_alpha", &background_add_alpha, 2);
    r.Register("background_replace_alpha", &background_replace_alpha, 3);
    r.Register("background_delete", &background_delete, 1);
    r.Register("background_duplicate", &background_duplicate, 1);
    r.Register("background_assign", &background_assign, 2);
    r.Register("background_save", &background_save, 2);
}

}  // namespace tb
