#include "pack/project_code.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "pack/project_error.h"

namespace tb::pack {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

fs::path Sibling(const fs::path& base, const std::string& suffix) {
    return base.parent_path() / (base.filename().string() + suffix);
}

void WriteFile(const fs::path& file, const void* bytes, size_t n) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(static_cast<const char*>(bytes), std::streamsize(n));
    if (!out) throw ProjectError(file.string() + ": cannot write the file");
}

void WriteText(const fs::path& file, const std::string& text) {
    WriteFile(file, text.data(), text.size());
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ProjectError(file.string() + ": cannot open the file");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw ProjectError(file.string() + ": cannot read the file");
    return text;
}

void WriteJson(const fs::path& base, const Json& j) {
    WriteText(Sibling(base, ".json"), j.dump(2));
}

Json ReadJson(const fs::path& file) {
    std::string text = ReadText(file);
    try {
        Json j = Json::parse(text);
        if (!j.is_object()) throw ProjectError(file.string() + ": not a JSON object");
        return j;
    } catch (const nlohmann::json::exception& e) {
        throw ProjectError(file.string() + ": bad JSON: " + e.what());
    }
}

// Typed access to a JSON object with the file's name in every complaint.
class Fields {
  public:
    Fields(const Json& j, const fs::path& file, std::string where = "")
        : j_(j), file_(file), where_(std::move(where)) {}

    const Json& At(const char* key) const {
        if (!j_.is_object()) Fail("", "is not an object");
        auto it = j_.find(key);
        if (it == j_.end()) Fail(key, "is missing");
        return *it;
    }
    int32_t Int(const char* key, int64_t lo = std::numeric_limits<int32_t>::min(),
                int64_t hi = std::numeric_limits<int32_t>::max()) const {
        return IntValue(At(key), key, lo, hi);
    }
    int32_t IntValue(const Json& v, const std::string& what,
                     int64_t lo = std::numeric_limits<int32_t>::min(),
                     int64_t hi = std::numeric_limits<int32_t>::max()) const {
        if (!v.is_number_integer()) Fail(what, "is not an integer");
        if (v.is_number_unsigned() && v.get<uint64_t>() > uint64_t(hi))
            Fail(what, "is out of range");
        int64_t n = v.get<int64_t>();
        if (n < lo || n > hi) Fail(what, "is out of range");
        return int32_t(n);
    }
    double Real(const char* key, double lo = -HUGE_VAL, double hi = HUGE_VAL) const {
        const Json& v = At(key);
        if (!v.is_number()) Fail(key, "is not a number");
        double d = v.get<double>();
        if (!(d >= lo && d <= hi)) Fail(key, "is out of range");
        return d;
    }
    bool Bool(const char* key) const {
        const Json& v = At(key);
        if (!v.is_boolean()) Fail(key, "is not true or false");
        return v.get<bool>();
    }
    std::string String(const char* key) const {
        const Json& v = At(key);
        if (!v.is_string()) Fail(key, "is not a string");
        return v.get<std::string>();
    }
    const Json& Array(const char* key) const {
        const Json& v = At(key);
        if (!v.is_array()) Fail(key, "is not an array");
        return v;
    }
    Fields Sub(const Json& j, const std::string& where) const {
        return Fields(j, file_, where_.empty() ? where : where_ + "." + where);
    }
    [[noreturn]] void Fail(const std::string& key, const std::string& what) const {
        std::string path = where_;
        if (!key.empty()) path += (path.empty() ? "" : ".") + key;
        throw ProjectError(file_.string() + ": " + (path.empty() ? "value" : path) + " " + what);
    }
    const fs::path& File() const { return file_; }

  private:
    const Json& j_;
    const fs::path& file_;
    std::string where_;
};

// Side files named in a project file must sit next to it.
fs::path SideFile(const Fields& f, const fs::path& base, const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos ||
        name.find('\\') != std::string::npos || name == "." || name == "..")
        f.Fail("file", "is not a plain file name: \"" + name + "\"");
    return base.parent_path() / name;
}

// A text that is either inline or {"file": name}.
Json SaveTextValue(const std::string& text, const fs::path& base, const std::string& suffix) {
    fs::path file = Sibling(base, suffix);
    WriteText(file, text);
    return Json{{"file", file.filename().string()}};
}

std::string LoadTextValue(const Fields& f, const Json& v, const fs::path& base,
                          const std::string& what) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_object())
        return ReadText(SideFile(f.Sub(v, what), base, f.Sub(v, what).String("file")));
    f.Fail(what, "is neither a string nor {\"file\": name}");
}

Json SaveAction(const CAction& a, const fs::path& base, const std::string& stem) {
    Json j;
    j["LibraryId"] = a.LibraryId;
    j["ActionId"] = a.ActionId;
    j["Kind"] = a.Kind;
    j["UseRelative"] = a.UseRelative;
    j["IsQuestion"] = a.IsQuestion;
    j["UseApplyTo"] = a.UseApplyTo;
    j["ExecType"] = a.ExecType;
    j["FunctionName"] = a.FunctionName;
    if (a.ExecType == 2 && !a.Code.empty())
        j["Code"] = SaveTextValue(a.Code, base, stem + "_code.txt");
    else
        j["Code"] = a.Code;
    j["ArgumentCount"] = a.ArgumentCount;
    j["ArgumentKinds"] = a.ArgumentKinds;
    j["AppliesTo"] = a.AppliesTo;
    j["Relative"] = a.Relative;
    Json texts = Json::array();
    for (size_t i = 0; i < a.ArgumentTexts.size(); ++i) {
        if (i == 0 && a.Kind == 7)
            texts.push_back(SaveTextValue(a.ArgumentTexts[0], base, stem + ".txt"));
        else
            texts.push_back(a.ArgumentTexts[i]);
    }
    j["ArgumentTexts"] = texts;
    j["Not"] = a.Not;
    return j;
}

CAction LoadAction(const Fields& f, const fs::path& base) {
    CAction a;
    a.LibraryId = f.Int("LibraryId");
    a.ActionId = f.Int("ActionId");
    a.Kind = f.Int("Kind", 0, 7);
    a.UseRelative = f.Bool("UseRelative");
    a.IsQuestion = f.Bool("IsQuestion");
    a.UseApplyTo = f.Bool("UseApplyTo");
    a.ExecType = f.Int("ExecType", 0, 2);
    a.FunctionName = f.String("FunctionName");
    a.Code = LoadTextValue(f, f.At("Code"), base, "Code");
    a.ArgumentCount = f.Int("ArgumentCount", 0, 8);
    const Json& kinds = f.Array("ArgumentKinds");
    for (size_t i = 0; i < kinds.size(); ++i)
        a.ArgumentKinds.push_back(f.IntValue(kinds[i], "ArgumentKinds[" + std::to_string(i) + "]"));
    a.AppliesTo = f.Int("AppliesTo");
    a.Relative = f.Bool("Relative");
    const Json& texts = f.Array("ArgumentTexts");
    for (size_t i = 0; i < texts.size(); ++i)
        a.ArgumentTexts.push_back(
            LoadTextValue(f, texts[i], base, "ArgumentTexts[" + std::to_string(i) + "]"));
    a.Not = f.Bool("Not");
    return a;
}

Json SaveEvent(const CEvent& e, const fs::path& base, const std::string& stem) {
    Json actions = Json::array();
    for (size_t i = 0; i < e.actions.size(); ++i)
        actions.push_back(SaveAction(e.actions[i], base, stem + "_a" + std::to_string(i)));
    return actions;
}

CEvent LoadEvent(const Fields& f, const fs::path& base) {
    CEvent e;
    const Json& actions = f.Array("actions");
    for (size_t i = 0; i < actions.size(); ++i)
        e.actions.push_back(
            LoadAction(f.Sub(actions[i], "actions[" + std::to_string(i) + "]"), base));
    return e;
}

// Sound data keeps its extension when it is a plain one, so the file opens in a player.
std::string DataSuffix(const std::string& file_type) {
    bool plain = file_type.size() >= 2 && file_type.size() <= 16 && file_type[0] == '.';
    for (size_t i = 1; plain && i < file_type.size(); ++i)
        plain = std::isalnum(static_cast<unsigned char>(file_type[i])) != 0;
    return "_data" + (plain ? file_type : std::string(".bin"));
}

}  // namespace

void SavePath(const CPath& p, const fs::path& base) {
    Json j;
    j["Kind"] = p.Kind;
    j["Closed"] = p.Closed;
    j["Precision"] = p.Precision;
    Json points = Json::array();
    for (const PathPoint& q : p.points)
        points.push_back(Json{{"x", q.x}, {"y", q.y}, {"speed", q.speed}});
    j["points"] = points;
    WriteJson(base, j);
}

void LoadPath(const fs::path& base, CPath& p) {
    fs::path file = Sibling(base, ".json");
    Json j = ReadJson(file);
    Fields f(j, file);
    CPath out;
    out.Kind = f.Int("Kind", 0, 1);
    out.Closed = f.Bool("Closed");
    out.Precision = f.Int("Precision", 0, 8);
    const Json& points = f.Array("points");
    for (size_t i = 0; i < points.size(); ++i) {
        Fields q = f.Sub(points[i], "points[" + std::to_string(i) + "]");
        out.points.push_back({q.Real("x"), q.Real("y"), q.Real("speed")});
    }
    out.Recompute();
    p = std::move(out);
}

void SaveSound(const CSound& s, const fs::path& base) {
    Json j;
    j["Kind"] = s.Kind;
    j["FileType"] = s.FileType;
    j["FileName"] = s.FileName;
    j["has_data"] = s.has_data;
    j["Effects"] = s.Effects;
    j["Volume"] = s.Volume;
    j["Pan"] = s.Pan;
    j["Preload"] = s.Preload;
    if (s.has_data) {
        fs::path data = Sibling(base, DataSuffix(s.FileType));
        WriteFile(data, s.data.data(), s.data.size());
        j["data"] = data.filename().string();
    }
    WriteJson(base, j);
}

void LoadSound(const fs::path& base, CSound& s) {
    fs::path file = Sibling(base, ".json");
    Json j = ReadJson(file);
    Fields f(j, file);
    CSound out;
    out.Kind = f.Int("Kind", -1, 3);
    out.FileType = f.String("FileType");
    out.FileName = f.String("FileName");
    out.has_data = f.Bool("has_data");
    out.Effects = f.Int("Effects", 0);
    out.Volume = f.Real("Volume", 0, 1);
    out.Pan = f.Real("Pan", -1, 1);
    out.Preload = f.Bool("Preload");
    if (out.has_data) {
        std::string bytes = ReadText(SideFile(f, base, f.String("data")));
        out.data.assign(bytes.begin(), bytes.end());
    }
    s = std::move(out);
}

void SaveScript(const CScript& s, const fs::path& base) {
    Json j;
    j["has_text"] = !s.text.empty();
    std::string text;
    try {
        text = s.GetScriptText();
    } catch (const StreamError&) {
        throw ProjectError(Sibling(base, ".txt").string() + ": the script's text block is damaged");
    }
    WriteText(Sibling(base, ".txt"), text);
    WriteJson(base, j);
}

void LoadScript(const fs::path& base, CScript& s) {
    fs::path file = Sibling(base, ".json");
    Json j = ReadJson(file);
    Fields f(j, file);
    CScript out;
    if (f.Bool("has_text")) out.SetScriptText(ReadText(Sibling(base, ".txt")));
    s = std::move(out);
}

void SaveTimeLine(const CTimeLine& t, const fs::path& base) {
    Json moments = Json::array();
    for (int i = 0; i < t.Count(); ++i) {
        int32_t time = t.moment_times[size_t(i)];
        moments.push_back(Json{
            {"time", time},
            {"actions", SaveEvent(t.moment_events[size_t(i)], base, "_m" + std::to_string(time))}});
    }
    WriteJson(base, Json{{"moments", moments}});
}

void LoadTimeLine(const fs::path& base, CTimeLine& t) {
    fs::path file = Sibling(base, ".json");
    Json j = ReadJson(file);
    Fields f(j, file);
    CTimeLine out;
    const Json& moments = f.Array("moments");
    for (size_t i = 0; i < moments.size(); ++i) {
        Fields m = f.Sub(moments[i], "moments[" + std::to_string(i) + "]");
        int32_t time = m.Int("time");
        if (!out.moment_times.empty() && time <= out.moment_times.back())
            m.Fail("time", "is not above the previous moment's time");
        out.moment_times.push_back(time);
        out.moment_events.push_back(LoadEvent(m, base));
    }
    t = std::move(out);
}

void SaveObject(const CObject& o, const fs::path& base) {
    Json j;
    j["SpriteIndex"] = o.SpriteIndex;
    j["Solid"] = o.Solid;
    j["Visible"] = o.Visible;
    j["Depth"] = o.Depth;
    j["Persistent"] = o.Persistent;
    j["ParentIndex"] = o.ParentIndex;
    j["MaskIndex"] = o.MaskIndex;
    Json events = Json::array();
    for (int kind = 0; kind < kEventKindCount; ++kind) {
        for (const auto& [number, event] : o.events[size_t(kind)]) {
            std::string stem = "_e" + std::to_string(kind) + "_" + std::to_string(number);
            events.push_back(Json{
                {"kind", kind}, {"number", number}, {"actions", SaveEvent(event, base, stem)}});
        }
    }
    j["events"] = events;
    WriteJson(base, j);
}

void LoadObject(const fs::path& base, CObject& o) {
    fs::path file = Sibling(base, ".json");
    Json j = ReadJson(file);
    Fields f(j, file);
    CObject out;
    out.SpriteIndex = f.Int("SpriteIndex");
    out.Solid = f.Bool("Solid");
    out.Visible = f.Bool("Visible");
    out.Depth = f.Int("Depth");
    out.Persistent = f.Bool("Persistent");
    out.ParentIndex = f.Int("ParentIndex");
    out.MaskIndex = f.Int("MaskIndex");
    const Json& events = f.Array("events");
    for (size_t i = 0; i < events.size(); ++i) {
        Fields e = f.Sub(events[i], "events[" + std::to_string(i) + "]");
        int kind = e.Int("kind", 0, kEventKindCount - 1);
        int number = e.Int("number", 0);
        auto [it, fresh] = out.events[size_t(kind)].try_emplace(number);
        if (!fresh) e.Fail("number", "repeats an event of the same kind");
        it->second = LoadEvent(e, base);
    }
    o = std::move(out);
}

}  // namespace tb::pack
