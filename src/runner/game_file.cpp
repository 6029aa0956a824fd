#include "runner/game_file.h"

#include <cstring>

#include "runner/messages.h"

namespace tb {

namespace {

void Progress(const LoadContext& ctx, int percent, const char* caption) {
    if (ctx.progress) ctx.progress(percent, caption);
}

// Skips `count` integers without allocating for them.
void SkipIntegers(CStream& s, int32_t count) {
    if (count <= 0) return;
    s.Need(size_t(count) * 4);
    s.pos += size_t(count) * 4;
}

template <class T>
bool LoadPlainList(CStream& s, int32_t version, ResourceList<T>& list) {
    return LoadResourceList(s, version, list,
                            [](CStream& in, T& item) { return item.LoadFromStream(in); });
}

bool LoadRooms(CStream& s, Game& game) {
    bool ok = LoadResourceList(s, kRoomListVersion, game.rooms, [&](CStream& in, CRoom& room) {
        return room.LoadFromStream(in, game);
    });
    if (!ok) return false;
    game.last_instance_id = ReadInteger(s);
    game.last_tile_id = ReadInteger(s);
    return true;
}

bool LoadLibraryInitCode(CStream& s, Game& game) {
    game.library_init_code.clear();
    if (ReadInteger(s) != kLibraryInitVersion) return false;
    int32_t count = ReadCount(s, 4);
    for (int32_t i = 0; i < count; ++i) game.library_init_code.push_back(ReadString(s));
    return true;
}

// Action functions are named in time lines and objects; they resolve right after loading.
template <class T>
void ResolveActions(Game& game, const LoadContext& ctx, ResourceList<T>& list) {
    auto resolve = [&](std::string_view name) { return ResolveFunctionName(game, ctx, name); };
    // Without a function registry every built-in name would look unknown: stay quiet then.
    auto message = [&](std::string_view text) {
        if (ctx.message && ctx.find_builtin) ctx.message(text);
    };
    for (auto& item : list.items)
        if (item) ResolveActionFunctions(*item, resolve, message);
}

}  // namespace

int32_t ResolveFunctionName(const Game& game, const LoadContext& ctx, std::string_view name) {
    int script = game.scripts.Find(name);
    if (script >= 0) return kScriptFunctionBase + script;
    int ext = FindExtensionFunction(game.extensions, name);
    if (ext >= 0) return kExtensionFunctionBase + ext;
    if (ctx.find_builtin) return ctx.find_builtin(name);
    return -1;
}

bool LoadMainBlock(CStream& s, Game& game, const LoadContext& ctx) {
    int32_t n1 = ReadInteger(s);
    int32_t n2 = ReadInteger(s);
    SkipIntegers(s, n1);
    int32_t seed = ReadInteger(s);
    SkipIntegers(s, n2);
    // The byte at the position reached stays as stored; everything after it is scrambled.
    DescrambleShifted(s, seed, int64_t(s.pos) + 1, 0);
    ReadInteger(s);  // reserved
    game.game_id = ReadInteger(s);
    s.ReadBytes(game.guid.data(), game.guid.size());

    Progress(ctx, 0, "Loading extension packages");
    if (!LoadExtensionPackages(s, game.extensions, ctx.temp_dir)) {
        if (ctx.failure) ctx.failure(msg::kExtensionLoad);
        return false;
    }
    Progress(ctx, 5, "Loading sounds");
    if (!LoadPlainList(s, kSoundListVersion, game.sounds)) return false;
    Progress(ctx, 10, "Loading sprites");
    if (!LoadPlainList(s, kSpriteListVersion, game.sprites)) return false;
    Progress(ctx, 23, "Loading backgrounds");
    if (!LoadPlainList(s, kBackgroundListVersion, game.backgrounds)) return false;
    Progress(ctx, 30, "Loading paths");
    if (!LoadPlainList(s, kPathListVersion, game.paths)) return false;
    Progress(ctx, 32, "Loading scripts");
    if (!LoadPlainList(s, kScriptListVersion, game.scripts)) return false;
    Progress(ctx, 34, "Loading fonts");
    if (!LoadPlainList(s, kFontListVersion, game.fonts)) return false;
    Progress(ctx, 36, "Loading time lines");
    if (!LoadPlainList(s, kTimeLineListVersion, game.timelines)) return false;
    ResolveActions(game, ctx, game.timelines);
    Progress(ctx, 38, "Loading objects");
    if (!LoadPlainList(s, kObjectListVersion, game.objects)) return false;
    ResolveActions(game, ctx, game.objects);
    Progress(ctx, 40, "Loading rooms");
    if (!LoadRooms(s, game)) return false;
    Progress(ctx, 43, "Loading included files");
    if (!LoadIncludedFiles(s, game.included_files)) return false;
    Progress(ctx, 45, "Loading help");
    if (!game.info.LoadFromStream(s)) return false;
    Progress(ctx, 47, "Loading library init code");
    if (!LoadLibraryInitCode(s, game)) return false;
    Progress(ctx, 49, "Loading room order");
    return ReadRoomOrder(s, game.room_order);
}

std::string LoadGameFile(std::vector<uint8_t> bytes, Game& game, const LoadContext& ctx,
                         const HeaderSteps& steps) {
    try {
        CStream file(std::move(bytes));
        // One budget for every block this file inflates, nested ones included.
        file.budget = std::make_shared<InflateBudget>(InflateBudget{ctx.inflate_budget});
        UnshiftFile(file);
        if (ReadInteger(file) != kGameMagic) return msg::kNotGameFile;
        if (ReadInteger(file) != kGameVersion) return msg::kWrongVersion;
        game.debug = ReadBoolean(file);
        if (!ReadSettings(file, game.settings)) return msg::kResourceData;
        if (steps.show_load_window) steps.show_load_window(game);
        Progress(ctx, 1, "Reading data");
        ReadString(file);
        ReadCompressed(file);
        if (steps.load_graphics_library && !steps.load_graphics_library())
            return msg::kGraphicsLibrary;
        CStream block = ReadCompressed(file);
        file = CStream();  // the outer file is not needed any more
        if (!LoadMainBlock(block, game, ctx)) return msg::kResourceData;
        return "";
    } catch (const std::exception&) {  // read past an end, bad block, allocation failure
        return msg::kCorrupted;
    }
}

}  // namespace tb
