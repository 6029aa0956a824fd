#include "pack/project.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "pack/project_code.h"
#include "pack/project_error.h"
#include "pack/project_files.h"
#include "pack/project_images.h"
#include "pack/project_rooms.h"

namespace tb::pack {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

constexpr int kProjectFormat = 1;

// A file stem for a resource: its name when that is a plain identifier not yet taken
// (compared without case, for case-insensitive file systems), else its index.
std::string Stem(const std::string& name, int index, std::set<std::string>& taken) {
    bool plain = !name.empty() && name.size() <= 64;
    for (char c : name) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    std::string lower;
    for (char c : name) lower += char(std::tolower(static_cast<unsigned char>(c)));
    if (plain && taken.insert(lower).second) return name;
    std::string fallback = "res_" + std::to_string(index);
    taken.insert(fallback);
    return fallback;
}

template <class T, class SaveFn>
Json SaveList(const ResourceList<T>& list, const fs::path& dir, SaveFn save) {
    Json entries = Json::array();
    std::set<std::string> taken;
    for (int i = 0; i < list.Count(); ++i) {
        const T* item = list.Get(i);
        if (!item) {
            entries.push_back(nullptr);
            continue;
        }
        std::string stem = Stem(list.names[size_t(i)], i, taken);
        fs::create_directories(dir);
        save(*item, dir / stem);
        entries.push_back(Json{{"name", list.names[size_t(i)]}, {"file", stem}});
    }
    return entries;
}

// A file name from the project must stay inside its folder.
fs::path Inside(const fs::path& dir, const std::string& stem) {
    if (stem.empty() || stem.find('/') != std::string::npos ||
        stem.find('\\') != std::string::npos || stem == "." || stem == "..")
        throw ProjectError("game.json: bad file name \"" + stem + "\"");
    return dir / stem;
}

template <class T, class LoadFn>
void LoadList(const Json& entries, const fs::path& dir, ResourceList<T>& list, LoadFn load) {
    list.Clear();
    if (!entries.is_array()) throw ProjectError("game.json: resource list is not an array");
    for (const Json& e : entries) {
        if (e.is_null()) {
            list.Add(nullptr, "");
            continue;
        }
        auto item = std::make_unique<T>();
        load(Inside(dir, e.at("file").get<std::string>()), *item);
        list.Add(std::move(item), e.at("name").get<std::string>());
    }
}

template <class T, class SaveFn>
Json SaveArray(const std::vector<T>& items, const fs::path& dir, const char* prefix, SaveFn save) {
    Json files = Json::array();
    for (size_t i = 0; i < items.size(); ++i) {
        fs::create_directories(dir);
        std::string stem = prefix + std::to_string(i);
        save(items[i], dir / stem);
        files.push_back(stem);
    }
    return files;
}

template <class T, class LoadFn>
void LoadArray(const Json& files, const fs::path& dir, std::vector<T>& items, LoadFn load) {
    items.clear();
    if (!files.is_array()) throw ProjectError("game.json: file list is not an array");
    for (const Json& f : files) {
        items.emplace_back();
        load(Inside(dir, f.get<std::string>()), items.back());
    }
}

std::string GuidHex(const std::array<uint8_t, 16>& g) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : g) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

std::array<uint8_t, 16> GuidFromHex(const std::string& s) {
    std::array<uint8_t, 16> g{};
    if (s.size() != 32) throw ProjectError("game.json: guid must be 32 hexadecimal digits");
    for (size_t i = 0; i < 16; ++i) {
        unsigned v = 0;
        for (size_t k = 0; k < 2; ++k) {
            char c = s[2 * i + k];
            int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                : -1;
            if (d < 0) throw ProjectError("game.json: guid must be 32 hexadecimal digits");
            v = v * 16 + unsigned(d);
        }
        g[i] = uint8_t(v);
    }
    return g;
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out) throw ProjectError(file.string() + ": cannot write");
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ProjectError(file.string() + ": cannot read");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

void SaveProject(const Game& g, const fs::path& dir) {
    try {
        fs::create_directories(dir);
        Json j;
        j["format"] = kProjectFormat;
        j["game_id"] = g.game_id;
        j["guid"] = GuidHex(g.guid);
        j["debug"] = g.debug;
        SaveSettings(g.settings, dir / "settings");
        SaveGameInfo(g.info, dir / "info");
        j["extensions"] = SaveArray(g.extensions, dir / "extensions", "package_", SaveExtension);
        j["sounds"] = SaveList(g.sounds, dir / "sounds", SaveSound);
        j["sprites"] = SaveList(g.sprites, dir / "sprites", SaveSprite);
        j["backgrounds"] = SaveList(g.backgrounds, dir / "backgrounds", SaveBackground);
        j["paths"] = SaveList(g.paths, dir / "paths", SavePath);
        j["scripts"] = SaveList(g.scripts, dir / "scripts", SaveScript);
        j["fonts"] = SaveList(g.fonts, dir / "fonts", SaveFont);
        j["timelines"] = SaveList(g.timelines, dir / "timelines", SaveTimeLine);
        j["objects"] = SaveList(g.objects, dir / "objects", SaveObject);
        j["rooms"] = SaveList(g.rooms, dir / "rooms", SaveRoom);
        j["last_instance_id"] = g.last_instance_id;
        j["last_tile_id"] = g.last_tile_id;
        j["included_files"] =
            SaveArray(g.included_files, dir / "included", "file_", SaveIncludedFile);
        j["library_init_code"] = SaveArray(g.library_init_code, dir / "library_init", "init_",
                                           [](const std::string& code, const fs::path& base) {
                                               WriteText(base.string() + ".txt", code);
                                           });
        j["room_order"] = g.room_order;
        WriteText(dir / "game.json", j.dump(2) + "\n");
    } catch (const fs::filesystem_error& e) {
        throw ProjectError(e.what());
    }
}

Game LoadProject(const fs::path& dir) {
    Game g;
    try {
        Json j = Json::parse(ReadText(dir / "game.json"));
        if (j.value("format", 0) != kProjectFormat)
            throw ProjectError((dir / "game.json").string() + ": unknown project format");
        g.game_id = j.at("game_id").get<int32_t>();
        g.guid = GuidFromHex(j.at("guid").get<std::string>());
        g.debug = j.at("debug").get<bool>();
        LoadSettings(dir / "settings", g.settings);
        LoadGameInfo(dir / "info", g.info);
        LoadArray(j.at("extensions"), dir / "extensions", g.extensions, LoadExtension);
        LoadList(j.at("sounds"), dir / "sounds", g.sounds, LoadSound);
        LoadList(j.at("sprites"), dir / "sprites", g.sprites, LoadSprite);
        LoadList(j.at("backgrounds"), dir / "backgrounds", g.backgrounds, LoadBackground);
        LoadList(j.at("paths"), dir / "paths", g.paths, LoadPath);
        LoadList(j.at("scripts"), dir / "scripts", g.scripts, LoadScript);
        LoadList(j.at("fonts"), dir / "fonts", g.fonts, LoadFont);
        LoadList(j.at("timelines"), dir / "timelines", g.timelines, LoadTimeLine);
        LoadList(j.at("objects"), dir / "objects", g.objects, LoadObject);
        LoadList(j.at("rooms"), dir / "rooms", g.rooms, LoadRoom);
        g.last_instance_id = j.at("last_instance_id").get<int32_t>();
        g.last_tile_id = j.at("last_tile_id").get<int32_t>();
        LoadArray(j.at("included_files"), dir / "included", g.included_files, LoadIncludedFile);
        LoadArray(j.at("library_init_code"), dir / "library_init", g.library_init_code,
                  [](const fs::path& base, std::string& code) {
                      code = ReadText(base.string() + ".txt");
                  });
        g.room_order = j.at("room_order").get<std::vector<int32_t>>();
    } catch (const nlohmann::json::exception& e) {
        throw ProjectError((dir / "game.json").string() + ": " + e.what());
    } catch (const fs::filesystem_error& e) {
        throw ProjectError(e.what());
    }
    return g;
}

}  // namespace tb::pack
