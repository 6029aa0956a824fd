#include "pack/project_images.h"

#include <array>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "pack/png.h"
#include "pack/project_error.h"

namespace tb::pack {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

fs::path WithSuffix(const fs::path& base, const std::string& suffix) {
    fs::path p = base;
    p += suffix;
    return p;
}

void WriteJson(const Json& j, const fs::path& file) {
    std::ofstream out(file, std::ios::binary);
    out << j.dump(2) << '\n';
    if (!out) throw ProjectError(file.string() + ": cannot write");
}

Json ReadJson(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ProjectError(file.string() + ": cannot open");
    try {
        Json j = Json::parse(in);
        if (!j.is_object()) throw ProjectError(file.string() + ": not a JSON object");
        return j;
    } catch (const nlohmann::json::exception& e) {
        throw ProjectError(file.string() + ": bad JSON: " + e.what());
    }
}

// Typed field access that names the file and the key in every failure.
struct Reader {
    const fs::path& file;
    const Json& j;

    const Json& At(const char* key) const {
        auto it = j.find(key);
        if (it == j.end()) throw ProjectError(file.string() + ": missing \"" + key + "\"");
        return *it;
    }
    [[noreturn]] void Fail(const char* key, const char* what) const {
        throw ProjectError(file.string() + ": \"" + key + "\" " + what);
    }
    static bool IsInt32(const Json& v) {
        if (v.is_number_unsigned())
            return v.get<uint64_t>() <= uint64_t(std::numeric_limits<int32_t>::max());
        if (!v.is_number_integer()) return false;
        int64_t n = v.get<int64_t>();
        return n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max();
    }
    int32_t Int(const char* key) const {
        const Json& v = At(key);
        if (!IsInt32(v)) Fail(key, "must be a 32-bit integer");
        return int32_t(v.get<int64_t>());
    }
    bool Bool(const char* key) const {
        const Json& v = At(key);
        if (!v.is_boolean()) Fail(key, "must be true or false");
        return v.get<bool>();
    }
    std::string String(const char* key) const {
        const Json& v = At(key);
        if (!v.is_string()) Fail(key, "must be a string");
        return v.get<std::string>();
    }
    // A side file named relative to the JSON file's folder, or null.
    std::optional<fs::path> FileName(const Json& v, const char* key) const {
        if (v.is_null()) return std::nullopt;
        if (!v.is_string() || v.get<std::string>().empty())
            Fail(key, "must name a file or be null");
        fs::path name = v.get<std::string>();
        if (name.is_absolute()) Fail(key, "must be a file name relative to the project");
        return file.parent_path() / name;
    }
};

std::string FileNameOf(const fs::path& p) {
    return p.filename().string();
}

}  // namespace

void SaveSprite(const CSprite& x, const fs::path& base) {
    Json j;
    j["Width"] = x.Width;
    j["Height"] = x.Height;
    j["XOrigin"] = x.XOrigin;
    j["YOrigin"] = x.YOrigin;
    j["BBoxMode"] = x.BBoxMode;
    j["BBoxLeft"] = x.BBoxLeft;
    j["BBoxTop"] = x.BBoxTop;
    j["BBoxRight"] = x.BBoxRight;
    j["BBoxBottom"] = x.BBoxBottom;
    j["Transparent"] = x.Transparent;
    j["SmoothEdges"] = x.SmoothEdges;
    j["Preload"] = x.Preload;
    j["Precise"] = x.Precise;
    Json frames = Json::array();
    for (size_t i = 0; i < x.frames.size(); ++i) {
        if (!x.frames[i].exists) {
            frames.push_back(nullptr);
            continue;
        }
        fs::path png = WithSuffix(base, "_" + std::to_string(i) + ".png");
        WritePng(x.frames[i], png);
        frames.push_back(FileNameOf(png));
    }
    j["frames"] = std::move(frames);
    WriteJson(j, WithSuffix(base, ".json"));
}

void LoadSprite(const fs::path& base, CSprite& x) {
    fs::path file = WithSuffix(base, ".json");
    Json j = ReadJson(file);
    Reader r{file, j};
    CSprite s;
    s.Width = r.Int("Width");
    s.Height = r.Int("Height");
    s.XOrigin = r.Int("XOrigin");
    s.YOrigin = r.Int("YOrigin");
    s.BBoxMode = r.Int("BBoxMode");
    if (s.BBoxMode < 0 || s.BBoxMode > 2) r.Fail("BBoxMode", "must be 0, 1 or 2");
    s.BBoxLeft = r.Int("BBoxLeft");
    s.BBoxTop = r.Int("BBoxTop");
    s.BBoxRight = r.Int("BBoxRight");
    s.BBoxBottom = r.Int("BBoxBottom");
    s.Transparent = r.Bool("Transparent");
    s.SmoothEdges = r.Bool("SmoothEdges");
    s.Preload = r.Bool("Preload");
    s.Precise = r.Bool("Precise");
    const Json& frames = r.At("frames");
    if (!frames.is_array()) r.Fail("frames", "must be an array");
    for (const Json& f : frames) {
        auto png = r.FileName(f, "frames");
        s.frames.push_back(png ? ReadPng(*png) : CBitmap32());
    }
    s.textures.assign(s.frames.size(), -1);
    s.BuildMasks();
    x = std::move(s);
}

void SaveBackground(const CBackground& x, const fs::path& base) {
    Json j;
    j["Width"] = x.Width;
    j["Height"] = x.Height;
    j["Transparent"] = x.Transparent;
    j["SmoothEdges"] = x.SmoothEdges;
    j["Preload"] = x.Preload;
    if (x.image.exists) {
        fs::path png = WithSuffix(base, ".png");
        WritePng(x.image, png);
        j["image"] = FileNameOf(png);
    } else {
        j["image"] = nullptr;
    }
    WriteJson(j, WithSuffix(base, ".json"));
}

void LoadBackground(const fs::path& base, CBackground& x) {
    fs::path file = WithSuffix(base, ".json");
    Json j = ReadJson(file);
    Reader r{file, j};
    CBackground b;
    b.Width = r.Int("Width");
    b.Height = r.Int("Height");
    b.Transparent = r.Bool("Transparent");
    b.SmoothEdges = r.Bool("SmoothEdges");
    b.Preload = r.Bool("Preload");
    if (auto png = r.FileName(r.At("image"), "image")) b.image = ReadPng(*png);
    x = std::move(b);
}

void SaveFont(const CFont& x, const fs::path& base) {
    fs::path file = WithSuffix(base, ".json");
    if (x.TextureWidth < 0 || x.TextureHeight < 0 ||
        x.alpha.size() != uint64_t(x.TextureWidth) * uint64_t(x.TextureHeight))
        throw ProjectError(file.string() +
                           ": the atlas does not hold TextureWidth * "
                           "TextureHeight bytes");
    Json j;
    j["FontName"] = x.FontName;
    j["Size"] = x.Size;
    j["Bold"] = x.Bold;
    j["Italic"] = x.Italic;
    j["First"] = x.First;
    j["Last"] = x.Last;
    j["SpriteIndex"] = x.SpriteIndex;
    j["TextureWidth"] = x.TextureWidth;
    j["TextureHeight"] = x.TextureHeight;
    if (x.alpha.empty()) {
        j["atlas"] = nullptr;
    } else {
        CBitmap32 atlas(x.TextureWidth, x.TextureHeight);
        for (size_t i = 0; i < x.alpha.size(); ++i)
            atlas.pixels[i] = 0xFF000000u | uint32_t(x.alpha[i]) * 0x010101u;
        fs::path png = WithSuffix(base, "_atlas.png");
        WritePng(atlas, png);
        j["atlas"] = FileNameOf(png);
    }
    // Only the characters with any metric set; the others are all zero.
    Json glyphs = Json::object();
    for (size_t c = 0; c < 256; ++c) {
        std::array<int32_t, 6> g = {x.glyph_x[c], x.glyph_y[c],       x.glyph_w[c],
                                    x.glyph_h[c], x.glyph_advance[c], x.glyph_offset[c]};
        if (g == std::array<int32_t, 6>{}) continue;
        glyphs[std::to_string(c)] = g;
    }
    j["glyphs"] = std::move(glyphs);
    WriteJson(j, file);
}

void LoadFont(const fs::path& base, CFont& x) {
    fs::path file = WithSuffix(base, ".json");
    Json j = ReadJson(file);
    Reader r{file, j};
    CFont f;
    f.FontName = r.String("FontName");
    f.Size = r.Int("Size");
    f.Bold = r.Bool("Bold");
    f.Italic = r.Bool("Italic");
    f.First = r.Int("First");
    f.Last = r.Int("Last");
    f.SpriteIndex = r.Int("SpriteIndex");
    f.TextureWidth = r.Int("TextureWidth");
    f.TextureHeight = r.Int("TextureHeight");
    if (f.TextureWidth < 0) r.Fail("TextureWidth", "must not be negative");
    if (f.TextureHeight < 0) r.Fail("TextureHeight", "must not be negative");
    if (auto png = r.FileName(r.At("atlas"), "atlas")) {
        CBitmap32 atlas = ReadPng(*png);
        if (atlas.width != f.TextureWidth || atlas.height != f.TextureHeight)
            throw ProjectError(png->string() + ": the atlas is not TextureWidth x TextureHeight");
        f.alpha.resize(atlas.pixels.size());
        for (size_t i = 0; i < atlas.pixels.size(); ++i) {
            uint32_t p = atlas.pixels[i];
            f.alpha[i] = uint8_t(((p >> 16 & 0xFFu) + (p >> 8 & 0xFFu) + (p & 0xFFu)) / 3);
        }
    } else if (f.TextureWidth != 0 && f.TextureHeight != 0) {
        r.Fail("atlas", "is needed for a texture that is not empty");
    }
    const Json& glyphs = r.At("glyphs");
    if (!glyphs.is_object()) r.Fail("glyphs", "must be an object keyed by character code");
    for (const auto& [key, g] : glyphs.items()) {
        size_t used = 0;
        int code = -1;
        try {
            code = std::stoi(key, &used);
        } catch (const std::exception&) {
        }
        if (used != key.size() || code < 0 || code > 255)
            r.Fail("glyphs", ("has a key that is not a character code 0 .. 255: " + key).c_str());
        if (!g.is_array() || g.size() != 6)
            r.Fail("glyphs", ("entry " + key + " must be six integers").c_str());
        int32_t v[6];
        for (size_t k = 0; k < 6; ++k) {
            if (!Reader::IsInt32(g[k]))
                r.Fail("glyphs", ("entry " + key + " must be six integers").c_str());
            v[k] = int32_t(g[k].get<int64_t>());
        }
        size_t c = size_t(code);
        f.glyph_x[c] = v[0];
        f.glyph_y[c] = v[1];
        f.glyph_w[c] = v[2];
        f.glyph_h[c] = v[3];
        f.glyph_advance[c] = v[4];
        f.glyph_offset[c] = v[5];
    }
    x = std::move(f);
}

}  // namespace tb::pack
