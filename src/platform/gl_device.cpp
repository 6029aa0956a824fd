// GraphicsDevice on an OpenGL 3.3 core context of an SDL window. Every render target, the back
// buffer included, is a framebuffer object whose first stored row is the top row, so that
// region coordinates, texture rows and read-back rows all run top-down. Draws are collected
// into one vertex buffer and sent as one glDrawArrays per run of equal state.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "graphics/device.h"
#include "graphics/matrix.h"
#include "graphics/primitive_lists.h"
#include "platform/gl_shaders.h"

namespace tb {

namespace {

constexpr const char* kNoDisplay =
    "Cannot open the game window: no display is available. Use --headless to run without one.";
constexpr const char* kNoSurfaces =
    "Failed to initialize drawing surfaces. Please check that your graphics card meets the "
    "minimum requirements and that your drivers are up-to-date. If your graphics card has "
    "little memory, try switching your computer to a lower resolution.";
constexpr const char* kBadDepth =
    "This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this "
    "in your display properties and run again.";

enum class Format : uint8_t { Plain, Tex, Lit };
enum class Mode : uint8_t { Points, Lines, Triangles };

constexpr size_t Stride(Format f) {
    return f == Format::Plain ? sizeof(PlainVertex)
           : f == Format::Tex ? sizeof(TexVertex)
                              : sizeof(LitVertex);
}

GLenum GlMode(Mode m) {
    return m == Mode::Points ? GL_POINTS : m == Mode::Lines ? GL_LINES : GL_TRIANGLES;
}

Mode ModeOf(Primitive p) {
    const Primitive list = ListKindOf(p);
    return list == Primitive::PointList  ? Mode::Points
           : list == Primitive::LineList ? Mode::Lines
                                         : Mode::Triangles;
}

GLenum GlBlend(BlendFactor f) {
    switch (f) {
        case BlendFactor::Zero:
            return GL_ZERO;
        case BlendFactor::One:
            return GL_ONE;
        case BlendFactor::SrcColor:
            return GL_SRC_COLOR;
        case BlendFactor::InvSrcColor:
            return GL_ONE_MINUS_SRC_COLOR;
        case BlendFactor::SrcAlpha:
            return GL_SRC_ALPHA;
        case BlendFactor::InvSrcAlpha:
            return GL_ONE_MINUS_SRC_ALPHA;
        case BlendFactor::DestAlpha:
            return GL_DST_ALPHA;
        case BlendFactor::InvDestAlpha:
            return GL_ONE_MINUS_DST_ALPHA;
        case BlendFactor::DestColor:
            return GL_DST_COLOR;
        case BlendFactor::InvDestColor:
            return GL_ONE_MINUS_DST_COLOR;
        case BlendFactor::SrcAlphaSat:
            return GL_SRC_ALPHA_SATURATE;
    }
    return GL_ONE;
}

int32_t NextPow2(int32_t v) {
    int32_t p = 1;
    while (p < v && p < (1 << 30)) p <<= 1;
    return p;
}

struct TexInfo {
    int32_t width = 0, height = 0;
    bool render_target = false;
    GLuint fbo = 0;
};

struct Uniforms {
    GLint world, view, proj, half_pixel, ambient, light_on, light_point, light_vec, light_color,
        light_range, fog_start, fog_end, texture, fog_color;
};

// One program of the shader family, with the version of the uniform values it last took.
struct Program {
    GLuint id = 0;
    bool failed = false;
    Uniforms u{};
    uint64_t version = 0;
};

GLuint Compile(GLenum kind, const char* source, std::string& error) {
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        error = log;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

}  // namespace

struct GraphicsDevice::Impl {
    // --- platform handles
    bool video = false;  // this device holds a reference on the video subsystem
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    std::string error;
    bool ready = false;

    GLuint vao = 0, vbo = 0, sampler = 0;
    size_t vbo_capacity = 0, vbo_offset = 0;
    std::array<Program, gl::kFeatureCombinations> programs;
    int32_t bound = -1;  // index into programs
    // Raised whenever a uniform value changes; programs catch up when they next draw.
    uint64_t uniform_version = 1;

    // --- the back buffer: colour without alpha, and a depth buffer for 3D mode
    GLuint bb_fbo = 0, bb_color = 0, bb_depth = 0;
    int32_t bb_width = 0, bb_height = 0;
    // The client area as presented, made only when a frame of the whole window is asked for.
    GLuint client_fbo = 0, client_color = 0;
    int32_t client_w = 0, client_h = 0;
    std::unordered_map<DeviceTexture, TexInfo> textures;
    DeviceTexture target = 0;

    int32_t region_w = 640, region_h = 480;
    int32_t vp_x = 0, vp_y = 0, vp_w = 640, vp_h = 480;
    Matrix4 world = IdentityMatrix(), view = IdentityMatrix(), proj = IdentityMatrix();

    // --- remembered render states
    BlendFactor blend_src = BlendFactor::SrcAlpha, blend_dst = BlendFactor::InvSrcAlpha;
    bool interpolation = true, texture_blending = true, texture_repeat = false;
    bool hidden = true, lighting = false, smooth = true, fog = false, culling = false;
    uint32_t fog_color = 0;
    double fog_start = 0, fog_end = 0;
    bool mode3d = false, perspective = false, vsync = false;
    double depth = 0;
    DeviceLight lights[gl::kMaxLights];
    bool light_on[gl::kMaxLights] = {};
    uint32_t ambient = 0;

    // --- the pending batch
    std::vector<uint8_t> staging;
    size_t staged = 0;  // bytes
    size_t batch_vertices = 0;
    Format batch_format = Format::Plain;
    Mode batch_mode = Mode::Triangles;
    DeviceTexture batch_texture = 0;
    DeviceTexture selected = 0;
    bool batch_repeat = false;
    int8_t sampler_repeat = -1;  // the wrap mode the sampler holds (-1: unknown)
    uint64_t draw_calls = 0;
    // Vertex buffers kept for models: name -> vertex count.
    std::unordered_map<DeviceBuffer, size_t> buffers;

    bool MakeContext(const DeviceOptions& o);
    bool MakePipeline();
    bool MakeBackBuffer();
    bool MakeClientBuffer(int32_t w, int32_t h);
    // Fills the bound draw framebuffer (height fb_h) with the window colour and the region
    // scaled into dest; flip for the window's bottom-up rows.
    void ComposeClient(int32_t fb_h, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                       uint32_t window_color, bool flip);
    void DestroyGl();
    GLuint FboOf(DeviceTexture t);
    void BindTarget();
    Program* ProgramFor(uint32_t features);
    void UploadUniforms(Program& p);
    void Changed() { ++uniform_version; }
    void UploadViewport();
    void UploadSampler();
    void UploadHidden();
    void Use();
    void Flush();
    // Binds the program and the texture for drawing `format` with the current states.
    bool Prepare(Format format, DeviceTexture texture, bool repeat);
    void SetAttributes(Format format, size_t base);
    uint8_t* Reserve(Format f, Mode m, DeviceTexture t, size_t count);
    template <class V>
    void Append(Format f, Primitive kind, std::span<const V> v);
};

bool GraphicsDevice::Impl::MakeContext(const DeviceOptions& o) {
    if (o.headless && SDL_WasInit(SDL_INIT_VIDEO) == 0)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = kNoDisplay;
        return false;
    }
    video = true;
    // The first device keeps the video subsystem and the GL library for the rest of the
    // process: unloading the GL driver leaves its own never-freed allocations unreachable
    // (the sanitizer reports them as leaks), and loading it again for every device is slow.
    static const bool kept =
        SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 && SDL_GL_LoadLibrary(nullptr) == 0;
    (void)kept;
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool no_screen =
        !driver || SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0;
    if (no_screen && !o.headless) {
        error = kNoDisplay;
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                              std::max(o.window_width, 1), std::max(o.window_height, 1),
                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        error = kNoSurfaces;
        return false;
    }
    context = SDL_GL_CreateContext(window);
    if (!context) {
        error = kNoSurfaces;
        return false;
    }
    SDL_GL_MakeCurrent(window, context);
    SDL_GL_SetSwapInterval(o.vsync ? 1 : 0);
    return true;
}

bool GraphicsDevice::Impl::MakePipeline() {
    // The plain program proves that the shaders compile here.
    if (!ProgramFor(0)) {
        error = kNoSurfaces;
        return false;
    }
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    vbo_capacity = size_t(4) << 20;
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vbo_capacity), nullptr, GL_STREAM_DRAW);
    vbo_offset = 0;
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glGenSamplers(1, &sampler);
    glBindSampler(0, sampler);
    sampler_repeat = -1;
    glActiveTexture(GL_TEXTURE0);
    staging.resize(size_t(1) << 20);
    return true;
}

Program* GraphicsDevice::Impl::ProgramFor(uint32_t features) {
    Program& p = programs[features];
    if (p.failed) return nullptr;
    if (!p.id) {
        std::string defines = "#version 330 core\n";
        auto define = [&defines, features](const char* name, uint32_t bit) {
            defines += std::string("#define ") + name + ((features & bit) ? " 1\n" : " 0\n");
        };
        define("TEXTURED", gl::kTextured);
        define("MODULATE", gl::kModulate);
        define("ALPHA_TEST", gl::kAlphaTest);
        define("FOG", gl::kFog);
        define("RANGE_FOG", gl::kRangeFog);
        define("LIGHTING", gl::kLighting);
        define("FLAT", gl::kFlat);
        std::string log;
        const std::string vs_text = defines + gl::kVertexShader;
        const std::string fs_text = defines + gl::kFragmentShader;
        GLuint vs = Compile(GL_VERTEX_SHADER, vs_text.c_str(), log);
        GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, fs_text.c_str(), log) : 0;
        if (!vs || !fs) {
            if (vs) glDeleteShader(vs);
            p.failed = true;
            return nullptr;
        }
        p.id = glCreateProgram();
        glAttachShader(p.id, vs);
        glAttachShader(p.id, fs);
        glLinkProgram(p.id);
        glDeleteShader(vs);
        glDeleteShader(fs);
        GLint ok = 0;
        glGetProgramiv(p.id, GL_LINK_STATUS, &ok);
        if (!ok) {
            glDeleteProgram(p.id);
            p.id = 0;
            p.failed = true;
            return nullptr;
        }
        auto at = [&p](const char* name) { return glGetUniformLocation(p.id, name); };
        p.u = {at("u_world"),       at("u_view"),        at("u_proj"),        at("u_half_pixel"),
               at("u_ambient"),     at("u_light_on"),    at("u_light_point"), at("u_light_vec"),
               at("u_light_color"), at("u_light_range"), at("u_fog_start"),   at("u_fog_end"),
               at("u_texture"),     at("u_fog_color")};
        p.version = 0;
    }
    return &p;
}

void GraphicsDevice::Impl::UploadUniforms(Program& p) {
    const Uniforms& u = p.u;
    glUniformMatrix4fv(u.world, 1, GL_FALSE, &world[0][0]);
    glUniformMatrix4fv(u.view, 1, GL_FALSE, &view[0][0]);
    glUniformMatrix4fv(u.proj, 1, GL_FALSE, &proj[0][0]);
    glUniform2f(u.half_pixel, vp_w > 0 ? 1.0f / float(vp_w) : 0.0f,
                vp_h > 0 ? 1.0f / float(vp_h) : 0.0f);
    glUniform1i(u.texture, 0);
    if (u.light_on >= 0) {
        GLint on[gl::kMaxLights], point[gl::kMaxLights];
        float vec[gl::kMaxLights * 3], color[gl::kMaxLights * 3], range[gl::kMaxLights];
        for (int i = 0; i < gl::kMaxLights; ++i) {
            const DeviceLight& l = lights[i];
            on[i] = light_on[i];
            point[i] = l.point;
            vec[i * 3] = l.x;
            vec[i * 3 + 1] = l.y;
            vec[i * 3 + 2] = l.z;
            color[i * 3] = float((l.color >> 16) & 0xFF) / 255.0f;
            color[i * 3 + 1] = float((l.color >> 8) & 0xFF) / 255.0f;
            color[i * 3 + 2] = float(l.color & 0xFF) / 255.0f;
            range[i] = l.range;
        }
        glUniform1iv(u.light_on, gl::kMaxLights, on);
        glUniform1iv(u.light_point, gl::kMaxLights, point);
        glUniform3fv(u.light_vec, gl::kMaxLights, vec);
        glUniform3fv(u.light_color, gl::kMaxLights, color);
        glUniform1fv(u.light_range, gl::kMaxLights, range);
        glUniform3f(u.ambient, float((ambient >> 16) & 0xFF) / 255.0f,
                    float((ambient >> 8) & 0xFF) / 255.0f, float(ambient & 0xFF) / 255.0f);
    }
    if (u.fog_color >= 0) {
        glUniform1f(u.fog_start, float(fog_start));
        glUniform1f(u.fog_end, float(fog_end));
        // The colour is a script colour: red in the low byte.
        glUniform3f(u.fog_color, float(fog_color & 0xFF) / 255.0f,
                    float((fog_color >> 8) & 0xFF) / 255.0f,
                    float((fog_color >> 16) & 0xFF) / 255.0f);
    }
    p.version = uniform_version;
}

bool GraphicsDevice::Impl::MakeBackBuffer() {
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        mode.w = 1024;
        mode.h = 768;
    }
    bb_width = std::max(mode.w, 1);
    bb_height = std::max(mode.h, 1);
    glGenTextures(1, &bb_color);
    glBindTexture(GL_TEXTURE_2D, bb_color);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, bb_width, bb_height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 nullptr);
    glGenRenderbuffers(1, &bb_depth);
    glBindRenderbuffer(GL_RENDERBUFFER, bb_depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, bb_width, bb_height);
    glGenFramebuffers(1, &bb_fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, bb_fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, bb_color, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, bb_depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = kNoSurfaces;
        return false;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    target = 0;
    return true;
}

void GraphicsDevice::Impl::DestroyGl() {
    if (!context) return;
    for (auto& [t, info] : textures) {
        if (info.fbo) glDeleteFramebuffers(1, &info.fbo);
        GLuint name = t;
        glDeleteTextures(1, &name);
    }
    textures.clear();
    for (auto& [b, count] : buffers) {
        GLuint name = b;
        glDeleteBuffers(1, &name);
    }
    buffers.clear();
    sampler_repeat = -1;
    if (client_fbo) glDeleteFramebuffers(1, &client_fbo);
    if (client_color) glDeleteRenderbuffers(1, &client_color);
    client_fbo = client_color = 0;
    client_w = client_h = 0;
    if (bb_fbo) glDeleteFramebuffers(1, &bb_fbo);
    if (bb_depth) glDeleteRenderbuffers(1, &bb_depth);
    if (bb_color) glDeleteTextures(1, &bb_color);
    if (sampler) glDeleteSamplers(1, &sampler);
    if (vbo) glDeleteBuffers(1, &vbo);
    if (vao) glDeleteVertexArrays(1, &vao);
    for (Program& p : programs) {
        if (p.id) glDeleteProgram(p.id);
        p = Program{};
    }
    bound = -1;
    bb_fbo = bb_depth = bb_color = sampler = vbo = vao = 0;
}

GLuint GraphicsDevice::Impl::FboOf(DeviceTexture t) {
    if (t == 0) return bb_fbo;
    auto it = textures.find(t);
    if (it == textures.end() || !it->second.render_target) return 0;
    if (!it->second.fbo) {
        GLuint fbo = 0;
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t, 0);
        const bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, FboOf(target));
        if (!ok) {
            glDeleteFramebuffers(1, &fbo);
            return 0;
        }
        it->second.fbo = fbo;
    }
    return it->second.fbo;
}

void GraphicsDevice::Impl::BindTarget() {
    glBindFramebuffer(GL_FRAMEBUFFER, FboOf(target));
}

void GraphicsDevice::Impl::UploadViewport() {
    glViewport(vp_x, vp_y, vp_w, vp_h);
    glScissor(vp_x, vp_y, vp_w, vp_h);
    Changed();
}

void GraphicsDevice::Impl::UploadSampler() {
    const GLint filter = interpolation ? GL_LINEAR : GL_NEAREST;
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, filter);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, filter);
}

void GraphicsDevice::Impl::UploadHidden() {
    const bool on = hidden && mode3d;
    if (on) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
}

void GraphicsDevice::Impl::Use() {
    // Other windows (the loading window, dialogs) have contexts of their own.
    if (SDL_GL_GetCurrentContext() != context) SDL_GL_MakeCurrent(window, context);
}

void GraphicsDevice::Impl::SetAttributes(Format format, size_t base) {
    const GLsizei stride = GLsizei(Stride(format));
    auto ptr = [base](size_t field) { return reinterpret_cast<const void*>(base + field); };
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, ptr(0));
    glEnableVertexAttribArray(2);
    if (format == Format::Lit) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, ptr(12));
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, ptr(24));
        glEnableVertexAttribArray(3);
        glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, ptr(28));
    } else {
        glDisableVertexAttribArray(1);
        glVertexAttrib3f(1, 0, 0, 0);
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, ptr(12));
        if (format == Format::Tex) {
            glEnableVertexAttribArray(3);
            glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, ptr(16));
        } else {
            glDisableVertexAttribArray(3);
            glVertexAttrib2f(3, 0, 0);
        }
    }
}

bool GraphicsDevice::Impl::Prepare(Format format, DeviceTexture texture, bool repeat) {
    const bool textured = format != Format::Plain && texture != 0;
    uint32_t features = 0;
    if (textured) features |= gl::kTextured | (texture_blending ? gl::kModulate : 0u);
    if (hidden && mode3d) features |= gl::kAlphaTest;
    if (fog) features |= gl::kFog | (mode3d && perspective ? gl::kRangeFog : 0u);
    if (lighting) features |= gl::kLighting;
    if (!smooth) features |= gl::kFlat;
    if (textured && sampler_repeat != int8_t(repeat)) {
        // The wrap mode is part of the batch, so shapes that switch repeat on and back off
        // around themselves do not split the batches between them.
        const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wrap);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wrap);
        sampler_repeat = int8_t(repeat);
    }
    Program* p = ProgramFor(features);
    glBindTexture(GL_TEXTURE_2D, textured ? texture : 0);
    if (!p) return false;
    const int32_t index = int32_t(features);
    if (bound != index) {
        glUseProgram(p->id);
        bound = index;
    }
    if (p->version != uniform_version) UploadUniforms(*p);
    return true;
}

void GraphicsDevice::Impl::Flush() {
    Use();
    if (batch_vertices == 0) return;
    const size_t bytes = staged;
    if (vbo_offset + bytes > vbo_capacity) {
        // Orphan the storage: the driver keeps the old one for draws still in flight.
        vbo_capacity = std::max(vbo_capacity, bytes);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vbo_capacity), nullptr, GL_STREAM_DRAW);
        vbo_offset = 0;
    }
    glBufferSubData(GL_ARRAY_BUFFER, GLintptr(vbo_offset), GLsizeiptr(bytes), staging.data());
    SetAttributes(batch_format, vbo_offset);
    if (Prepare(batch_format, batch_texture, batch_repeat)) {
        glDrawArrays(GlMode(batch_mode), 0, GLsizei(batch_vertices));
        ++draw_calls;
    }
    vbo_offset += bytes;
    // Keep the next batch's offset a multiple of every stride.
    vbo_offset = (vbo_offset + 143) / 144 * 144;
    staged = 0;
    batch_vertices = 0;
}

uint8_t* GraphicsDevice::Impl::Reserve(Format f, Mode m, DeviceTexture t, size_t count) {
    if (f == Format::Plain) t = 0;
    constexpr size_t kMaxBatchBytes = size_t(8) << 20;
    const bool repeat = t != 0 && texture_repeat;
    if (batch_vertices != 0 &&
        (f != batch_format || m != batch_mode || t != batch_texture || repeat != batch_repeat ||
         staged + count * Stride(f) > kMaxBatchBytes))
        Flush();
    batch_repeat = repeat;
    batch_format = f;
    batch_mode = m;
    batch_texture = t;
    const size_t need = staged + count * Stride(f);
    if (need > staging.size()) staging.resize(std::max(need, staging.size() * 2));
    uint8_t* out = staging.data() + staged;
    staged = need;
    batch_vertices += count;
    return out;
}

template <class V>
void GraphicsDevice::Impl::Append(Format f, Primitive kind, std::span<const V> v) {
    if (!ready) return;
    const size_t n = v.size();
    const size_t count = ListCount(kind, n);
    if (count == 0) return;
    V* out = reinterpret_cast<V*>(Reserve(f, ModeOf(kind), selected, count));
    ExpandToList(kind, v, out);
}

// --- lifetime

GraphicsDevice::GraphicsDevice() : impl_(std::make_unique<Impl>()) {}

GraphicsDevice::~GraphicsDevice() {
    Release();
}

bool GraphicsDevice::Init(const DeviceOptions& options, int32_t width, int32_t height) {
    Release();
    Impl& d = *impl_;
    d.error.clear();
    d.vsync = options.vsync;
    if (!d.MakeContext(options) || !d.MakePipeline() || !d.MakeBackBuffer()) {
        const std::string why = d.error;
        Release();
        d.error = why;
        return false;
    }
    if (DisplayDepth() != 16 && DisplayDepth() != 32) {
        Release();
        d.error = kBadDepth;
        return false;
    }
    d.ready = true;
    d.region_w = std::min(std::max(width, 0), d.bb_width);
    d.region_h = std::min(std::max(height, 0), d.bb_height);
    glEnable(GL_SCISSOR_TEST);
    d.BindTarget();
    d.vp_x = d.vp_y = 0;
    d.vp_w = d.bb_width;
    d.vp_h = d.bb_height;
    d.UploadViewport();
    Clear(0xFF000000);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    SetViewport(0, 0, d.region_w, d.region_h);
    SetProjection(0, 0, d.region_w, d.region_h, 0);
    ApplyStates();
    return true;
}

int32_t GraphicsDevice::DesktopDepth(bool headless) {
    if (headless && SDL_WasInit(SDL_INIT_VIDEO) == 0)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
    SDL_DisplayMode m{};
    const int32_t depth =
        SDL_GetDesktopDisplayMode(0, &m) == 0 ? int32_t(SDL_BYTESPERPIXEL(m.format)) * 8 : 0;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return depth;
}

bool GraphicsDevice::Reset() {
    Impl& d = *impl_;
    if (!d.ready) return false;
    d.Flush();
    for (auto it = d.textures.begin(); it != d.textures.end();) {
        // Render targets do not survive a reset; their owners have freed them already.
        if (it->second.render_target) {
            if (it->second.fbo) glDeleteFramebuffers(1, &it->second.fbo);
            GLuint name = it->first;
            glDeleteTextures(1, &name);
            it = d.textures.erase(it);
        } else {
            ++it;
        }
    }
    d.target = 0;
    d.BindTarget();
    d.world = IdentityMatrix();
    for (int i = 0; i < gl::kMaxLights; ++i) {
        d.lights[i] = DeviceLight{};
        d.light_on[i] = false;
    }
    d.vp_x = d.vp_y = 0;
    d.vp_w = d.bb_width;
    d.vp_h = d.bb_height;
    d.UploadViewport();
    Clear(0xFF000000);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    SetViewport(0, 0, d.region_w, d.region_h);
    SetProjection(0, 0, d.region_w, d.region_h, 0);
    ApplyStates();
    return true;
}

void GraphicsDevice::Release() {
    Impl& d = *impl_;
    if (d.context) {
        SDL_GL_MakeCurrent(d.window, d.context);
        d.DestroyGl();
        SDL_GL_DeleteContext(d.context);
        d.context = nullptr;
    }
    if (d.window) SDL_DestroyWindow(d.window);
    d.window = nullptr;
    if (d.video) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    d.video = false;
    d.ready = false;
    d.staged = 0;
    d.batch_vertices = 0;
    d.selected = 0;
}

bool GraphicsDevice::Exists() const {
    return impl_->ready;
}

const char* GraphicsDevice::LastError() const {
    return impl_->error.c_str();
}

void* GraphicsDevice::NativeWindow() const {
    return impl_->window;
}

void* GraphicsDevice::NativeContext() const {
    return impl_->context;
}

// --- region and frame

void GraphicsDevice::SetRegionSize(int32_t width, int32_t height) {
    Impl& d = *impl_;
    if (!d.ready) return;
    width = std::min(width, d.bb_width);
    height = std::min(height, d.bb_height);
    if (width == d.region_w && height == d.region_h) return;
    d.region_w = width;
    d.region_h = height;
    SetViewport(0, 0, width, height);
    SetProjection(0, 0, width, height, 0);
}

int32_t GraphicsDevice::RegionWidth() const {
    return impl_->region_w;
}

int32_t GraphicsDevice::RegionHeight() const {
    return impl_->region_h;
}

void GraphicsDevice::SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    Impl& d = *impl_;
    if (!d.ready) return;
    d.Flush();
    d.vp_x = x;
    d.vp_y = y;
    d.vp_w = std::max(width, 0);
    d.vp_h = std::max(height, 0);
    d.UploadViewport();
}

void GraphicsDevice::SetProjection(double x, double y, double width, double height, double angle) {
    Impl& d = *impl_;
    if (!d.ready) return;
    d.Flush();
    ProjectionFor2D(x, y, width, height, angle, d.mode3d && d.perspective, d.view, d.proj);
    d.Changed();
}

void GraphicsDevice::SetViewTransform(const Matrix4& m) {
    Impl& d = *impl_;
    if (!d.ready) return;
    d.Flush();
    d.view = m;
    d.Changed();
}

void GraphicsDevice::SetProjectionTransform(const Matrix4& m) {
    Impl& d = *impl_;
    if (!d.ready) return;
    d.Flush();
    d.proj = m;
    d.Changed();
}

void GraphicsDevice::SetWorldTransform(const Matrix4& m) {
    Impl& d = *impl_;
    if (!d.ready) return;
    d.Flush();
    d.world = m;
    d.Changed();
}

Matrix4 GraphicsDevice::WorldTransform() const {
    return impl_->world;
}

bool GraphicsDevice::BeginScene() {
    return impl_->ready;
}

bool GraphicsDevice::EndAndPresent(int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                                   uint32_t window_color) {
    return PresentOnly(dx, dy, dw, dh, window_color);
}

bool GraphicsDevice::PresentOnly(int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                                 uint32_t window_color) {
    return PresentWithOverlay(dx, dy, dw, dh, window_color, {});
}

bool GraphicsDevice::PresentWithOverlay(int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                                        uint32_t window_color,
                                        const std::function<void()>& overlay) {
    Impl& d = *impl_;
    if (!d.ready) return false;
    d.Flush();
    int cw = 0, ch = 0;
    SDL_GL_GetDrawableSize(d.window, &cw, &ch);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The window's first row is at the bottom: the destination is turned upside down.
    d.ComposeClient(ch, dx, dy, dw, dh, window_color, true);
    if (overlay) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        overlay();
        d.Use();
    }
    SDL_GL_SwapWindow(d.window);
    d.BindTarget();
    return true;
}

void GraphicsDevice::Impl::ComposeClient(int32_t fb_h, int32_t dx, int32_t dy, int32_t dw,
                                         int32_t dh, uint32_t window_color, bool flip) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, bb_fbo);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(float(window_color & 0xFF) / 255.0f, float((window_color >> 8) & 0xFF) / 255.0f,
                 float((window_color >> 16) & 0xFF) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (dw > 0 && dh > 0 && region_w > 0 && region_h > 0) {
        const bool same = dw == region_w && dh == region_h;
        const int32_t y0 = flip ? fb_h - dy : dy;
        const int32_t y1 = flip ? fb_h - dy - dh : dy + dh;
        glBlitFramebuffer(0, 0, region_w, region_h, dx, y0, dx + dw, y1, GL_COLOR_BUFFER_BIT,
                          same || !interpolation ? GL_NEAREST : GL_LINEAR);
    }
    glEnable(GL_SCISSOR_TEST);
}

bool GraphicsDevice::Impl::MakeClientBuffer(int32_t w, int32_t h) {
    if (client_fbo && client_w == w && client_h == h) return true;
    if (!client_fbo) {
        glGenFramebuffers(1, &client_fbo);
        glGenRenderbuffers(1, &client_color);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, client_color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, w, h);
    glBindFramebuffer(GL_FRAMEBUFFER, client_fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, client_color);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    client_w = complete ? w : 0;
    client_h = complete ? h : 0;
    return complete;
}

void GraphicsDevice::Clear(uint32_t argb) {
    Impl& d = *impl_;
    if (!d.ready) return;
    d.Flush();
    glClearColor(float((argb >> 16) & 0xFF) / 255.0f, float((argb >> 8) & 0xFF) / 255.0f,
                 float(argb & 0xFF) / 255.0f, float(argb >> 24) / 255.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void GraphicsDevice::ClearZ() {
    Impl& d = *impl_;
    if (!d.ready || !d.mode3d) return;
    d.Flush();
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
}

namespace {

// Reads (x, y, w, h) of the bound read framebuffer, rows top-down.
CBitmap32 ReadRect(int32_t x, int32_t y, int32_t w, int32_t h, bool opaque) {
    CBitmap32 b(w, h);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, y, w, h, GL_BGRA, GL_UNSIGNED_BYTE, b.pixels.data());
    if (opaque)
        for (uint32_t& p : b.pixels) p |= 0xFF000000u;
    return b;
}

bool Clip(int32_t& x, int32_t& y, int32_t& w, int32_t& h, int32_t limit_w, int32_t limit_h) {
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    w = int32_t(std::min<int64_t>(w, int64_t(limit_w) - x));
    h = int32_t(std::min<int64_t>(h, int64_t(limit_h) - y));
    return w > 0 && h > 0;
}

}  // namespace

CBitmap32 GraphicsDevice::Capture(int32_t x, int32_t y, int32_t width, int32_t height) {
    Impl& d = *impl_;
    if (!d.ready || !Clip(x, y, width, height, d.region_w, d.region_h)) return {};
    d.Flush();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, d.bb_fbo);
    CBitmap32 b = ReadRect(x, y, width, height, true);
    d.BindTarget();
    return b;
}

CBitmap32 GraphicsDevice::CaptureClient(int32_t client_w, int32_t client_h, int32_t dx, int32_t dy,
                                        int32_t dw, int32_t dh, uint32_t window_color) {
    Impl& d = *impl_;
    if (!d.ready || client_w <= 0 || client_h <= 0) return {};
    d.Flush();
    CBitmap32 b;
    if (d.MakeClientBuffer(client_w, client_h)) {
        // Rows are kept top-down here, like the back buffer's, so no flip.
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, d.client_fbo);
        d.ComposeClient(client_h, dx, dy, dw, dh, window_color, false);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, d.client_fbo);
        b = ReadRect(0, 0, client_w, client_h, true);
    }
    d.BindTarget();
    return b;
}

CBitmap32 GraphicsDevice::CaptureTexture(DeviceTexture t, int32_t x, int32_t y, int32_t width,
                                         int32_t height) {
    Impl& d = *impl_;
    if (!d.ready) return {};
    auto it = d.textures.find(t);
    if (it == d.textures.end() || !it->second.render_target) return {};
    if (!Clip(x, y, width, height, it->second.width, it->second.height)) return {};
    d.Flush();
    GLuint fbo = d.FboOf(t);
    if (!fbo) return {};
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    CBitmap32 b = ReadRect(x, y, width, height, false);
    d.BindTarget();
    return b;
}

// --- render states

void GraphicsDevice::SetBlend(BlendFactor source, BlendFactor dest) {
    Impl& d = *impl_;
    if (d.ready && d.blend_src == source && d.blend_dst == dest) return;
    d.blend_src = source;
    d.blend_dst = dest;
    if (!d.ready) return;
    d.Flush();
    glBlendFunc(GlBlend(source), GlBlend(dest));
}

void GraphicsDevice::SetBlendMode(int32_t kind) {
    switch (kind) {
        case 1:
            SetBlend(BlendFactor::SrcAlpha, BlendFactor::One);
            break;
        case 2:
            SetBlend(BlendFactor::SrcAlpha, BlendFactor::InvSrcColor);
            break;
        case 3:
            SetBlend(BlendFactor::Zero, BlendFactor::InvSrcColor);
            break;
        default:
            SetBlend(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
            break;
    }
}

void GraphicsDevice::SetInterpolation(bool on) {
    Impl& d = *impl_;
    d.interpolation = on;
    if (!d.ready) return;
    d.Flush();
    d.UploadSampler();
}

bool GraphicsDevice::Interpolation() const {
    return impl_->interpolation;
}

void GraphicsDevice::SetTextureBlending(bool on) {
    Impl& d = *impl_;
    d.texture_blending = on;
    if (!d.ready) return;
    d.Flush();
}

void GraphicsDevice::SetTextureRepeat(bool on) {
    // Taken by each batch when it is drawn.
    impl_->texture_repeat = on;
}

bool GraphicsDevice::TextureRepeat() const {
    return impl_->texture_repeat;
}

void GraphicsDevice::SetDepthTest(bool on) {
    Impl& d = *impl_;
    d.hidden = on;
    if (!d.ready) return;
    d.Flush();
    d.UploadHidden();
}

void GraphicsDevice::SetLighting(bool on) {
    Impl& d = *impl_;
    d.lighting = on;
    if (!d.ready) return;
    d.Flush();
}

void GraphicsDevice::SetShading(bool smooth) {
    Impl& d = *impl_;
    if (d.ready && d.smooth != smooth) d.Flush();
    d.smooth = smooth;
}

void GraphicsDevice::SetFog(bool on, uint32_t bgr, double start, double end) {
    Impl& d = *impl_;
    d.fog = on;
    d.fog_color = bgr;
    d.fog_start = start;
    d.fog_end = end;
    if (!d.ready) return;
    d.Flush();
    d.Changed();
}

void GraphicsDevice::SetCulling(bool on) {
    Impl& d = *impl_;
    d.culling = on;
    if (!d.ready) return;
    d.Flush();
    if (on) {
        // Rows are stored top-down, so a triangle that turns counter-clockwise on the screen
        // is clockwise to the rasteriser: those are the culled ones.
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
    }
}

void GraphicsDevice::SetDepth(double z) {
    // 2D vertices lie in one plane outside 3D mode.
    Impl& d = *impl_;
    d.depth = d.mode3d && z == z ? std::clamp(z, -16000.0, 16000.0) : 0;
}

double GraphicsDevice::Depth() const {
    return impl_->depth;
}

void GraphicsDevice::Set3DMode(bool on, bool perspective) {
    Impl& d = *impl_;
    d.mode3d = on;
    d.perspective = perspective;
    if (!on) d.depth = 0;
    if (!d.ready) return;
    d.Flush();
    d.UploadHidden();
    d.Changed();
}

bool GraphicsDevice::Is3DMode() const {
    return impl_->mode3d;
}

bool GraphicsDevice::Perspective() const {
    return impl_->perspective;
}

void GraphicsDevice::SetVSync(bool on) {
    Impl& d = *impl_;
    d.vsync = on;
    if (!d.ready) return;
    d.Use();
    SDL_GL_SetSwapInterval(on ? 1 : 0);
}

bool GraphicsDevice::VSync() const {
    return impl_->vsync;
}

void GraphicsDevice::SetLight(int index, const DeviceLight& light) {
    Impl& d = *impl_;
    if (index < 0 || index >= gl::kMaxLights) return;
    d.lights[index] = light;
    if (!d.ready) return;
    d.Flush();
    d.Changed();
}

void GraphicsDevice::EnableLight(int index, bool on) {
    Impl& d = *impl_;
    if (index < 0 || index >= gl::kMaxLights) return;
    d.light_on[index] = on;
    if (!d.ready) return;
    d.Flush();
    d.Changed();
}

void GraphicsDevice::SetAmbient(uint32_t argb) {
    Impl& d = *impl_;
    d.ambient = argb;
    if (!d.ready) return;
    d.Flush();
    d.Changed();
}

void GraphicsDevice::ApplyStates() {
    Impl& d = *impl_;
    if (!d.ready) return;
    d.Flush();
    glEnable(GL_BLEND);
    SetCulling(d.culling);
    glBlendFunc(GlBlend(d.blend_src), GlBlend(d.blend_dst));
    SetLighting(d.lighting);
    SetShading(d.smooth);
    SetDepthTest(d.hidden);
    SetFog(d.fog, d.fog_color, d.fog_start, d.fog_end);
    SetInterpolation(d.interpolation);
    SetTextureBlending(d.texture_blending);
    d.UploadSampler();
    d.sampler_repeat = -1;
    d.Changed();
    d.Changed();
}

// --- drawing

void GraphicsDevice::SelectTexture(DeviceTexture texture) {
    impl_->selected = texture;
}

void GraphicsDevice::Draw(Primitive kind, std::span<const PlainVertex> vertices) {
    impl_->Append(Format::Plain, kind, vertices);
}

void GraphicsDevice::Draw(Primitive kind, std::span<const TexVertex> vertices) {
    impl_->Append(Format::Tex, kind, vertices);
}

void GraphicsDevice::Draw(Primitive kind, std::span<const LitVertex> vertices) {
    impl_->Append(Format::Lit, kind, vertices);
}

void GraphicsDevice::Flush() {
    if (impl_->ready) impl_->Flush();
}

DeviceBuffer GraphicsDevice::CreateBuffer(std::span<const LitVertex> vertices) {
    Impl& d = *impl_;
    if (!d.ready || vertices.empty()) return 0;
    d.Flush();
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint b = 0;
    glGenBuffers(1, &b);
    glBindBuffer(GL_ARRAY_BUFFER, b);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size_bytes()), vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, d.vbo);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteBuffers(1, &b);
        return 0;
    }
    d.buffers[b] = vertices.size();
    return b;
}

void GraphicsDevice::FreeBuffer(DeviceBuffer b) {
    Impl& d = *impl_;
    if (!d.ready) return;
    auto it = d.buffers.find(b);
    if (it == d.buffers.end()) return;
    d.Flush();
    GLuint name = b;
    glDeleteBuffers(1, &name);
    d.buffers.erase(it);
}

void GraphicsDevice::DrawBuffer(DeviceBuffer b, Primitive list_kind, size_t first, size_t count) {
    Impl& d = *impl_;
    if (!d.ready || count == 0) return;
    auto it = d.buffers.find(b);
    if (it == d.buffers.end() || first > it->second || count > it->second - first) return;
    d.Flush();
    glBindBuffer(GL_ARRAY_BUFFER, b);
    d.SetAttributes(Format::Lit, 0);
    if (d.Prepare(Format::Lit, d.selected, d.selected != 0 && d.texture_repeat)) {
        glDrawArrays(GlMode(ModeOf(list_kind)), GLint(first), GLsizei(count));
        ++d.draw_calls;
    }
    glBindBuffer(GL_ARRAY_BUFFER, d.vbo);
}

uint64_t GraphicsDevice::DriverDrawCalls() const {
    return impl_->draw_calls;
}

// --- textures

DeviceTexture GraphicsDevice::CreateTexture(int32_t width, int32_t height, bool render_target,
                                            int32_t& texture_width, int32_t& texture_height) {
    Impl& d = *impl_;
    if (!d.ready || width <= 0 || height <= 0) return 0;
    d.Flush();
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    const int32_t tw = NextPow2(width), th = NextPow2(height);
    if (tw > max_size || th > max_size) return 0;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &t);
        return 0;
    }
    // Start transparent black rather than with whatever the memory held.
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t, 0);
    const bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (ok) {
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
    }
    glDeleteFramebuffers(1, &fbo);
    d.BindTarget();
    if (!ok || glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &t);
        return 0;
    }
    d.textures[t] = TexInfo{tw, th, render_target, 0};
    texture_width = tw;
    texture_height = th;
    return t;
}

bool GraphicsDevice::LoadTexture(DeviceTexture t, int32_t width, int32_t height,
                                 const uint32_t* pixels) {
    Impl& d = *impl_;
    if (!d.ready || !pixels) return false;
    auto it = d.textures.find(t);
    if (it == d.textures.end()) return false;
    if (width <= 0 || height <= 0 || width > it->second.width || height > it->second.height)
        return false;
    d.Flush();
    glBindTexture(GL_TEXTURE_2D, t);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

void GraphicsDevice::FreeTexture(DeviceTexture t) {
    Impl& d = *impl_;
    if (!d.ready) return;
    auto it = d.textures.find(t);
    if (it == d.textures.end()) return;
    d.Flush();
    if (d.selected == t) d.selected = 0;
    if (d.target == t) {
        d.target = 0;
        d.BindTarget();
    }
    if (it->second.fbo) glDeleteFramebuffers(1, &it->second.fbo);
    GLuint name = t;
    glDeleteTextures(1, &name);
    d.textures.erase(it);
}

bool GraphicsDevice::SetRenderTarget(DeviceTexture t) {
    Impl& d = *impl_;
    if (!d.ready) return false;
    d.Flush();
    GLuint fbo = d.FboOf(t);
    if (!fbo) return false;
    d.target = t;
    d.BindTarget();
    return true;
}

DeviceTexture GraphicsDevice::RenderTarget() const {
    return impl_->target;
}

void GraphicsDevice::CopyRect(DeviceTexture dest, int32_t dx, int32_t dy, DeviceTexture src,
                              int32_t sx, int32_t sy, int32_t width, int32_t height) {
    Impl& d = *impl_;
    if (!d.ready || width <= 0 || height <= 0) return;
    d.Flush();
    GLuint from = d.FboOf(src), to = d.FboOf(dest);
    if (!from || !to) return;
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    glBlitFramebuffer(sx, sy, sx + width, sy + height, dx, dy, dx + width, dy + height,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glEnable(GL_SCISSOR_TEST);
    d.BindTarget();
}

// --- window and display

int32_t GraphicsDevice::ScreenWidth() const {
    SDL_DisplayMode m{};
    if (impl_->video && SDL_GetDesktopDisplayMode(0, &m) == 0) return m.w;
    return impl_->bb_width;
}

int32_t GraphicsDevice::ScreenHeight() const {
    SDL_DisplayMode m{};
    if (impl_->video && SDL_GetDesktopDisplayMode(0, &m) == 0) return m.h;
    return impl_->bb_height;
}

int32_t GraphicsDevice::DisplayDepth() const {
    SDL_DisplayMode m{};
    if (impl_->video && SDL_GetDesktopDisplayMode(0, &m) == 0)
        return SDL_BYTESPERPIXEL(m.format) * 8;
    return 32;
}

int32_t GraphicsDevice::DisplayFrequency() const {
    SDL_DisplayMode m{};
    if (impl_->video && SDL_GetDesktopDisplayMode(0, &m) == 0 && m.refresh_rate > 0)
        return m.refresh_rate;
    return 60;
}

bool GraphicsDevice::TestDisplayMode(int32_t width, int32_t height, int32_t frequency,
                                     int32_t depth) const {
    if (!impl_->video) return false;
    if (width <= 0) width = ScreenWidth();
    if (height <= 0) height = ScreenHeight();
    if (frequency <= 0) frequency = DisplayFrequency();
    if (depth <= 0) depth = DisplayDepth();
    auto offers = [&](const SDL_DisplayMode& m) {
        const int32_t hz = m.refresh_rate > 0 ? m.refresh_rate : 60;
        return m.w == width && m.h == height && hz == frequency &&
               int32_t(SDL_BYTESPERPIXEL(m.format)) * 8 == depth;
    };
    SDL_DisplayMode m{};
    if (SDL_GetDesktopDisplayMode(0, &m) == 0 && offers(m)) return true;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i)
        if (SDL_GetDisplayMode(0, i, &m) == 0 && offers(m)) return true;
    return false;
}

int32_t GraphicsDevice::ClientWidth() const {
    int w = 0, h = 0;
    if (impl_->window) SDL_GetWindowSize(impl_->window, &w, &h);
    return w;
}

int32_t GraphicsDevice::ClientHeight() const {
    int w = 0, h = 0;
    if (impl_->window) SDL_GetWindowSize(impl_->window, &w, &h);
    return h;
}

}  // namespace tb
