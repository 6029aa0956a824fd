#include "pack/project_rooms.h"

#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "pack/png.h"
#include "pack/project_error.h"

namespace tb::pack {
namespace {

using Json = nlohmann::ordered_json;
namespace fs = std::filesystem;

fs::path WithSuffix(const fs::path& base, const std::string& suffix) {
    fs::path p = base;
    p += suffix;
    return p;
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) throw ProjectError(file.string() + ": cannot write the file");
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ProjectError(file.string() + ": cannot open the file");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw ProjectError(file.string() + ": cannot read the file");
    return text.str();
}

void WriteJson(const fs::path& file, const Json& j) {
    WriteFile(file, j.dump(2) + "\n");
}

Json ReadJson(const fs::path& file) {
    std::string text = ReadFile(file);
    try {
        Json j = Json::parse(text);
        if (!j.is_object()) throw ProjectError(file.string() + ": expected a JSON object");
        return j;
    } catch (const nlohmann::json::exception& e) {
        throw ProjectError(file.string() + ": bad JSON: " + e.what());
    }
}

// Reads the members of one JSON object; a missing key keeps the field's default.
class Reader {
  public:
    Reader(const Json& j, fs::path file, std::string where = {})
        : j_(j), file_(std::move(file)), where_(std::move(where)) {}

    [[noreturn]] void Fail(const std::string& key, const std::string& what) const {
        throw ProjectError(file_.string() + ": " + where_ + key + ": " + what);
    }
    const Json* Find(const std::string& key) const {
        auto it = j_.find(key);
        return it == j_.end() ? nullptr : &*it;
    }
    void Get(const std::string& key, bool& v) const {
        if (const Json* e = Find(key)) {
            if (!e->is_boolean()) Fail(key, "expected true or false");
            v = e->get<bool>();
        }
    }
    void Get(const std::string& key, int32_t& v) const {
        if (const Json* e = Find(key)) {
            if (!e->is_number_integer()) Fail(key, "expected an integer");
            bool fits = e->is_number_unsigned()
                            ? e->get<uint64_t>() <= uint64_t(INT32_MAX)
                            : e->get<int64_t>() >= INT32_MIN && e->get<int64_t>() <= INT32_MAX;
            if (!fits) Fail(key, "integer out of range");
            v = int32_t(e->get<int64_t>());
        }
    }
    void Get(const std::string& key, double& v) const {
        if (const Json* e = Find(key)) {
            if (!e->is_number()) Fail(key, "expected a number");
            v = e->get<double>();
        }
    }
    void Get(const std::string& key, std::string& v) const {
        if (const Json* e = Find(key)) {
            if (!e->is_string()) Fail(key, "expected a string");
            v = e->get<std::string>();
        }
    }
    // An array of objects, at most `max` long; empty when the key is missing.
    std::vector<Reader> Objects(const std::string& key,
                                size_t max = std::numeric_limits<size_t>::max()) const {
        std::vector<Reader> out;
        const Json* e = Find(key);
        if (!e) return out;
        if (!e->is_array()) Fail(key, "expected an array");
        if (e->size() > max) Fail(key, "at most " + std::to_string(max) + " entries");
        for (size_t i = 0; i < e->size(); ++i) {
            if (!(*e)[i].is_object()) Fail(key, "entry " + std::to_string(i) + " is not an object");
            out.emplace_back((*e)[i], file_, where_ + key + "[" + std::to_string(i) + "].");
        }
        return out;
    }
    // A side file named in the JSON, next to the JSON file; "" when the key is missing.
    std::string SideFile(const std::string& key) const {
        std::string name;
        Get(key, name);
        if (name.empty()) return {};
        if (fs::path(name).filename() != fs::path(name))
            Fail(key, "expected a plain file name, got \"" + name + "\"");
        return (file_.parent_path() / name).string();
    }

  private:
    const Json& j_;
    fs::path file_;
    std::string where_;
};

std::string FileName(const fs::path& base, const std::string& suffix) {
    return WithSuffix(base, suffix).filename().string();
}

// Code goes into a side file named in the JSON when there is any.
void SaveCode(Json& j, const char* key, const std::string& code, const fs::path& base,
              const std::string& suffix) {
    if (code.empty()) return;
    j[key] = FileName(base, suffix);
    WriteFile(WithSuffix(base, suffix), code);
}

std::string LoadCode(const Reader& r, const char* key) {
    std::string file = r.SideFile(key);
    return file.empty() ? std::string() : ReadFile(file);
}

Json BackToJson(const CBack& b) {
    return Json{{"Visible", b.Visible},
                {"Foreground", b.Foreground},
                {"BackgroundIndex", b.BackgroundIndex},
                {"X", b.X},
                {"Y", b.Y},
                {"HTiled", b.HTiled},
                {"VTiled", b.VTiled},
                {"XScale", b.XScale},
                {"YScale", b.YScale},
                {"HSpeed", b.HSpeed},
                {"VSpeed", b.VSpeed},
                {"Blend", b.Blend},
                {"Alpha", b.Alpha},
                {"Stretch", b.Stretch}};
}

void BackFromJson(const Reader& r, CBack& b) {
    r.Get("Visible", b.Visible);
    r.Get("Foreground", b.Foreground);
    r.Get("BackgroundIndex", b.BackgroundIndex);
    r.Get("X", b.X);
    r.Get("Y", b.Y);
    r.Get("HTiled", b.HTiled);
    r.Get("VTiled", b.VTiled);
    r.Get("XScale", b.XScale);
    r.Get("YScale", b.YScale);
    r.Get("HSpeed", b.HSpeed);
    r.Get("VSpeed", b.VSpeed);
    r.Get("Blend", b.Blend);
    r.Get("Alpha", b.Alpha);
    r.Get("Stretch", b.Stretch);
}

Json ViewToJson(const CView& v) {
    return Json{{"Visible", v.Visible}, {"XView", v.XView},     {"YView", v.YView},
                {"WView", v.WView},     {"HView", v.HView},     {"XPort", v.XPort},
                {"YPort", v.YPort},     {"WPort", v.WPort},     {"HPort", v.HPort},
                {"Angle", v.Angle},     {"HBorder", v.HBorder}, {"VBorder", v.VBorder},
                {"HSpeed", v.HSpeed},   {"VSpeed", v.VSpeed},   {"Object", v.Object}};
}

void ViewFromJson(const Reader& r, CView& v) {
    r.Get("Visible", v.Visible);
    r.Get("XView", v.XView);
    r.Get("YView", v.YView);
    r.Get("WView", v.WView);
    r.Get("HView", v.HView);
    r.Get("XPort", v.XPort);
    r.Get("YPort", v.YPort);
    r.Get("WPort", v.WPort);
    r.Get("HPort", v.HPort);
    r.Get("Angle", v.Angle);
    r.Get("HBorder", v.HBorder);
    r.Get("VBorder", v.VBorder);
    r.Get("HSpeed", v.HSpeed);
    r.Get("VSpeed", v.VSpeed);
    r.Get("Object", v.Object);
}

Json TileToJson(const CTile& t) {
    return Json{{"X", t.X},
                {"Y", t.Y},
                {"Background", t.Background},
                {"Left", t.Left},
                {"Top", t.Top},
                {"Width", t.Width},
                {"Height", t.Height},
                {"Depth", t.Depth},
                {"Id", t.Id},
                {"XScale", t.XScale},
                {"YScale", t.YScale},
                {"Blend", t.Blend},
                {"Alpha", t.Alpha},
                {"Visible", t.Visible}};
}

void TileFromJson(const Reader& r, CTile& t) {
    r.Get("X", t.X);
    r.Get("Y", t.Y);
    r.Get("Background", t.Background);
    r.Get("Left", t.Left);
    r.Get("Top", t.Top);
    r.Get("Width", t.Width);
    r.Get("Height", t.Height);
    r.Get("Depth", t.Depth);
    r.Get("Id", t.Id);
    r.Get("XScale", t.XScale);
    r.Get("YScale", t.YScale);
    r.Get("Blend", t.Blend);
    r.Get("Alpha", t.Alpha);
    r.Get("Visible", t.Visible);
}

void SaveImage(Json& j, const char* key, const std::optional<CBitmap32>& b, const fs::path& base,
               const std::string& suffix) {
    if (!b) return;
    j[key] = FileName(base, suffix);
    WritePng(*b, WithSuffix(base, suffix));
}

std::optional<CBitmap32> LoadImage(const Reader& r, const char* key) {
    std::string file = r.SideFile(key);
    if (file.empty()) return std::nullopt;
    return ReadPng(file);
}

}  // namespace

void SaveRoom(const CRoom& room, const fs::path& base) {
    Json j;
    j["Caption"] = room.Caption;
    j["Speed"] = room.Speed;
    j["Width"] = room.Width;
    j["Height"] = room.Height;
    j["Persistent"] = room.Persistent;
    j["Color"] = room.Color;
    j["ShowColor"] = room.ShowColor;
    SaveCode(j, "CreationCode", room.CreationCode, base, "_creation.txt");
    j["backgrounds"] = Json::array();
    for (const CBack& b : room.backgrounds) j["backgrounds"].push_back(BackToJson(b));
    j["ViewsEnabled"] = room.ViewsEnabled;
    j["views"] = Json::array();
    for (const CView& v : room.views) j["views"].push_back(ViewToJson(v));
    j["instances"] = Json::array();
    for (size_t i = 0; i < room.instances.size(); ++i) {
        const CInstance& inst = *room.instances[i];
        Json e{{"id", inst.id}, {"object_index", inst.object_index}, {"x", inst.x}, {"y", inst.y}};
        SaveCode(e, "creation_code", inst.creation_code, base,
                 "_instance_" + std::to_string(i) + ".txt");
        j["instances"].push_back(std::move(e));
    }
    j["tiles"] = Json::array();
    for (const CTile& t : room.tiles) j["tiles"].push_back(TileToJson(t));
    WriteJson(WithSuffix(base, ".json"), j);
}

void LoadRoom(const fs::path& base, CRoom& room) {
    fs::path file = WithSuffix(base, ".json");
    Json j = ReadJson(file);
    Reader r(j, file);
    CRoom out;
    r.Get("Caption", out.Caption);
    r.Get("Speed", out.Speed);
    r.Get("Width", out.Width);
    r.Get("Height", out.Height);
    r.Get("Persistent", out.Persistent);
    r.Get("Color", out.Color);
    r.Get("ShowColor", out.ShowColor);
    out.CreationCode = LoadCode(r, "CreationCode");
    auto backs = r.Objects("backgrounds", kRoomLayers);
    for (size_t i = 0; i < backs.size(); ++i) BackFromJson(backs[i], out.backgrounds[i]);
    r.Get("ViewsEnabled", out.ViewsEnabled);
    auto views = r.Objects("views", kRoomLayers);
    for (size_t i = 0; i < views.size(); ++i) ViewFromJson(views[i], out.views[i]);
    for (const Reader& e : r.Objects("instances")) {
        auto inst = std::make_unique<CInstance>();
        e.Get("id", inst->id);
        e.Get("object_index", inst->object_index);
        e.Get("x", inst->x);
        e.Get("y", inst->y);
        inst->xstart = inst->xprevious = inst->x;
        inst->ystart = inst->yprevious = inst->y;
        inst->creation_code = LoadCode(e, "creation_code");
        out.instances.push_back(std::move(inst));
    }
    for (const Reader& e : r.Objects("tiles")) {
        CTile t;
        TileFromJson(e, t);
        out.tiles.push_back(t);
    }
    room = std::move(out);
}

void SaveSettings(const GameSettings& g, const fs::path& base) {
    Json j;
    j["FullScreen"] = g.FullScreen;
    j["Interpolate"] = g.Interpolate;
    j["NoBorder"] = g.NoBorder;
    j["ShowCursor"] = g.ShowCursor;
    j["Scale"] = g.Scale;
    j["SizeableWindow"] = g.SizeableWindow;
    j["StayOnTop"] = g.StayOnTop;
    j["WindowColor"] = g.WindowColor;
    j["ChangeResolution"] = g.ChangeResolution;
    j["ColorDepth"] = g.ColorDepth;
    j["Resolution"] = g.Resolution;
    j["Frequency"] = g.Frequency;
    j["NoCaptionButtons"] = g.NoCaptionButtons;
    j["VSync"] = g.VSync;
    j["KeyF4"] = g.KeyF4;
    j["KeyF1"] = g.KeyF1;
    j["KeyEsc"] = g.KeyEsc;
    j["KeyF5F6"] = g.KeyF5F6;
    j["KeyF9"] = g.KeyF9;
    j["CloseAsEsc"] = g.CloseAsEsc;
    j["Priority"] = g.Priority;
    j["FreezeOnLoseFocus"] = g.FreezeOnLoseFocus;
    j["ShowProgressBar"] = g.ShowProgressBar;
    SaveImage(j, "ProgressBackImage", g.ProgressBackImage, base, "_progress_back.png");
    SaveImage(j, "ProgressFrontImage", g.ProgressFrontImage, base, "_progress_front.png");
    SaveImage(j, "LoadingImage", g.LoadingImage, base, "_loading.png");
    j["LoadingImageTransparent"] = g.LoadingImageTransparent;
    j["LoadingImageAlpha"] = g.LoadingImageAlpha;
    j["ScaleProgressBar"] = g.ScaleProgressBar;
    j["DisplayErrors"] = g.DisplayErrors;
    j["WriteErrors"] = g.WriteErrors;
    j["AbortOnError"] = g.AbortOnError;
    j["UninitializedAsZero"] = g.UninitializedAsZero;
    j["Constants"] = Json::array();
    for (size_t i = 0; i < g.ConstantNames.size(); ++i) {
        j["Constants"].push_back(
            {{"name", g.ConstantNames[i]},
             {"value", i < g.ConstantValues.size() ? g.ConstantValues[i] : std::string()}});
    }
    WriteJson(WithSuffix(base, ".json"), j);
}

void LoadSettings(const fs::path& base, GameSettings& settings) {
    fs::path file = WithSuffix(base, ".json");
    Json j = ReadJson(file);
    Reader r(j, file);
    GameSettings g;
    r.Get("FullScreen", g.FullScreen);
    r.Get("Interpolate", g.Interpolate);
    r.Get("NoBorder", g.NoBorder);
    r.Get("ShowCursor", g.ShowCursor);
    r.Get("Scale", g.Scale);
    r.Get("SizeableWindow", g.SizeableWindow);
    r.Get("StayOnTop", g.StayOnTop);
    r.Get("WindowColor", g.WindowColor);
    r.Get("ChangeResolution", g.ChangeResolution);
    r.Get("ColorDepth", g.ColorDepth);
    r.Get("Resolution", g.Resolution);
    r.Get("Frequency", g.Frequency);
    r.Get("NoCaptionButtons", g.NoCaptionButtons);
    r.Get("VSync", g.VSync);
    r.Get("KeyF4", g.KeyF4);
    r.Get("KeyF1", g.KeyF1);
    r.Get("KeyEsc", g.KeyEsc);
    r.Get("KeyF5F6", g.KeyF5F6);
    r.Get("KeyF9", g.KeyF9);
    r.Get("CloseAsEsc", g.CloseAsEsc);
    r.Get("Priority", g.Priority);
    r.Get("FreezeOnLoseFocus", g.FreezeOnLoseFocus);
    r.Get("ShowProgressBar", g.ShowProgressBar);
    g.ProgressBackImage = LoadImage(r, "ProgressBackImage");
    g.ProgressFrontImage = LoadImage(r, "ProgressFrontImage");
    g.LoadingImage = LoadImage(r, "LoadingImage");
    r.Get("LoadingImageTransparent", g.LoadingImageTransparent);
    r.Get("LoadingImageAlpha", g.LoadingImageAlpha);
    r.Get("ScaleProgressBar", g.ScaleProgressBar);
    r.Get("DisplayErrors", g.DisplayErrors);
    r.Get("WriteErrors", g.WriteErrors);
    r.Get("AbortOnError", g.AbortOnError);
    r.Get("UninitializedAsZero", g.UninitializedAsZero);
    for (const Reader& c : r.Objects("Constants")) {
        std::string name, value;
        c.Get("name", name);
        c.Get("value", value);
        g.ConstantNames.push_back(std::move(name));
        g.ConstantValues.push_back(std::move(value));
    }
    settings = std::move(g);
}

void SaveGameInfo(const GameInfo& info, const fs::path& base) {
    Json j;
    j["InfoColor"] = info.InfoColor;
    j["InGameWindow"] = info.InGameWindow;
    j["InfoCaption"] = info.InfoCaption;
    j["InfoLeft"] = info.InfoLeft;
    j["InfoTop"] = info.InfoTop;
    j["InfoWidth"] = info.InfoWidth;
    j["InfoHeight"] = info.InfoHeight;
    j["InfoBorder"] = info.InfoBorder;
    j["InfoSizeable"] = info.InfoSizeable;
    j["InfoOnTop"] = info.InfoOnTop;
    j["InfoFreeze"] = info.InfoFreeze;
    WriteJson(WithSuffix(base, ".json"), j);
    WriteFile(WithSuffix(base, ".rtf"), info.Text);
}

void LoadGameInfo(const fs::path& base, GameInfo& info) {
    fs::path file = WithSuffix(base, ".json");
    Json j = ReadJson(file);
    Reader r(j, file);
    GameInfo out;
    r.Get("InfoColor", out.InfoColor);
    r.Get("InGameWindow", out.InGameWindow);
    r.Get("InfoCaption", out.InfoCaption);
    r.Get("InfoLeft", out.InfoLeft);
    r.Get("InfoTop", out.InfoTop);
    r.Get("InfoWidth", out.InfoWidth);
    r.Get("InfoHeight", out.InfoHeight);
    r.Get("InfoBorder", out.InfoBorder);
    r.Get("InfoSizeable", out.InfoSizeable);
    r.Get("InfoOnTop", out.InfoOnTop);
    r.Get("InfoFreeze", out.InfoFreeze);
    out.Text = ReadFile(WithSuffix(base, ".rtf"));
    info = std::move(out);
}

}  // namespace tb::pack
