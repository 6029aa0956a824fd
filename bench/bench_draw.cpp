// Sprite drawing headless: N textured quads per frame through TextureTable::DrawExt, against a
// minimal hand-written GL loop that builds the same quads and draws them with one call per
// texture. Both render 640 x 480 offscreen; a frame ends with glFinish so the rasteriser's
// work is counted. Prints milliseconds per frame and the ratio.
#include <SDL.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "frame_timer.h"
#include "graphics/graphics.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kTextures = 4, kSize = 16;

struct Sprite {
    float x, y, angle;  // angle in degrees
    int texture;
};

std::vector<Sprite> MakeSprites(int n) {
    std::vector<Sprite> s(static_cast<size_t>(n));
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1 << 24);
    };
    // Grouped by texture, as instances of one object share a sprite.
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = {next() * kWidth, next() * kHeight, next() < 0.5f ? 0.0f : next() * 360,
                        i * kTextures / n};
    return s;
}

using tb::bench::TimeFrames;

// --- the hand-written loop: its own context, program, buffer and render target

const char* kVs = R"(#version 330 core
layout(location = 0) in vec2 p;
layout(location = 1) in vec4 c;
layout(location = 2) in vec2 t;
uniform vec2 scale;
out vec4 vc;
out vec2 vt;
void main() { gl_Position = vec4(p * scale + vec2(-1.0, -1.0), 0.0, 1.0); vc = c; vt = t; }
)";
const char* kFs = R"(#version 330 core
in vec4 vc;
in vec2 vt;
uniform sampler2D tex;
out vec4 o;
void main() { o = texture(tex, vt) * vc; }
)";

struct Vertex {
    float x, y;
    uint32_t color;
    float u, v;
};

struct HandLoop {
    SDL_GLContext context = nullptr;
    GLuint program = 0, vao = 0, vbo = 0, fbo = 0, target = 0;
    GLuint textures[kTextures] = {};
    std::vector<Vertex> vertices;

    bool Init(SDL_Window* window) {
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
        glUniform2f(glGetUniformLocation(program, "scale"), 2.0f / kWidth, 2.0f / kHeight);
        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        glGenBuffers(1, &vbo);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                              reinterpret_cast<void*>(8));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                              reinterpret_cast<void*>(12));
        std::vector<uint32_t> pixels(kSize * kSize);
        glGenTextures(kTextures, textures);
        for (int t = 0; t < kTextures; ++t) {
            for (uint32_t& p : pixels) p = 0xFF000000u | uint32_t(0x402000 * (t + 1));
            glBindTexture(GL_TEXTURE_2D, textures[t]);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kSize, kSize, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                         pixels.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        }
        glGenTextures(1, &target);
        glBindTexture(GL_TEXTURE_2D, target);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kWidth, kHeight, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     nullptr);
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
        glViewport(0, 0, kWidth, kHeight);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    void Frame(SDL_Window* window, const std::vector<Sprite>& sprites) {
        SDL_GL_MakeCurrent(window, context);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        size_t first = 0;
        while (first < sprites.size()) {
            const int t = sprites[first].texture;
            vertices.clear();
            size_t i = first;
            for (; i < sprites.size() && sprites[i].texture == t; ++i) {
                const Sprite& s = sprites[i];
                const float a = s.angle * float(std::numbers::pi) / 180;
                const float c = std::cos(a), sn = std::sin(a);
                const float corners[4][2] = {
                    {-8.5f, -8.5f}, {7.5f, -8.5f}, {7.5f, 7.5f}, {-8.5f, 7.5f}};
                const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
                Vertex q[4];
                for (int k = 0; k < 4; ++k)
                    q[k] = {s.x + corners[k][0] * c + corners[k][1] * sn,
                            s.y - corners[k][0] * sn + corners[k][1] * c, 0xFFFFFFFF, uv[k][0],
                            uv[k][1]};
                for (int k : {0, 1, 2, 0, 2, 3}) vertices.push_back(q[k]);
            }
            glBindTexture(GL_TEXTURE_2D, textures[t]);
            glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(Vertex)),
                         vertices.data(), GL_STREAM_DRAW);
            glDrawArrays(GL_TRIANGLES, 0, GLsizei(vertices.size()));
            first = i;
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
        std::fprintf(stderr, "bench_draw: %s\n", g.device.LastError());
        return 1;
    }
    int32_t ids[kTextures];
    for (int t = 0; t < kTextures; ++t)
        ids[t] = g.textures.FromBitmap(
            tb::CBitmap32(kSize, kSize, 0xFF000000u | uint32_t(0x402000 * (t + 1))));
    auto* window = static_cast<SDL_Window*>(g.device.NativeWindow());
    HandLoop hand;
    if (!hand.Init(window)) {
        std::fprintf(stderr, "bench_draw: the hand-written loop has no render target\n");
        return 1;
    }
    std::printf("%10s %14s %14s %8s %12s\n", "sprites", "DrawExt ms", "hand GL ms", "ratio",
                "driver calls");
    for (int n : {1000, 10000, 100000}) {
        const std::vector<Sprite> sprites = MakeSprites(n);
        uint64_t calls = 0;
        const double engine = TimeFrames([&] {
            const uint64_t before = g.device.DriverDrawCalls();
            g.device.Clear(0xFF000000);
            for (const Sprite& s : sprites)
                g.textures.DrawExt(ids[s.texture], 8, 8, s.x, s.y, 1, 1, s.angle, 0xFFFFFF, 1);
            g.device.Flush();
            glFinish();
            calls = g.device.DriverDrawCalls() - before;
        });
        const double manual = TimeFrames([&] { hand.Frame(window, sprites); });
        std::printf("%10d %14.3f %14.3f %8.2f %12llu\n", n, engine, manual, engine / manual,
                    static_cast<unsigned long long>(calls));
    }
    SDL_GL_DeleteContext(hand.context);
    tb::ReleaseGraphics(g);
    return 0;
}
