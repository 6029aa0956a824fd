#include "platform/dialog_host.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <epoxy/gl.h>
#include <imgui.h>
#include <imgui_internal.h>  // SetNextWindowScroll

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <vector>

#include "graphics/bitmap32.h"
#include "platform/sdl_input.h"

namespace tb {

namespace {

// Monospace faces tried for text areas, in order; ImGui's built-in font is monospace too.
constexpr const char* kMonospaceFonts[] = {
    "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
};
constexpr float kMonospaceSize = 13.0f;

// The caption bar of a bordered dialog drawn inside the game window.
constexpr float kCaptionBar = 22.0f;
constexpr ImU32 kCaptionColor = IM_COL32(0, 84, 153, 255);

// Context attributes the host changes for its own context; restored afterwards so that a
// later game window context is made with the attributes its owner asked for.
constexpr SDL_GLattr kSavedAttributes[] = {
    SDL_GL_CONTEXT_MAJOR_VERSION, SDL_GL_CONTEXT_MINOR_VERSION, SDL_GL_CONTEXT_PROFILE_MASK,
    SDL_GL_CONTEXT_FLAGS,         SDL_GL_DOUBLEBUFFER,
};

struct SavedAttributes {
    int values[std::size(kSavedAttributes)] = {};
    SavedAttributes() {
        for (size_t i = 0; i < std::size(kSavedAttributes); ++i)
            SDL_GL_GetAttribute(kSavedAttributes[i], &values[i]);
    }
    ~SavedAttributes() {
        for (size_t i = 0; i < std::size(kSavedAttributes); ++i)
            SDL_GL_SetAttribute(kSavedAttributes[i], values[i]);
    }
};

// The GL and ImGui contexts of whoever called us, current again when the dialog is over.
struct ContextGuard {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    SDL_GLContext gl = SDL_GL_GetCurrentContext();
    ImGuiContext* imgui = ImGui::GetCurrentContext();
    ~ContextGuard() {
        if (window && gl) SDL_GL_MakeCurrent(window, gl);
        ImGui::SetCurrentContext(imgui);
    }
};

struct Texture {
    GLuint id = 0;
    int version = 0;
    int w = 0, h = 0;
};

// The families and styles of the dialogs' fonts: [sans, serif, mono][regular, bold, italic,
// bold italic], rasterised at one size and scaled when drawn.
constexpr const char* kFaceFiles[3][4] = {
    {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf", "LiberationSans-Italic.ttf",
     "LiberationSans-BoldItalic.ttf"},
    {"LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf", "LiberationSerif-Italic.ttf",
     "LiberationSerif-BoldItalic.ttf"},
    {"LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf", "LiberationMono-Italic.ttf",
     "LiberationMono-BoldItalic.ttf"},
};
constexpr const char* kFaceFolder = "/usr/share/fonts/truetype/liberation/";
constexpr float kFacePixels = 24.0f;
// Latin-1, Latin Extended-A/B, general punctuation, the euro and trade mark signs.
constexpr ImWchar kFaceRanges[] = {0x0020, 0x024F, 0x2000, 0x206F, 0x20AC,
                                   0x20AC, 0x2122, 0x2122, 0};

// The state the widget helpers need from the running frame.
struct FrameState {
    ImFont* faces[3][4] = {};
    ImFont* monospace = nullptr;
    int scroll_frames = 0;  // frames left in which a ReadOnlyText scrolls to its end
    std::map<const void*, Texture> textures;
};
// Set (in the ImGui context's user data) only while RunModal draws a frame of its dialog.
FrameState* CurrentFrame() {
    ImGuiContext* ctx = ImGui::GetCurrentContext();
    return ctx ? static_cast<FrameState*>(ImGui::GetIO().UserData) : nullptr;
}

}  // namespace

// An ImGui context with the dialogs' fonts and back ends, on one window's GL context.
struct DialogHost::Surface {
    SDL_Window* window = nullptr;
    SDL_GLContext gl = nullptr;
    ImGuiContext* imgui = nullptr;
    bool sdl_backend = false;
    bool gl_backend = false;
    FrameState frame;

    // With `c` current on `w`.
    bool Init(SDL_Window* w, SDL_GLContext c) {
        window = w;
        gl = c;
        imgui = ImGui::CreateContext();
        ImGui::SetCurrentContext(imgui);
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;  // dialogs have fixed layouts; nothing to remember
        io.LogFilename = nullptr;
        io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
        io.Fonts->AddFontDefault();
        for (const char* path : kMonospaceFonts) {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(path, ec)) continue;
            frame.monospace = io.Fonts->AddFontFromFileTTF(path, kMonospaceSize);
            if (frame.monospace) break;
        }
        for (int f = 0; f < 3; ++f)
            for (int st = 0; st < 4; ++st) {
                std::string path = std::string(kFaceFolder) + kFaceFiles[f][st];
                std::error_code ec;
                if (!std::filesystem::is_regular_file(path, ec)) continue;
                frame.faces[f][st] =
                    io.Fonts->AddFontFromFileTTF(path.c_str(), kFacePixels, nullptr, kFaceRanges);
            }
        io.Fonts->Build();
        ImGui::StyleColorsLight();
        ImGuiStyle& style = ImGui::GetStyle();
        style.WindowRounding = 0.0f;
        style.WindowBorderSize = 0.0f;
        style.FrameBorderSize = 1.0f;
        sdl_backend = ImGui_ImplSDL2_InitForOpenGL(window, gl);
        if (!sdl_backend) return false;
        gl_backend = ImGui_ImplOpenGL3_Init("#version 150");
        return gl_backend;
    }

    // With the surface's GL context current (or a context in which its names mean nothing).
    void Shutdown() {
        if (!imgui) return;
        ImGuiContext* previous = ImGui::GetCurrentContext();
        ImGui::SetCurrentContext(imgui);
        for (auto& [key, t] : frame.textures) glDeleteTextures(1, &t.id);
        frame.textures.clear();
        if (gl_backend) ImGui_ImplOpenGL3_Shutdown();
        if (sdl_backend) ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext(imgui);
        ImGui::SetCurrentContext(previous == imgui ? nullptr : previous);
        imgui = nullptr;
        sdl_backend = gl_backend = false;
    }

    void Begin() {
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
    }
    int Call(const std::function<int()>& draw) {
        ImGui::GetIO().UserData = &frame;
        int r = draw();
        ImGui::GetIO().UserData = nullptr;
        if (frame.scroll_frames > 0) --frame.scroll_frames;
        return r;
    }
    void End() {
        ImGui::Render();
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    }

    // A frame of a dialog that fills the whole window, then the swap.
    void DrawWhole(const std::function<int()>& draw, int& result) {
        Begin();
        const ImGuiIO& io = ImGui::GetIO();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(io.DisplaySize);
        ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
        ImGui::Begin("##dialog", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);
        ImGui::PopStyleVar();
        int r = Call(draw);
        ImGui::End();
        End();
        SDL_GL_SwapWindow(window);
        if (r >= 0 && result < 0) result = r;
    }

    // A frame of a dialog drawn as a panel over the game window's picture: its client area at
    // (x, y) of the game's client area (negative: centred), under a caption bar when it has
    // a border. The caller swaps.
    void DrawPanel(const DialogSpec& spec, const std::function<int()>& draw, int& result) {
        Begin();
        const ImGuiIO& io = ImGui::GetIO();
        const float edge = spec.border ? 1.0f : 0.0f;
        const float bar = spec.border ? kCaptionBar : 0.0f;
        const ImVec2 client(float(std::max(spec.client_width, 1)),
                            float(std::max(spec.client_height, 1)));
        const ImVec2 outer(client.x + 2 * edge, client.y + bar + 2 * edge);
        ImVec2 at(spec.x >= 0 ? float(spec.x) - edge : std::floor((io.DisplaySize.x - outer.x) / 2),
                  spec.y >= 0 ? float(spec.y) - bar - edge
                              : std::floor((io.DisplaySize.y - outer.y) / 2));
        ImGui::GetStyle().Alpha = float(std::clamp(spec.alpha, 0, 255)) / 255.0f;
        ImGui::SetNextWindowPos(at);
        ImGui::SetNextWindowSize(outer);
        ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
        ImGui::Begin("##panel", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus |
                         (spec.see_through ? ImGuiWindowFlags_NoBackground : 0));
        if (spec.border) {
            ImDrawList* list = ImGui::GetWindowDrawList();
            const ImU32 bar_color =
                ImGui::GetColorU32(ImGui::ColorConvertU32ToFloat4(kCaptionColor));
            list->AddRectFilled(at, ImVec2(at.x + outer.x, at.y + bar + edge), bar_color);
            list->AddRect(at, ImVec2(at.x + outer.x, at.y + outer.y), bar_color);
            ImFont* f = frame.faces[0][1] ? frame.faces[0][1] : ImGui::GetFont();
            list->AddText(f, 15.0f, ImVec2(at.x + 8, at.y + (bar - 15.0f) / 2 + edge),
                          IM_COL32(255, 255, 255, 255), spec.caption.c_str());
        }
        ImGui::SetCursorPos(ImVec2(edge, edge + bar));
        ImGui::BeginChild("##dialog", client, false,
                          ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
        int r = Call(draw);
        ImGui::EndChild();
        ImGui::End();
        ImGui::PopStyleVar();
        End();
        ImGui::GetStyle().Alpha = 1.0f;
        if (r >= 0 && result < 0) result = r;
    }
};

struct DialogHost::State {
    bool video = false;
    Surface own;  // on the host's own window and GL context

    ~State() {
        if (own.imgui) {
            if (own.gl && own.window) SDL_GL_MakeCurrent(own.window, own.gl);
            own.Shutdown();
        }
        if (own.gl) SDL_GL_DeleteContext(own.gl);
        if (own.window) SDL_DestroyWindow(own.window);
        if (video) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool Create() {
        video = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        if (!video) return false;
        SDL_Window* window = nullptr;
        SDL_GLContext gl = nullptr;
        {
            SavedAttributes saved;
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 2);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_FORWARD_COMPATIBLE_FLAG);
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 100, 100,
                                      SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
            own.window = window;
            if (!window) return false;
            gl = SDL_GL_CreateContext(window);
            own.gl = gl;
            if (!gl) return false;
        }
        SDL_GL_SetSwapInterval(1);
        return own.Init(window, gl);
    }

    // The offscreen driver keeps a window's GL surface at the size it was made with (while
    // reporting the new size); there a new window of the right size takes over the context.
    bool Resize(int w, int h) {
        w = std::max(w, 1);
        h = std::max(h, 1);
        int cw = 0, ch = 0;
        SDL_GetWindowSize(own.window, &cw, &ch);
        if (cw == w && ch == h) return true;
        const char* driver = SDL_GetCurrentVideoDriver();
        if (!driver || std::string_view(driver) != "offscreen") {
            SDL_SetWindowSize(own.window, w, h);
            return true;
        }
        SDL_Window* replacement = nullptr;
        {
            SavedAttributes saved;
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            replacement = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                           SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        }
        if (!replacement) return false;
        if (SDL_GL_MakeCurrent(replacement, own.gl) != 0) {
            SDL_GL_MakeCurrent(own.window, own.gl);
            SDL_DestroyWindow(replacement);
            return false;
        }
        ImGui_ImplSDL2_Shutdown();
        SDL_DestroyWindow(own.window);
        own.window = replacement;
        own.sdl_backend = ImGui_ImplSDL2_InitForOpenGL(own.window, own.gl);
        return own.sdl_backend;
    }

    // Puts the own window up for a dialog.
    bool Show(const DialogSpec& dialog) {
        SDL_GL_MakeCurrent(own.window, own.gl);
        ImGui::SetCurrentContext(own.imgui);
        if (!Resize(dialog.client_width, dialog.client_height)) return false;
        SDL_SetWindowTitle(own.window, dialog.caption.c_str());
        SDL_SetWindowBordered(own.window,
                              dialog.border && !dialog.fullscreen ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowPosition(own.window, dialog.x >= 0 ? dialog.x : int(SDL_WINDOWPOS_CENTERED),
                              dialog.y >= 0 ? dialog.y : int(SDL_WINDOWPOS_CENTERED));
        SDL_SetWindowOpacity(own.window, float(std::clamp(dialog.alpha, 0, 255)) / 255.0f);
        SDL_ShowWindow(own.window);
        SDL_RaiseWindow(own.window);
        return true;
    }
};

// The modeless dialog of the own window, and the events that came for it since its last
// frame.
struct ModelessDialog {
    DialogSpec spec;
    std::function<int()> frame;
    std::function<void()> closed;
    std::deque<SDL_Event> events;
};

DialogHost::DialogHost() = default;

DialogHost::~DialogHost() {
    CloseModeless();
    DropGameSurface();
}

bool DialogHost::Available() {
    if (!tried_) {
        tried_ = true;
        ContextGuard guard;
        auto state = std::make_unique<State>();
        if (state->Create()) state_ = std::move(state);
    }
    return state_ != nullptr;
}

void DialogHost::SetGameTarget(GameTarget target) {
    target_ = std::move(target);
}

bool DialogHost::GameWindowShown() {
    if (!target_.window || !target_.context || !target_.repaint) return false;
    auto* window = static_cast<SDL_Window*>(target_.window());
    return window && target_.context() && (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0;
}

void DialogHost::DropGameSurface() {
    if (!game_) return;
    ContextGuard guard;
    SDL_GL_MakeCurrent(game_->window, game_->gl);
    game_->Shutdown();
    game_.reset();
}

void DialogHost::SetTestFrames(int frames, CBitmap32* capture) {
    test_frames_ = frames;
    test_capture_ = capture;
}

bool DialogHost::PostKey(const char* key_name, const char* text) {
    if (!GameWindowShown()) return false;
    const uint32_t id = SDL_GetWindowID(static_cast<SDL_Window*>(target_.window()));
    const SDL_Scancode code = SDL_GetScancodeFromName(key_name);
    if (code == SDL_SCANCODE_UNKNOWN) return false;
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    auto key = [&](bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = id;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = SDL_GetKeyFromScancode(code);
        SDL_PushEvent(&e);
    };
    key(true);
    if (text) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = id;
        SDL_strlcpy(e.text.text, text, sizeof(e.text.text));
        SDL_PushEvent(&e);
    }
    key(false);
    return true;
}

int DialogHost::RunModal(const DialogSpec& dialog, const std::function<int()>& frame) {
    if (dialog.in_game && GameWindowShown()) {
        int r = RunInGame(dialog, frame);
        if (r != kDialogOpen) return r;
    }
    return RunOwn(dialog, frame);
}

namespace {

bool IsPress(const SDL_Event& e) {
    return e.type == SDL_KEYDOWN || e.type == SDL_MOUSEBUTTONDOWN;
}
bool IsRelease(const SDL_Event& e) {
    return e.type == SDL_KEYUP || e.type == SDL_MOUSEBUTTONUP;
}

// Reads the bound framebuffer (the window's) as top-down 0xAARRGGBB pixels.
void ReadWindow(SDL_Window* window, CBitmap32& out) {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    if (w < 1 || h < 1) return;
    CBitmap32 b(w, h);
    std::vector<uint32_t> rows(size_t(w) * size_t(h));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.At(x, y) = rows[size_t(h - 1 - y) * size_t(w) + size_t(x)] | 0xFF000000u;
    out = std::move(b);
}

}  // namespace

bool DialogHost::EnsureGameSurface() {
    if (!GameWindowShown()) return false;
    auto* window = static_cast<SDL_Window*>(target_.window());
    auto* gl = static_cast<SDL_GLContext>(target_.context());
    ContextGuard guard;
    if (game_ && (game_->window != window || game_->gl != gl)) {
        // The game made a new window and context without telling: the old names are gone
        // with the old context, so they are deleted in a context of nothing.
        SDL_GLContext scratch = SDL_GL_CreateContext(window);
        if (scratch) {
            game_->Shutdown();
            SDL_GL_DeleteContext(scratch);
        }
        game_.reset();
    }
    if (!game_) {
        SDL_GL_MakeCurrent(window, gl);
        auto surface = std::make_unique<Surface>();
        if (!surface->Init(window, gl)) {
            surface->Shutdown();
            return false;
        }
        game_ = std::move(surface);
    }
    return true;
}

int DialogHost::RunInGame(const DialogSpec& dialog, const std::function<int()>& frame) {
    if (!EnsureGameSurface()) return kDialogOpen;
    ContextGuard guard;
    SDL_Window* window = game_->window;
    Surface& s = *game_;
    ImGui::SetCurrentContext(s.imgui);
    const uint32_t id = SDL_GetWindowID(window);

    int result = kDialogOpen;
    bool closed_ourselves = false;
    bool quit_seen = false;
    int busy_frames = 3;
    int frames = 0;
    bool carried = false;
    SDL_Event e;
    while (result < 0) {
        int wait = busy_frames > 0 ? 1 : dialog.continuous ? 10 : 100;
        if (test_frames_ > 0) wait = 0;
        bool have = carried || SDL_WaitEventTimeout(&e, wait) != 0;
        carried = false;
        bool pressed = false;
        while (have) {
            const uint32_t owner = SdlEventWindow(e);
            if (owner != 0 && owner != id) {
                HandleForeignEvent(&e);  // the modeless window's, or dropped
                ImGui::SetCurrentContext(s.imgui);
            } else {
                if (IsPress(e)) pressed = true;
                if (pressed && IsRelease(e)) {
                    carried = true;
                    break;
                }
                busy_frames = 3;
                if (e.type == SDL_WINDOWEVENT) {
                    if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                        // The game window's close request closes the dialog, not the game.
                        closed_ourselves = true;
                        result = dialog.close_result;
                    } else if (target_.window_event) {
                        target_.window_event(&e);
                    }
                } else if (e.type == SDL_QUIT) {
                    quit_seen = true;
                    result = dialog.close_result;
                }
                ImGui_ImplSDL2_ProcessEvent(&e);
            }
            have = SDL_PollEvent(&e) != 0;
        }
        if (result >= 0) break;
        bool drawn = target_.repaint([&] {
            ImGui::SetCurrentContext(s.imgui);
            s.DrawPanel(dialog, frame, result);
            if (test_capture_) ReadWindow(window, *test_capture_);
        });
        if (!drawn) return result >= 0 ? result : dialog.close_result;
        if (busy_frames > 0) --busy_frames;
        if (test_frames_ > 0 && ++frames >= test_frames_ && result < 0)
            result = dialog.close_result;
    }
    if (quit_seen && !closed_ourselves) {
        SDL_Event q{};
        q.type = SDL_QUIT;
        SDL_PushEvent(&q);
    }
    // The game window shows its own picture again.
    target_.repaint([] {});
    return result;
}

int DialogHost::RunOwn(const DialogSpec& dialog, const std::function<int()>& frame) {
    if (!Available()) return kDialogOpen;
    CloseModeless();
    ContextGuard guard;
    State& st = *state_;
    if (!st.Show(dialog)) return kDialogOpen;
    Surface& s = st.own;
    const uint32_t id = SDL_GetWindowID(s.window);

    int result = kDialogOpen;
    bool closed_ourselves = false;
    bool quit_seen = false;
    // ImGui settles a layout over a couple of frames; a few frames after each input keep
    // clicks, focus and scrolling responsive, then the loop sleeps in the event wait.
    int busy_frames = 3;
    int frames = 0;
    // A release that comes in the same batch as a press waits for the next frame: ImGui sees
    // only the state at each frame, and would miss a press that is already over.
    bool carried = false;
    SDL_Event e;
    while (result < 0) {
        int wait = busy_frames > 0 ? 1 : dialog.continuous ? 10 : 100;
        if (test_frames_ > 0) wait = 0;
        bool have = carried || SDL_WaitEventTimeout(&e, wait) != 0;
        carried = false;
        bool pressed = false;
        while (have) {
            if (IsPress(e)) pressed = true;
            if (pressed && IsRelease(e)) {
                carried = true;
                break;
            }
            ImGui_ImplSDL2_ProcessEvent(&e);
            busy_frames = 3;
            if (e.type == SDL_WINDOWEVENT && e.window.windowID == id &&
                e.window.event == SDL_WINDOWEVENT_CLOSE) {
                closed_ourselves = true;
                result = dialog.close_result;
            } else if (e.type == SDL_QUIT) {
                quit_seen = true;
                result = dialog.close_result;
            }
            have = SDL_PollEvent(&e) != 0;
        }
        if (result >= 0) break;
        s.DrawWhole(frame, result);
        if (busy_frames > 0) --busy_frames;
        if (test_frames_ > 0 && ++frames >= test_frames_ && result < 0)
            result = dialog.close_result;
    }
    SDL_HideWindow(s.window);
    // A quit request that did not come from closing this dialog (SDL sends one when the last
    // visible window closes) belongs to the game loop, which must still see it.
    if (quit_seen && !closed_ourselves) {
        SDL_Event q{};
        q.type = SDL_QUIT;
        SDL_PushEvent(&q);
    }
    return result;
}

bool DialogHost::OpenModeless(const DialogSpec& dialog, std::function<int()> frame,
                              std::function<void()> closed) {
    if (!Available()) return false;
    CloseModeless();
    {
        ContextGuard guard;
        if (!state_->Show(dialog)) return false;
    }
    modeless_ = std::make_unique<ModelessDialog>();
    modeless_->spec = dialog;
    modeless_->frame = std::move(frame);
    modeless_->closed = std::move(closed);
    PumpModeless();
    return true;
}

bool DialogHost::ModelessOpen() const {
    return modeless_ != nullptr;
}

void DialogHost::CloseModeless() {
    if (!modeless_) return;
    std::function<void()> closed = std::move(modeless_->closed);
    modeless_.reset();
    if (state_) SDL_HideWindow(state_->own.window);
    if (closed) closed();
}

void DialogHost::PumpModeless() {
    if (!modeless_ || !state_) return;
    int result = kDialogOpen;
    {
        ContextGuard guard;
        Surface& s = state_->own;
        SDL_GL_MakeCurrent(s.window, s.gl);
        ImGui::SetCurrentContext(s.imgui);
        // Up to the first release after a press; the rest waits for the next frame.
        bool pressed = false;
        while (!modeless_->events.empty()) {
            SDL_Event& e = modeless_->events.front();
            if (IsPress(e)) pressed = true;
            if (pressed && IsRelease(e)) break;
            ImGui_ImplSDL2_ProcessEvent(&e);
            if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)
                result = modeless_->spec.close_result;
            modeless_->events.pop_front();
        }
        if (result < 0) s.DrawWhole(modeless_->frame, result);
    }
    if (result >= 0) CloseModeless();
}

bool DialogHost::HandleForeignEvent(const void* sdl_event) {
    if (!state_ || !modeless_) return false;
    const SDL_Event& e = *static_cast<const SDL_Event*>(sdl_event);
    if (SdlEventWindow(e) != SDL_GetWindowID(state_->own.window)) return false;
    modeless_->events.push_back(e);
    return true;
}

namespace {

bool Contains(std::string_view name, std::string_view part) {
    auto it = std::search(name.begin(), name.end(), part.begin(), part.end(),
                          [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    return it != name.end();
}

ImFont* FaceOf(const FrameState& fs, const DialogFont& font) {
    int family = 0;
    for (const char* serif : {"times", "serif", "roman", "georgia"})
        if (Contains(font.name, serif)) family = 1;
    for (const char* mono : {"courier", "mono", "console"})
        if (Contains(font.name, mono)) family = 2;
    int style = (font.bold ? 1 : 0) + (font.italic ? 2 : 0);
    ImFont* f = fs.faces[family][style];
    if (!f) f = fs.faces[family][0];
    if (!f) f = fs.faces[0][0];
    if (!f) f = ImGui::GetIO().Fonts->Fonts.empty() ? nullptr : ImGui::GetIO().Fonts->Fonts[0];
    return f;
}

void MeasureWith(const FrameState& fs, const DialogFont& font, float wrap_width,
                 std::string_view utf8, float& w, float& h) {
    ImFont* f = FaceOf(fs, font);
    w = h = 0;
    if (!f) return;
    ImVec2 size = f->CalcTextSizeA(font.pixels, FLT_MAX, wrap_width > 0 ? wrap_width : 0.0f,
                                   utf8.data(), utf8.data() + utf8.size());
    w = size.x;
    h = size.y;
}

}  // namespace

bool DialogHost::MeasureText(const DialogFont& font, float wrap_width, std::string_view utf8,
                             float& w, float& h) {
    Surface* s = game_ ? game_.get() : nullptr;
    if (!s && EnsureGameSurface()) s = game_.get();
    if (!s && Available()) s = &state_->own;
    if (!s) return false;
    ContextGuard guard;
    ImGui::SetCurrentContext(s->imgui);
    MeasureWith(s->frame, font, wrap_width, utf8, w, h);
    return true;
}

bool DialogHost::ScreenSize(int& w, int& h) {
    SDL_Window* window = nullptr;
    if (GameWindowShown())
        window = static_cast<SDL_Window*>(target_.window());
    else if (Available())
        window = state_->own.window;
    if (!window) return false;
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(window);
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) != 0) return false;
    w = mode.w;
    h = mode.h;
    return true;
}

namespace dialog {

float Text(const DialogFont& font, uint32_t argb, float x, float y, float wrap_width,
           std::string_view utf8, bool underline) {
    FrameState* fs = CurrentFrame();
    if (!fs) return 0;
    ImFont* f = FaceOf(*fs, font);
    if (!f) return 0;
    ImDrawList* list = ImGui::GetWindowDrawList();
    ImVec2 window = ImGui::GetWindowPos();
    ImVec2 at(window.x + x - ImGui::GetScrollX(), window.y + y - ImGui::GetScrollY());
    // The dialog's alpha (the style's) applies to its text too.
    const int alpha = int(float(argb >> 24) * ImGui::GetStyle().Alpha + 0.5f);
    ImU32 col = IM_COL32((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, alpha);
    list->AddText(f, font.pixels, at, col, utf8.data(), utf8.data() + utf8.size(),
                  wrap_width > 0 ? wrap_width : 0.0f);
    float w = 0, h = 0;
    MeasureWith(*fs, font, wrap_width, utf8, w, h);
    if (underline) {
        float base = at.y + font.pixels * 0.92f;
        list->AddLine(ImVec2(at.x, base), ImVec2(at.x + w, base), col,
                      std::max(1.0f, font.pixels / 14.0f));
    }
    return h;
}

void Measure(const DialogFont& font, float wrap_width, std::string_view utf8, float& w, float& h) {
    FrameState* fs = CurrentFrame();
    w = h = 0;
    if (fs) MeasureWith(*fs, font, wrap_width, utf8, w, h);
}

void Image(const void* key, int version, const uint32_t* argb, int w, int h, float x, float y,
           float dw, float dh) {
    FrameState* fs = CurrentFrame();
    if (!fs || !argb || w < 1 || h < 1) return;
    Texture& t = fs->textures[key];
    if (!t.id || t.version != version || t.w != w || t.h != h) {
        // The game's GL state stays as its device left it.
        GLint bound = 0, alignment = 4, row_length = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &row_length);
        if (!t.id) glGenTextures(1, &t.id);
        glBindTexture(GL_TEXTURE_2D, t.id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, argb);
        glBindTexture(GL_TEXTURE_2D, GLuint(bound));
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, row_length);
        t.version = version;
        t.w = w;
        t.h = h;
    }
    ImDrawList* list = ImGui::GetWindowDrawList();
    ImVec2 origin = ImGui::GetWindowPos();
    origin.x -= ImGui::GetScrollX();
    origin.y -= ImGui::GetScrollY();
    list->AddImage(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(t.id)),
                   ImVec2(origin.x + x, origin.y + y), ImVec2(origin.x + x + dw, origin.y + y + dh),
                   ImVec2(0, 0), ImVec2(1, 1), ImGui::GetColorU32(ImVec4(1, 1, 1, 1)));
}

bool Button(std::string_view caption, int x, int y, int w, int h, const char* hint,
            bool is_default) {
    ShortcutCaption parsed = ParseShortcutCaption(caption);
    std::string label = parsed.text + "##" + std::string(caption);
    ImGui::SetCursorPos(ImVec2(static_cast<float>(x), static_cast<float>(y)));
    if (is_default) ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 2.0f);
    bool pressed =
        ImGui::Button(label.c_str(), ImVec2(static_cast<float>(w), static_cast<float>(h)));
    if (is_default) ImGui::PopStyleVar();
    if (hint && ImGui::IsItemHovered()) ImGui::SetTooltip("%s", hint);

    const ImGuiIO& io = ImGui::GetIO();
    if (parsed.shortcut >= 'a' && parsed.shortcut <= 'z' && io.KeyAlt &&
        ImGui::IsKeyPressed(SDL_SCANCODE_A + (parsed.shortcut - 'a'), false))
        pressed = true;
    if (parsed.shortcut >= '0' && parsed.shortcut <= '9' && io.KeyAlt) {
        int code =
            parsed.shortcut == '0' ? SDL_SCANCODE_0 : SDL_SCANCODE_1 + (parsed.shortcut - '1');
        if (ImGui::IsKeyPressed(code, false)) pressed = true;
    }
    if (is_default && (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false) ||
                       ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter), false)))
        pressed = true;
    return pressed;
}

void ReadOnlyText(const char* id, const std::string& utf8_text, int x, int y, int w, int h,
                  bool scroll_to_end) {
    FrameState* fs = CurrentFrame();
    if (scroll_to_end && fs) fs->scroll_frames = 3;
    ImGui::SetCursorPos(ImVec2(static_cast<float>(x), static_cast<float>(y)));
    if (fs && fs->monospace) ImGui::PushFont(fs->monospace);
    // The text area is the child window of the next Begin; a large finite target clamps to the
    // bottom (the largest float means "no target").
    if (fs && fs->scroll_frames > 0) ImGui::SetNextWindowScroll(ImVec2(-1.0f, 1.0e9f));
    // Read-only: ImGui never writes through the pointer.
    ImGui::InputTextMultiline(id, const_cast<char*>(utf8_text.c_str()), utf8_text.size() + 1,
                              ImVec2(static_cast<float>(w), static_cast<float>(h)),
                              ImGuiInputTextFlags_ReadOnly);
    if (fs && fs->monospace) ImGui::PopFont();
}

void SetClipboard(const std::string& utf8_text) {
    SDL_SetClipboardText(utf8_text.c_str());
}

}  // namespace dialog

ShortcutCaption ParseShortcutCaption(std::string_view caption) {
    ShortcutCaption out;
    for (size_t i = 0; i < caption.size(); ++i) {
        char c = caption[i];
        if (c == '&' && i + 1 < caption.size()) {
            ++i;
            c = caption[i];
            if (c != '&') {
                out.shortcut = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            }
        }
        out.text += c;
    }
    return out;
}

namespace {

// Windows-1252 0x80..0x9F as code points; 0 marks the holes (kept as Latin-1 controls).
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of a well-formed UTF-8 sequence starting at i (no overlongs, no surrogates), else 0.
size_t Utf8Length(std::string_view s, size_t i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    auto cont = [&](size_t k) { return k < s.size() && (b(k) & 0xC0) == 0x80; };
    unsigned char c = b(i);
    if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(i + 1) || !cont(i + 2)) return 0;
        if (c == 0xE0 && b(i + 1) < 0xA0) return 0;
        if (c == 0xED && b(i + 1) >= 0xA0) return 0;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
        if (c == 0xF0 && b(i + 1) < 0x90) return 0;
        if (c == 0xF4 && b(i + 1) >= 0x90) return 0;
        return 4;
    }
    return 0;
}

}  // namespace

std::string ToDisplayUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (size_t n = Utf8Length(bytes, i)) {
            out.append(bytes.substr(i, n));
            i += n;
            continue;
        }
        uint32_t cp = c;
        if (c < 0xA0 && kCp1252High[c - 0x80] != 0) cp = kCp1252High[c - 0x80];
        AppendUtf8(out, cp);
        ++i;
    }
    return out;
}

}  // namespace tb
