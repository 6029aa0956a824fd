// 3D drawing headless: a room of 2,000 textured blocks (drawn as shapes every frame) and 200
// models of 1,000 triangles each, lit by 4 lights with fog, against a minimal hand-written GL
// loop that draws the same triangles: the blocks built on the CPU and streamed every frame,
// the model from one static buffer drawn 200 times. Both render 640 x 480 offscreen and end a
// frame with glFinish. Prints milliseconds per frame, frames per second, nanoseconds per
// triangle and the ratio.
#include <SDL.h>
#include <epoxy/gl.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "frame_timer.h"
#include "graphics/d3d.h"
#include "graphics/d3d_shapes.h"
#include "graphics/graphics.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kBlocks = 2000, kModels = 200;
constexpr int kModelTriangles = 1000, kLights = 4;

struct Place {
    float x, y, z;
};

std::vector<Place> Places(int n, float spread, uint32_t seed) {
    std::vector<Place> p(static_cast<size_t>(n));
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1 << 24);
    };
    for (Place& q : p) q = {next() * spread, next() * spread, next() * 64};
    return p;
}

// One model: a ring of 1,000 small triangles with normals and texture coordinates, recorded
// as four triangle lists of 250 triangles (the builder holds at most 1001 vertices).
void RecordModel(tb::ModelTable& models, int32_t m) {
    for (int part = 0; part < 4; ++part) {
        models.Add(m, {tb::kModelBegin, {4}});
        for (int t = 0; t < kModelTriangles / 4; ++t) {
            const double a = 2 * std::numbers::pi * (part * 250 + t) / kModelTriangles;
            const double c = std::cos(a), s = std::sin(a);
            const double pts[3][3] = {
                {c * 10, s * 10, 0}, {c * 12, s * 12, 0}, {c * 11, s * 11, 4}};
            for (const auto& p : pts)
                models.Add(m, {tb::kModelVertexNormalTexture, {p[0], p[1], p[2], c, s, 0.3, c, s}});
        }
        models.Add(m, {tb::kModelEnd, {}});
    }
}

using tb::bench::TimeFrames;

// --- the hand-written loop

const char* kVs = R"(#version 330 core
layout(location = 0) in vec3 p;
layout(location = 1) in vec3 n;
layout(location = 2) in vec4 c;
layout(location = 3) in vec2 t;
uniform mat4 view_proj;
uniform vec3 offset;
uniform vec3 light_vec[4];
uniform vec3 light_color[4];
uniform bool light_point[4];
uniform float light_range[4];
out vec4 vc;
out vec2 vt;
out float vf;
void main() {
    vec3 w = p + offset;
    vec4 clip = view_proj * vec4(w, 1.0);
    gl_Position = clip;
    vec3 light = vec3(0.0);
    vec3 nn = normalize(n);
    for (int i = 0; i < 4; ++i) {
        if (light_point[i]) {
            vec3 d = light_vec[i] - w;
            float dist = length(d);
            if (dist > light_range[i]) continue;
            light += light_color[i] * max(dot(nn, d / dist), 0.0) / (1.0 + 4.0 / light_range[i] * dist);
        } else {
            light += light_color[i] * max(dot(nn, -normalize(light_vec[i])), 0.0);
        }
    }
    vc = vec4(c.rgb * clamp(light, 0.0, 1.0), c.a);
    vt = t;
    vf = clamp((800.0 - clip.w) / 700.0, 0.0, 1.0);
}
)";
const char* kFs = R"(#version 330 core
in vec4 vc;
in vec2 vt;
in float vf;
uniform sampler2D tex;
out vec4 o;
void main() {
    vec4 c = texture(tex, vt) * vc;
    if (c.a <= 0.0) discard;
    o = vec4(mix(vec3(0.5, 0.5, 0.6), c.rgb, vf), c.a);
}
)";

struct HandLoop {
    SDL_GLContext context = nullptr;
    GLuint program = 0, vao = 0, stream = 0, model = 0, fbo = 0, color = 0, depth = 0, tex = 0;
    GLint offset = -1;
    std::vector<tb::LitVertex> blocks, model_vertices;

    void Attributes() {
        const GLsizei stride = sizeof(tb::LitVertex);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(12));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<void*>(24));
        glEnableVertexAttribArray(3);
        glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(28));
    }

    bool Init(SDL_Window* window, const tb::Matrix4& view_proj,
              const std::vector<tb::LitVertex>& model_list) {
        context = SDL_GL_CreateContext(window);
        if (!context) return false;
        SDL_GL_MakeCurrent(window, context);
        auto compile = [](GLenum kind, const char* src) {
            GLuint s = glCreateShader(kind);
            glShaderSource(s, 1, &src, nullptr);
            glCompileShader(s);
            return s;
        };
        program = glCreateProgram();
        glAttachShader(program, compile(GL_VERTEX_SHADER, kVs));
        glAttachShader(program, compile(GL_FRAGMENT_SHADER, kFs));
        glLinkProgram(program);
        glUseProgram(program);
        glUniformMatrix4fv(glGetUniformLocation(program, "view_proj"), 1, GL_FALSE,
                           &view_proj[0][0]);
        const float vec[12] = {0, 0.5f, -1, 1, 1, -1, 100, 100, 40, 600, 600, 40};
        const float col[12] = {0.8f, 0.8f, 0.8f, 0.3f, 0.3f, 0.4f, 1, 0.8f, 0.5f, 0.5f, 0.8f, 1};
        const GLint point[4] = {0, 0, 1, 1};
        const float range[4] = {0, 0, 400, 400};
        glUniform3fv(glGetUniformLocation(program, "light_vec"), 4, vec);
        glUniform3fv(glGetUniformLocation(program, "light_color"), 4, col);
        glUniform1iv(glGetUniformLocation(program, "light_point"), 4, point);
        glUniform1fv(glGetUniformLocation(program, "light_range"), 4, range);
        offset = glGetUniformLocation(program, "offset");
        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        glGenBuffers(1, &model);
        glBindBuffer(GL_ARRAY_BUFFER, model);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(model_list.size() * sizeof(tb::LitVertex)),
                     model_list.data(), GL_STATIC_DRAW);
        model_vertices = model_list;
        glGenBuffers(1, &stream);
        std::vector<uint32_t> pixels(64 * 64);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = ((i / 8 + i / 512) % 2) ? 0xFFC08040u : 0xFF604020u;
        glGenTextures(1, &tex);
        glBindTexture(GL_TEXTURE_2D, tex);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     pixels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glGenTextures(1, &color);
        glBindTexture(GL_TEXTURE_2D, color);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kWidth, kHeight, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     nullptr);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kWidth, kHeight);
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        glViewport(0, 0, kWidth, kHeight);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindTexture(GL_TEXTURE_2D, tex);
        return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    void Frame(SDL_Window* window, const std::vector<Place>& block_places,
               const std::vector<Place>& model_places) {
        SDL_GL_MakeCurrent(window, context);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Blocks: six quads of two triangles each, built every frame.
        blocks.clear();
        for (const Place& p : block_places) {
            const float x1 = p.x, y1 = p.y, z1 = p.z, x2 = p.x + 8, y2 = p.y + 8, z2 = p.z + 8;
            const float f[6][4][3] = {{{x1, y1, z1}, {x1, y2, z1}, {x2, y2, z1}, {x2, y1, z1}},
                                      {{x1, y1, z2}, {x2, y1, z2}, {x2, y2, z2}, {x1, y2, z2}},
                                      {{x1, y2, z1}, {x1, y2, z2}, {x2, y2, z2}, {x2, y2, z1}},
                                      {{x2, y2, z1}, {x2, y2, z2}, {x2, y1, z2}, {x2, y1, z1}},
                                      {{x2, y1, z1}, {x2, y1, z2}, {x1, y1, z2}, {x1, y1, z1}},
                                      {{x1, y1, z1}, {x1, y1, z2}, {x1, y2, z2}, {x1, y2, z1}}};
            const float n[6][3] = {{0, 0, -1}, {0, 0, 1},  {0, 1, 0},
                                   {1, 0, 0},  {0, -1, 0}, {-1, 0, 0}};
            const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
            for (int k = 0; k < 6; ++k)
                for (int c : {0, 1, 2, 0, 2, 3})
                    blocks.push_back({f[k][c][0], f[k][c][1], f[k][c][2], n[k][0], n[k][1], n[k][2],
                                      0xFFFFFFFF, uv[c][0], uv[c][1]});
        }
        glBindBuffer(GL_ARRAY_BUFFER, stream);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(blocks.size() * sizeof(tb::LitVertex)),
                     blocks.data(), GL_STREAM_DRAW);
        Attributes();
        glUniform3f(offset, 0, 0, 0);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(blocks.size()));
        glBindBuffer(GL_ARRAY_BUFFER, model);
        Attributes();
        for (const Place& p : model_places) {
            glUniform3f(offset, p.x, p.y, p.z);
            glDrawArrays(GL_TRIANGLES, 0, GLsizei(model_vertices.size()));
        }
        glFinish();
    }
};

}  // namespace

int main() {
    tb::Graphics g;
    tb::DeviceOptions o;
    o.headless = true;
    if (!tb::InitDevice(g, o, kWidth, kHeight)) {
        std::fprintf(stderr, "bench_d3d: %s\n", g.device.LastError());
        return 1;
    }
    tb::SetMode3D(g, true);
    tb::CBitmap32 image(64, 64);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = ((i / 8 + i / 512) % 2) ? 0xFFC08040u : 0xFF604020u;
    const int32_t tex = g.textures.FromBitmap(image);
    g.draw.SetColor(0xFFFFFF);
    const tb::Vec3 eye{-100, -100, 200}, at{400, 400, 0}, up{0, 0, 1};
    tb::ProjectionExt(g, eye, at, up, 60, double(kWidth) / kHeight, 1, 2000);
    g.device.SetLighting(true);
    g.device.SetFog(true, 0x998080, 100, 800);
    tb::LightDirection(g, 0, 0, 0.5, -1, 0xCCCCCC);
    tb::LightDirection(g, 1, 1, 1, -1, 0x664C4C);
    tb::LightPoint(g, 2, 100, 100, 40, 400, 0x80CCFF);
    tb::LightPoint(g, 3, 600, 600, 40, 400, 0xFFCC80);
    for (int i = 0; i < kLights; ++i) tb::LightEnable(g, i, true);

    const std::vector<Place> blocks = Places(kBlocks, 800, 12345);
    const std::vector<Place> places = Places(kModels, 800, 777);
    tb::ModelTable& models = g.d3d.models;
    const int32_t m = models.Create();
    RecordModel(models, m);

    // The hand loop's copy of the model: the same list vertices, taken from a recording.
    struct Collect final : tb::PrimitiveOutput {
        std::vector<tb::LitVertex> v;
        void Draw(tb::Primitive, int32_t, std::span<const tb::LitVertex> s) override {
            v.insert(v.end(), s.begin(), s.end());
        }
        bool Repeat() const override { return false; }
        void SetRepeat(bool) override {}
    } collect;
    {
        tb::Builder3D b;
        for (int part = 0; part < 4; ++part) {
            b.Begin(4, -1);
            const auto& cmds = models.Get(m)->commands;
            for (size_t k = size_t(part) * 752 + 1; k < size_t(part) * 752 + 751; ++k) {
                const auto& c = cmds[k].v;
                b.Vertex(
                    tb::MakeLitVertex(c[0], c[1], c[2], c[3], c[4], c[5], 0xFFFFFFFF, c[6], c[7]));
            }
            b.End(collect);
        }
    }

    const tb::Matrix4 view_proj_rows = tb::Multiply(
        tb::LookAtLH(eye, at, up),
        tb::PerspectiveFovLH(60 * std::numbers::pi / 180, double(kWidth) / kHeight, 1, 2000));
    auto* window = static_cast<SDL_Window*>(g.device.NativeWindow());
    HandLoop hand;
    if (!hand.Init(window, view_proj_rows, collect.v)) {
        std::fprintf(stderr, "bench_d3d: the hand-written loop has no render target\n");
        return 1;
    }

    const double triangles = kBlocks * 12.0 + kModels * double(collect.v.size() / 3);
    uint64_t calls = 0;
    const double engine = TimeFrames([&] {
        const uint64_t before = g.device.DriverDrawCalls();
        g.device.Clear(0xFF000000);
        g.device.ClearZ();
        tb::DeviceOutput out(g);
        const uint32_t argb = tb::DeviceColor(g.draw.ColorBgr(), g.draw.alpha);
        for (const Place& p : blocks)
            tb::ShapeBlock(g.d3d.builder, out, {p.x, p.y, p.z, p.x + 8, p.y + 8, p.z + 8}, tex, 1,
                           1, argb);
        for (const Place& p : places) tb::DrawModel(g, m, p.x, p.y, p.z, tex);
        g.device.Flush();
        glFinish();
        calls = g.device.DriverDrawCalls() - before;
    });
    const double manual = TimeFrames([&] { hand.Frame(window, blocks, places); });
    std::printf("triangles per frame: %.0f (%d blocks, %d models of %zu)\n", triangles, kBlocks,
                kModels, collect.v.size() / 3);
    std::printf("%-12s %10s %8s %12s %12s\n", "", "ms/frame", "fps", "ns/triangle", "driver calls");
    std::printf("%-12s %10.3f %8.1f %12.2f %12llu\n", "engine", engine, 1000 / engine,
                engine * 1e6 / triangles, static_cast<unsigned long long>(calls));
    std::printf("%-12s %10.3f %8.1f %12.2f %12d\n", "hand GL", manual, 1000 / manual,
                manual * 1e6 / triangles, 1 + kModels);
    std::printf("ratio engine / hand: %.2f\n", engine / manual);
    SDL_GL_DeleteContext(hand.context);
    tb::ReleaseGraphics(g);
    return 0;
}
