#include "pack/game_writer.h"

#include "runner/game_file.h"

namespace tb::pack {

namespace {

template <class T>
void WritePlainList(CStream& s, int32_t version, const ResourceList<T>& list) {
    WriteResourceList(s, version, list,
                      [](CStream& out, const T& item) { item.WriteToStream(out); });
}

// Filler integers the reader skips; any values do.
void WriteFiller(CStream& s, int32_t count, int32_t salt) {
    for (int32_t i = 0; i < count; ++i) WriteInteger(s, salt * 7919 + i * 104729);
}

}  // namespace

std::vector<uint8_t> WriteMainBlock(const Game& g, const WriteOptions& o) {
    CStream s;
    WriteInteger(s, o.filler_before);
    WriteInteger(s, o.filler_after);
    WriteFiller(s, o.filler_before, 1);
    WriteInteger(s, o.seed);
    WriteFiller(s, o.filler_after, 2);
    size_t p = s.pos;

    WriteInteger(s, 0);  // reserved
    WriteInteger(s, g.game_id);
    s.WriteBytes(g.guid.data(), g.guid.size());
    const ListVersions& v = o.versions;
    if (v.extensions == kExtensionListVersion) {
        WriteExtensionPackages(s, g.extensions);
    } else {
        WriteInteger(s, v.extensions);
        WriteInteger(s, 0);
    }
    WritePlainList(s, v.sounds, g.sounds);
    WritePlainList(s, v.sprites, g.sprites);
    WritePlainList(s, v.backgrounds, g.backgrounds);
    WritePlainList(s, v.paths, g.paths);
    WritePlainList(s, v.scripts, g.scripts);
    WritePlainList(s, v.fonts, g.fonts);
    WritePlainList(s, v.timelines, g.timelines);
    WritePlainList(s, v.objects, g.objects);
    WritePlainList(s, v.rooms, g.rooms);
    WriteInteger(s, g.last_instance_id);
    WriteInteger(s, g.last_tile_id);
    if (v.included_files == kIncludedFileListVersion) {
        WriteIncludedFiles(s, g.included_files);
    } else {
        WriteInteger(s, v.included_files);
        WriteInteger(s, 0);
    }
    if (v.info == kGameInfoVersion) {
        g.info.WriteToStream(s);
    } else {
        WriteInteger(s, v.info);
    }
    WriteInteger(s, v.library_init);
    WriteInteger(s, int32_t(g.library_init_code.size()));
    for (const std::string& code : g.library_init_code) WriteString(s, code);
    if (v.room_order == kRoomOrderVersion) {
        WriteRoomOrder(s, g.room_order);
    } else {
        WriteInteger(s, v.room_order);
        WriteInteger(s, 0);
    }

    ScrambleShifted(s, o.seed, int64_t(p) + 1, 0);
    return std::move(s.data);
}

std::vector<uint8_t> WriteGameFile(const Game& g, const WriteOptions& o) {
    CStream s;
    WriteInteger(s, kGameMagic);
    WriteInteger(s, kGameVersion);
    WriteBoolean(s, g.debug);
    WriteSettings(s, g.settings);
    WriteString(s, "");  // read and discarded by the runner
    uint8_t nothing = 0;
    WriteCompressed(s, &nothing, 1, o.level);
    std::vector<uint8_t> block = WriteMainBlock(g, o);
    WriteCompressed(s, block.data(), block.size(), o.level);
    ShiftFile(s);
    return std::move(s.data);
}

}  // namespace tb::pack
