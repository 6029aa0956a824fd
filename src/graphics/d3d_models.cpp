#include "graphics/d3d_models.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "graphics/d3d.h"
#include "graphics/d3d_model_buffers.h"
#include "graphics/d3d_shapes.h"
#include "graphics/graphics.h"
#include "graphics/primitive_lists.h"
#include "script/value.h"
#include "system/file_bytes.h"
#include "system/paths.h"

namespace tb {

namespace {

constexpr double kFormatVersion = 100;

// Collects what the builder draws into one list of vertices.
class RecordOutput final : public PrimitiveOutput {
  public:
    std::vector<LitVertex> vertices;
    std::vector<C3DModel::Segment> segments;
    size_t limit = 0;
    bool too_large = false;

    void Draw(Primitive kind, int32_t, std::span<const LitVertex> v) override {
        const size_t n = ListCount(kind, v.size());
        if (n == 0 || too_large) return;
        if (vertices.size() + n > limit) {
            too_large = true;
            vertices.clear();
            vertices.shrink_to_fit();
            segments.clear();
            return;
        }
        const Primitive list = ListKindOf(kind);
        const size_t first = vertices.size();
        vertices.resize(first + n);
        ExpandToList(kind, v, vertices.data() + first);
        if (!segments.empty() && segments.back().list_kind == list &&
            segments.back().repeat == repeat_)
            segments.back().count += n;
        else
            segments.push_back({list, repeat_, first, n});
    }
    // Inside a model "off" means: as the state is when the model is drawn.
    bool Repeat() const override { return repeat_; }
    void SetRepeat(bool on) override { repeat_ = on; }

  private:
    bool repeat_ = false;
};

uint32_t ColorAt(const ModelCommand& c, size_t at) {
    return DeviceColor(uint32_t(RoundToInt32(c.v[at])), c.v[at + 1]);
}

bool UsesDrawColor(int32_t type) {
    switch (type) {
        case kModelVertex:
        case kModelVertexTexture:
        case kModelVertexNormal:
        case kModelVertexNormalTexture:
        case kModelBlock:
        case kModelCylinder:
        case kModelCone:
        case kModelEllipsoid:
        case kModelWall:
        case kModelFloor:
            return true;
        default:
            return false;
    }
}

// Replays the commands through a builder of its own, offset by (x, y, z).
void Replay(const std::vector<ModelCommand>& commands, PrimitiveOutput& out, uint32_t draw_argb,
            int32_t texture, double x, double y, double z) {
    Builder3D b;
    b.vertices.reserve(kMaxBuilderVertices);
    for (const ModelCommand& c : commands) {
        const auto& v = c.v;
        const ShapeBox box{x + v[0], y + v[1], z + v[2], x + v[3], y + v[4], z + v[5]};
        switch (c.type) {
            case kModelBegin:
                b.Begin(RoundToInt32(v[0]), texture);
                break;
            case kModelEnd:
                b.End(out);
                break;
            case kModelVertex:
                b.Vertex(MakeLitVertex(x + v[0], y + v[1], z + v[2], 0, 0, 0, draw_argb, 0, 0));
                break;
            case kModelVertexColor:
                b.Vertex(MakeLitVertex(x + v[0], y + v[1], z + v[2], 0, 0, 0, ColorAt(c, 3), 0, 0));
                break;
            case kModelVertexTexture:
                b.Vertex(
                    MakeLitVertex(x + v[0], y + v[1], z + v[2], 0, 0, 0, draw_argb, v[3], v[4]));
                break;
            case kModelVertexTextureColor:
                b.Vertex(MakeLitVertex(x + v[0], y + v[1], z + v[2], 0, 0, 0, ColorAt(c, 5), v[3],
                                       v[4]));
                break;
            case kModelVertexNormal:
                b.Vertex(
                    MakeLitVertex(x + v[0], y + v[1], z + v[2], v[3], v[4], v[5], draw_argb, 0, 0));
                break;
            case kModelVertexNormalColor:
                b.Vertex(MakeLitVertex(x + v[0], y + v[1], z + v[2], v[3], v[4], v[5],
                                       ColorAt(c, 6), 0, 0));
                break;
            case kModelVertexNormalTexture:
                b.Vertex(MakeLitVertex(x + v[0], y + v[1], z + v[2], v[3], v[4], v[5], draw_argb,
                                       v[6], v[7]));
                break;
            case kModelVertexNormalTextureColor:
                b.Vertex(MakeLitVertex(x + v[0], y + v[1], z + v[2], v[3], v[4], v[5],
                                       ColorAt(c, 8), v[6], v[7]));
                break;
            case kModelBlock:
                ShapeBlock(b, out, box, texture, v[6], v[7], draw_argb);
                break;
            case kModelCylinder:
                ShapeCylinder(b, out, box, texture, v[6], v[7], v[8] >= 0.5, RoundToInt32(v[9]),
                              draw_argb);
                break;
            case kModelCone:
                ShapeCone(b, out, box, texture, v[6], v[7], v[8] >= 0.5, RoundToInt32(v[9]),
                          draw_argb);
                break;
            case kModelEllipsoid:
                ShapeEllipsoid(b, out, box, texture, v[6], v[7], RoundToInt32(v[8]), draw_argb);
                break;
            case kModelWall:
                ShapeWall(b, out, box, texture, v[6], v[7], draw_argb);
                break;
            case kModelFloor:
                ShapeFloor(b, out, box, texture, v[6], v[7], draw_argb);
                break;
            default:
                break;
        }
    }
}

void DropBuffer(GraphicsDevice& device, C3DModel& m) {
    if (m.buffer) device.FreeBuffer(m.buffer);
    m.buffer = 0;
    m.segments.clear();
    m.built = false;
}

// Builds the model's buffer for the draw colour; false when the device could not take it.
bool Build(GraphicsDevice& device, C3DModel& m, uint32_t draw_argb, size_t limit) {
    if (m.built && (!m.uses_draw_color || m.built_color == draw_argb)) return true;
    DropBuffer(device, m);
    RecordOutput out;
    out.limit = limit;
    Replay(m.commands, out, draw_argb, -1, 0, 0, 0);
    m.uses_draw_color = std::any_of(m.commands.begin(), m.commands.end(),
                                    [](const ModelCommand& c) { return UsesDrawColor(c.type); });
    m.built_color = draw_argb;
    if (out.too_large) return false;
    if (!out.vertices.empty()) {
        m.buffer = device.CreateBuffer(out.vertices);
        if (!m.buffer) return false;
    }
    m.segments = std::move(out.segments);
    m.built = true;
    return true;
}

// A number of the file: a blank-separated token (line ends count as blanks).
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool Real(double& out) {
        const std::string_view t = Token();
        if (t.empty()) return false;
        // from_chars takes no leading '+'.
        const std::string_view digits = t[0] == '+' ? t.substr(1) : t;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), out);
        return r.ec == std::errc() && r.ptr == digits.data() + digits.size();
    }
    bool Integer(int64_t& out) {
        const std::string_view t = Token();
        if (t.empty()) return false;
        const std::string_view digits = t[0] == '+' ? t.substr(1) : t;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), out);
        return r.ec == std::errc() && r.ptr == digits.data() + digits.size();
    }
    void SkipLine() {
        while (at_ < text_.size() && text_[at_] != '\n') ++at_;
        if (at_ < text_.size()) ++at_;
    }
    size_t Left() const { return text_.size() - at_; }

  private:
    static bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    std::string_view Token() {
        while (at_ < text_.size() && Blank(text_[at_])) ++at_;
        const size_t start = at_;
        while (at_ < text_.size() && !Blank(text_[at_])) ++at_;
        return text_.substr(start, at_ - start);
    }

    std::string_view text_;
    size_t at_ = 0;
};

void AppendValue(std::string& out, double v) {
    char buf[64];
    // Ten significant digits first, then four decimals.
    std::snprintf(buf, sizeof buf, "%.9e", v);
    const double r = std::strtod(buf, nullptr);
    if (std::isfinite(r) && std::fabs(r) >= 1e10)
        std::snprintf(buf, sizeof buf, "%.9E", r);
    else
        std::snprintf(buf, sizeof buf, "%.4f", r);
    out += ' ';
    out += buf;
}

}  // namespace

ModelTable::~ModelTable() {
    for (auto& m : models_)
        if (m) DropBuffer(device_, *m);
}

int32_t ModelTable::Create() {
    for (size_t i = 0; i < models_.size(); ++i)
        if (!models_[i]) {
            models_[i] = std::make_unique<C3DModel>();
            return int32_t(i);
        }
    models_.push_back(std::make_unique<C3DModel>());
    return int32_t(models_.size() - 1);
}

C3DModel* ModelTable::Get(int32_t index) {
    if (index < 0 || size_t(index) >= models_.size()) return nullptr;
    return models_[size_t(index)].get();
}

void ModelTable::Destroy(int32_t index) {
    C3DModel* m = Get(index);
    if (!m) return;
    DropBuffer(device_, *m);
    models_[size_t(index)].reset();
}

void ModelTable::Clear(int32_t index) {
    C3DModel* m = Get(index);
    if (!m) return;
    DropBuffer(device_, *m);
    m->commands.clear();
    m->commands.shrink_to_fit();
}

void ModelTable::Add(int32_t index, const ModelCommand& c) {
    C3DModel* m = Get(index);
    if (!m) return;
    m->commands.push_back(c);
    if (m->built) DropBuffer(device_, *m);
}

void ModelTable::DropBuffers() {
    for (auto& m : models_)
        if (m) DropBuffer(device_, *m);
}

std::string ModelFileText(const std::vector<ModelCommand>& commands) {
    std::string out = "100\r\n" + std::to_string(commands.size()) + "\r\n";
    out.reserve(out.size() + commands.size() * 120);
    for (const ModelCommand& c : commands) {
        out += std::to_string(c.type);
        for (double v : c.v) AppendValue(out, v);
        out += "\r\n";
    }
    return out;
}

bool ParseModelFile(std::string_view text, std::vector<ModelCommand>& out) {
    out.clear();
    Reader r(text);
    double version = 0;
    if (!r.Real(version) || version != kFormatVersion) return false;
    r.SkipLine();
    int64_t count = 0;
    if (!r.Integer(count) || count < 0) return false;
    r.SkipLine();
    std::vector<ModelCommand> commands;
    // Every command takes at least 22 bytes: no reservation beyond what the text can hold.
    commands.reserve(size_t(std::min<int64_t>(count, int64_t(r.Left() / 22 + 1))));
    for (int64_t i = 0; i < count; ++i) {
        ModelCommand c;
        int64_t type = 0;
        if (!r.Integer(type) || type < INT32_MIN || type > INT32_MAX) return false;
        c.type = int32_t(type);
        for (double& v : c.v)
            if (!r.Real(v)) return false;
        r.SkipLine();
        commands.push_back(c);
    }
    out = std::move(commands);
    return true;
}

bool ModelTable::Load(int32_t index, const std::string& path) {
    C3DModel* m = Get(index);
    if (!m) return false;
    Clear(index);
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(HostPath(path), bytes)) return false;
    std::vector<ModelCommand> commands;
    if (!ParseModelFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        commands))
        return false;
    m->commands = std::move(commands);
    return true;
}

bool ModelTable::Save(int32_t index, const std::string& path) const {
    if (index < 0 || size_t(index) >= models_.size() || !models_[size_t(index)]) return false;
    const std::string text = ModelFileText(models_[size_t(index)]->commands);
    return WriteFileAtomically(HostPath(path), reinterpret_cast<const uint8_t*>(text.data()),
                               text.size());
}

void DrawModel(Graphics& g, int32_t index, double x, double y, double z, int32_t texture) {
    DrawModelLimited(g, index, x, y, z, texture, kModelBufferVertices);
}

void DrawModelLimited(Graphics& g, int32_t index, double x, double y, double z, int32_t texture,
                      size_t max_buffer_vertices) {
    C3DModel* m = g.d3d.models.Get(index);
    if (!m) return;
    GraphicsDevice& d = g.device;
    const uint32_t argb = DeviceColor(g.draw.ColorBgr(), g.draw.alpha);
    if (!Build(d, *m, argb, max_buffer_vertices)) {
        // No buffer for it (too large for the device): drawn the slow way.
        DropBuffer(d, *m);
        DeviceOutput out(g);
        Replay(m->commands, out, argb, texture, x, y, z);
        return;
    }
    if (m->segments.empty()) return;
    // The offset goes in front of the world transform: p' = (p + xyz) * World.
    const Matrix4 world = d.WorldTransform();
    d.SetWorldTransform(Multiply(TranslationMatrix(x, y, z), world));
    g.textures.Select(texture);
    const bool repeat = d.TextureRepeat();
    for (const C3DModel::Segment& s : m->segments) {
        d.SetTextureRepeat(s.repeat || repeat);
        d.DrawBuffer(m->buffer, s.list_kind, s.first, s.count);
    }
    d.SetTextureRepeat(repeat);
    d.SelectTexture(0);
    d.SetWorldTransform(world);
}

}  // namespace tb
