#include "platform/debug_window.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>
#include <imgui_stdlib.h>

#include <fstream>
#include <sstream>

#include "platform/printer.h"
#include "platform/sdl_input.h"
#include "resources/room.h"
#include "runner/runner.h"
#include "script/engine.h"
#include "world/world.h"

namespace tb {

namespace {

// The GL and ImGui contexts of the game, current again after the debug window drew.
struct ContextGuard {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    SDL_GLContext gl = SDL_GL_GetCurrentContext();
    ImGuiContext* imgui = ImGui::GetCurrentContext();
    ~ContextGuard() {
        if (window && gl) SDL_GL_MakeCurrent(window, gl);
        ImGui::SetCurrentContext(imgui);
    }
};

enum class Ask { None, Add, Change, Execute, Speed, Local, LoadWatches, SaveWatches, SaveInfo };

struct InfoWindow {
    std::string caption;
    std::string typed;  // local variables: what was typed
    bool shown = false;
    std::string text;
    std::string print_status;  // why the last Print failed
};

}  // namespace

struct DebugWindow::State {
    SDL_Window* window = nullptr;
    SDL_GLContext gl = nullptr;
    ImGuiContext* imgui = nullptr;
    bool sdl_backend = false;
    bool gl_backend = false;
    uint32_t id = 0;

    int selected = -1;  // the watch row; watches.size() is the empty last row
    Ask ask = Ask::None;
    bool ask_opened = false;
    std::string answer;
    std::string notice;  // "COMPILE ERROR" and the like, shown under the grid
    InfoWindow globals{"Global Variables", "", false, "", ""};
    InfoWindow instances{"All Instances", "", false, "", ""};
    InfoWindow messages{"Messages", "", false, "", ""};
    std::vector<InfoWindow> locals;
    InfoWindow* save_from = nullptr;
    bool close_requested = false;

    ~State() {
        if (imgui) {
            ContextGuard guard;
            ImGui::SetCurrentContext(imgui);
            if (gl && window) SDL_GL_MakeCurrent(window, gl);
            if (gl_backend) ImGui_ImplOpenGL3_Shutdown();
            if (sdl_backend) ImGui_ImplSDL2_Shutdown();
            ImGui::DestroyContext(imgui);
            if (guard.imgui == imgui) guard.imgui = nullptr;
        }
        if (gl) SDL_GL_DeleteContext(gl);
        if (window) SDL_DestroyWindow(window);
    }
};

DebugWindow::DebugWindow(ScriptEngine& engine) : engine_(engine) {}
DebugWindow::~DebugWindow() = default;

bool DebugWindow::IsOpen() const {
    return state_ != nullptr;
}

bool DebugWindow::Open() {
    if (state_) return true;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    ContextGuard guard;
    auto s = std::make_unique<State>();
    s->locals.reserve(100);  // the Save button keeps a pointer into it
    s->window =
        SDL_CreateWindow("Debug Information", 10, 10, 460, 340,
                         SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALWAYS_ON_TOP);
    if (!s->window) return false;
    s->gl = SDL_GL_CreateContext(s->window);
    if (!s->gl) return false;
    s->id = SDL_GetWindowID(s->window);
    s->imgui = ImGui::CreateContext();
    ImGui::SetCurrentContext(s->imgui);
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::GetIO().LogFilename = nullptr;
    ImGui::StyleColorsLight();
    s->sdl_backend = ImGui_ImplSDL2_InitForOpenGL(s->window, s->gl);
    s->gl_backend = s->sdl_backend && ImGui_ImplOpenGL3_Init("#version 150");
    if (!s->gl_backend) return false;
    state_ = std::move(s);
    return true;
}

void DebugWindow::HandleEvent(const void* sdl_event) {
    if (!state_) return;
    const SDL_Event& e = *static_cast<const SDL_Event*>(sdl_event);
    // Other windows of the runner (the hidden dialog window) may send events too.
    uint32_t id = 0;
    switch (e.type) {
        case SDL_WINDOWEVENT:
            id = e.window.windowID;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            id = e.key.windowID;
            break;
        case SDL_TEXTINPUT:
            id = e.text.windowID;
            break;
        case SDL_MOUSEMOTION:
            id = e.motion.windowID;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            id = e.button.windowID;
            break;
        case SDL_MOUSEWHEEL:
            id = e.wheel.windowID;
            break;
        default:
            break;
    }
    if (id != state_->id) return;
    ContextGuard guard;
    ImGui::SetCurrentContext(state_->imgui);
    ImGui_ImplSDL2_ProcessEvent(&e);
    if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)
        state_->close_requested = true;
}

namespace {

bool Key(int scancode) {
    return ImGui::IsKeyPressed(scancode, false);
}

}  // namespace

void DebugWindow::Refresh(World& w) {
    if (!state_) return;
    State& s = *state_;
    ScriptEngine& e = engine_;
    if (s.close_requested) {
        s.close_requested = false;
        DebugSession::Stop(w);
    }
    session.RefreshWatches(e);
    if (s.globals.shown) s.globals.text = DebugSession::GlobalVariablesText(e);
    if (s.instances.shown) s.instances.text = DebugSession::AllInstancesText(e);
    if (s.messages.shown) s.messages.text = session.messages;
    for (InfoWindow& l : s.locals)
        if (l.shown) l.text = DebugSession::LocalVariablesText(e, l.typed);

    ContextGuard guard;
    SDL_GL_MakeCurrent(s.window, s.gl);
    ImGui::SetCurrentContext(s.imgui);
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    const ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(io.DisplaySize);
    ImGui::Begin("##debug", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_MenuBar |
                     ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoSavedSettings);

    auto start = [&](Ask a, std::string initial) {
        s.ask = a;
        s.answer = std::move(initial);
        s.ask_opened = false;
    };
    const int rows = int(session.watches.size());
    auto change = [&] {
        if (s.selected >= 0 && s.selected < rows)
            start(Ask::Change, session.watches[size_t(s.selected)].expression);
        else
            start(Ask::Add, "");
    };
    auto remove = [&] {
        if (s.selected >= 0 && s.selected < rows)
            session.watches.erase(session.watches.begin() + s.selected);
    };
    auto show_local = [&] { start(Ask::Local, ""); };

    if (ImGui::BeginMenuBar()) {
        if (ImGui::BeginMenu("Run")) {
            if (ImGui::MenuItem("Run", "Ctrl+Alt+R", false, DebugSession::CanRun(w)))
                DebugSession::Run(w);
            if (ImGui::MenuItem("Pause", "Ctrl+Alt+P", false, DebugSession::CanPause(w)))
                DebugSession::Pause(w);
            if (ImGui::MenuItem("Step", "Ctrl+Alt+S", false, DebugSession::CanStep(w)))
                session.Step(w);
            if (ImGui::MenuItem("Restart", "Ctrl+Alt+N", false, DebugSession::CanRestartOrStop(w)))
                DebugSession::Restart(w);
            if (ImGui::MenuItem("Stop", "Alt+F4", false, DebugSession::CanRestartOrStop(w)))
                DebugSession::Stop(w);
            ImGui::EndMenu();
        }
        if (ImGui::BeginMenu("Watch")) {
            if (ImGui::MenuItem("Add", "Ctrl+A")) start(Ask::Add, "");
            if (ImGui::MenuItem("Delete", "Delete")) remove();
            if (ImGui::MenuItem("Change", "Ctrl+H")) change();
            if (ImGui::MenuItem("Clear", "Ctrl+C")) session.watches.clear();
            ImGui::Separator();
            if (ImGui::MenuItem("Load ...", "Ctrl+L")) start(Ask::LoadWatches, "watches.txt");
            if (ImGui::MenuItem("Save ...", "Ctrl+S")) start(Ask::SaveWatches, "watches.txt");
            ImGui::EndMenu();
        }
        if (ImGui::BeginMenu("Tools")) {
            if (ImGui::MenuItem("Execute Code ...", "Ctrl+E"))
                start(Ask::Execute, session.last_code);
            if (ImGui::MenuItem("Set Speed ..."))
                start(Ask::Speed, std::to_string(e.room ? e.room->Speed : 30));
            ImGui::Separator();
            if (ImGui::MenuItem("Show Global Variables")) s.globals.shown = true;
            if (ImGui::MenuItem("Show Instances")) s.instances.shown = true;
            if (ImGui::MenuItem("Show Local Variables")) show_local();
            if (ImGui::MenuItem("Show Messages")) s.messages.shown = true;
            ImGui::EndMenu();
        }
        ImGui::EndMenuBar();
    }

    // Tool bar.
    auto tool = [&](const char* label, const char* hint, bool enabled) {
        if (!enabled) ImGui::BeginDisabled();
        bool pressed = ImGui::Button(label);
        if (hint && ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled))
            ImGui::SetTooltip("%s", hint);
        if (!enabled) ImGui::EndDisabled();
        ImGui::SameLine();
        return pressed;
    };
    if (tool("Run", "Run or resume the game", DebugSession::CanRun(w))) DebugSession::Run(w);
    if (tool("Pause", "Pause the game", DebugSession::CanPause(w))) DebugSession::Pause(w);
    if (tool("Step", "Take a single step", DebugSession::CanStep(w))) session.Step(w);
    if (tool("Restart", "Restart the game", DebugSession::CanRestartOrStop(w)))
        DebugSession::Restart(w);
    if (tool("Stop", "End the game", DebugSession::CanRestartOrStop(w))) DebugSession::Stop(w);
    if (tool("Add", "Add an expression to watch", true)) start(Ask::Add, "");
    if (tool("Clear", "Clear all watch expressions", true)) session.watches.clear();
    if (tool("Code", "Execute a piece of code", true)) start(Ask::Execute, session.last_code);
    ImGui::NewLine();

    // The watch grid, with the empty last row.
    const float status_h = ImGui::GetFrameHeightWithSpacing() + 4;
    if (ImGui::BeginTable("##watches", 2,
                          ImGuiTableFlags_Borders | ImGuiTableFlags_RowBg |
                              ImGuiTableFlags_ScrollY | ImGuiTableFlags_Resizable,
                          ImVec2(0, ImGui::GetContentRegionAvail().y - status_h))) {
        ImGui::TableSetupColumn("Expression");
        ImGui::TableSetupColumn("Value");
        ImGui::TableHeadersRow();
        for (int i = 0; i <= rows; ++i) {
            ImGui::TableNextRow();
            ImGui::TableNextColumn();
            std::string label = (i < rows ? session.watches[size_t(i)].expression : "") + "##row" +
                                std::to_string(i);
            if (ImGui::Selectable(
                    label.c_str(), s.selected == i,
                    ImGuiSelectableFlags_SpanAllColumns | ImGuiSelectableFlags_AllowDoubleClick)) {
                s.selected = i;
                if (ImGui::IsMouseDoubleClicked(0)) change();
            }
            ImGui::TableNextColumn();
            if (i < rows) ImGui::TextUnformatted(session.watches[size_t(i)].value.c_str());
        }
        ImGui::EndTable();
    }
    // Status bar: speed, instances, the id under the mouse.
    ImGui::Separator();
    ImGui::Text("%s", DebugSession::SpeedPanel(e).c_str());
    ImGui::SameLine(110);
    ImGui::Text("%s", DebugSession::InstancesPanel(e).c_str());
    ImGui::SameLine(220);
    ImGui::Text("%s", s.notice.empty() ? DebugSession::MouseIdPanel(e).c_str() : s.notice.c_str());

    // Shortcuts (not while a question is open).
    if (s.ask == Ask::None && !io.WantTextInput) {
        const bool ctrl = io.KeyCtrl, alt = io.KeyAlt;
        if (ctrl && alt && Key(SDL_SCANCODE_R)) DebugSession::Run(w);
        if (ctrl && alt && Key(SDL_SCANCODE_P)) DebugSession::Pause(w);
        if (ctrl && alt && Key(SDL_SCANCODE_S)) session.Step(w);
        if (ctrl && alt && Key(SDL_SCANCODE_N)) DebugSession::Restart(w);
        if (alt && Key(SDL_SCANCODE_F4)) DebugSession::Stop(w);
        if (ctrl && !alt) {
            if (Key(SDL_SCANCODE_A)) start(Ask::Add, "");
            if (Key(SDL_SCANCODE_H)) change();
            if (Key(SDL_SCANCODE_C)) session.watches.clear();
            if (Key(SDL_SCANCODE_L)) start(Ask::LoadWatches, "watches.txt");
            if (Key(SDL_SCANCODE_S)) start(Ask::SaveWatches, "watches.txt");
            if (Key(SDL_SCANCODE_E)) start(Ask::Execute, session.last_code);
        }
        if (!ctrl && !alt && Key(SDL_SCANCODE_DELETE)) remove();
    }

    // The questions.
    if (s.ask != Ask::None) {
        const char* caption = "";
        const char* prompt = "";
        switch (s.ask) {
            case Ask::Add:
            case Ask::Change:
                caption = "Provide an expression.";
                prompt = "Please type in the expression";
                break;
            case Ask::Execute:
                caption = "Execute some code.";
                prompt = "Please type in the code";
                break;
            case Ask::Speed:
                caption = "Changing Game Speed.";
                prompt = "Please provide the new speed";
                break;
            case Ask::Local:
                caption = "Showing Local Variables.";
                prompt = "Please provide the instance id or object name.";
                break;
            case Ask::LoadWatches:
            case Ask::SaveWatches:
            case Ask::SaveInfo:
                caption = "Text Files (*.txt)";
                prompt = "File name";
                break;
            case Ask::None:
                break;
        }
        if (!s.ask_opened) {
            ImGui::OpenPopup("##ask");
            s.ask_opened = true;
        }
        bool done = false, ok = false;
        if (ImGui::BeginPopupModal("##ask", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
            ImGui::TextUnformatted(caption);
            ImGui::TextUnformatted(prompt);
            if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();
            bool enter =
                s.ask == Ask::Execute
                    ? (ImGui::InputTextMultiline("##answer", &s.answer, ImVec2(360, 120)), false)
                    : ImGui::InputText("##answer", &s.answer, ImGuiInputTextFlags_EnterReturnsTrue);
            if (ImGui::Button("OK") || enter) done = ok = true;
            ImGui::SameLine();
            if (ImGui::Button("Cancel") || Key(SDL_SCANCODE_ESCAPE)) done = true;
            if (done) ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
        }
        if (done) {
            const Ask a = s.ask;
            s.ask = Ask::None;
            s.notice.clear();
            if (ok) {
                switch (a) {
                    case Ask::Add:
                        if (!s.answer.empty()) session.AddWatch(s.answer);
                        break;
                    case Ask::Change:
                        if (!s.answer.empty() && s.selected >= 0 && s.selected < rows)
                            session.watches[size_t(s.selected)].expression = s.answer;
                        break;
                    case Ask::Execute:
                        s.notice = session.ExecuteCode(e, s.answer);
                        break;
                    case Ask::Speed:
                        DebugSession::SetSpeed(e, s.answer);
                        break;
                    case Ask::Local: {
                        InfoWindow* slot = nullptr;
                        for (InfoWindow& l : s.locals)
                            if (!l.shown) slot = &l;
                        if (!slot && s.locals.size() < 100) slot = &s.locals.emplace_back();
                        if (slot) {
                            slot->caption = "Local Variables for " + s.answer;
                            slot->typed = s.answer;
                            slot->shown = true;
                            slot->text = DebugSession::LocalVariablesText(e, s.answer);
                        }
                        break;
                    }
                    case Ask::LoadWatches: {
                        std::ifstream in(s.answer);
                        std::string line;
                        while (std::getline(in, line)) {
                            if (!line.empty() && line.back() == '\r') line.pop_back();
                            if (!line.empty()) session.AddWatch(line);
                        }
                        break;
                    }
                    case Ask::SaveWatches: {
                        std::ofstream out(s.answer);
                        for (const DebugWatch& wt : session.watches) out << wt.expression << "\n";
                        break;
                    }
                    case Ask::SaveInfo:
                        if (s.save_from) std::ofstream(s.answer) << s.save_from->text;
                        break;
                    case Ask::None:
                        break;
                }
                session.RefreshWatches(e);
            }
        }
    }
    ImGui::End();

    auto show_info = [&](InfoWindow& info, const std::string& id) {
        if (!info.shown) return;
        ImGui::SetNextWindowSize(ImVec2(380, 260), ImGuiCond_FirstUseEver);
        std::string title = info.caption + "###" + id;
        if (ImGui::Begin(title.c_str(), &info.shown)) {
            // A read-only text keeps its scroll position when the text is updated.
            ImGui::InputTextMultiline("##text", &info.text, ImVec2(-1, -30),
                                      ImGuiInputTextFlags_ReadOnly);
            if (ImGui::Button("Save")) {
                s.save_from = &info;
                start(Ask::SaveInfo, "debug.txt");
            }
            ImGui::SameLine();
            if (ImGui::Button("Print")) {
                std::string error;
                info.print_status.clear();
                if (!PrintText("Debug Information", info.text, 200, error))
                    info.print_status = "Printing failed: " + error;
            }
            if (!info.print_status.empty()) {
                ImGui::SameLine();
                ImGui::TextUnformatted(info.print_status.c_str());
            }
        }
        ImGui::End();
    };
    show_info(s.globals, "globals");
    show_info(s.instances, "instances");
    show_info(s.messages, "messages");
    for (size_t i = 0; i < s.locals.size(); ++i)
        show_info(s.locals[i], "local" + std::to_string(i));

    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(s.window);
}

void AddDebugWindowStages(RunnerStages& stages, SdlInput& input, DebugWindow& window) {
    stages.open_debug_window = [&window, &input](Runner& r) {
        if (r.options.headless || !window.Open()) return;
        input.foreign_event = [&window, other = input.foreign_event](const void* e) {
            if (other) other(e);
            window.HandleEvent(e);
        };
        auto before = r.engine.host.debug_message;
        r.engine.host.debug_message = [before, &window](std::string_view text) {
            if (before) before(text);
            window.session.AddMessage(text);
        };
    };
    auto before = std::move(stages.attach_world);
    stages.attach_world = [before = std::move(before), &window](Runner& r, World& w) {
        if (before) before(r, w);
        if (!window.IsOpen()) return;
        auto refresh = std::move(w.hooks.debug_refresh);
        w.hooks.debug_refresh = [refresh = std::move(refresh), &window, &w] {
            if (refresh) refresh();
            window.Refresh(w);
            window.session.AfterStep(w, [&window, &w] {
                if (w.hooks.process_messages) w.hooks.process_messages();
                window.Refresh(w);
                SDL_Delay(30);
            });
        };
    };
}

}  // namespace tb
