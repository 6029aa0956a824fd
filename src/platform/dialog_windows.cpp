#include "platform/dialog_windows.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "dialogs/game_info.h"
#include "platform/dialog_host.h"
#include "platform/sdl_input.h"
#include "platform/video_decoder.h"
#include "system/file_bytes.h"

namespace tb {

SplashPlacement PlaceSplash(int picture_w, int picture_h, int panel_w, int panel_h, double scale) {
    SplashPlacement p;
    if (picture_w < 1 || picture_h < 1) return p;
    double s = scale;
    if (!(s > 0)) s = std::min(double(panel_h) / picture_h, double(panel_w) / picture_w);
    p.w = int(std::lround(picture_w * s));
    p.h = int(std::lround(picture_h * s));
    p.x = (panel_w - p.w) / 2;
    p.y = (panel_h - p.h) / 2;
    return p;
}

namespace {

uint32_t Argb(int32_t script_color) {
    uint32_t c = uint32_t(script_color);
    return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

ImU32 ImColor32(int32_t script_color) {
    uint32_t c = uint32_t(script_color);
    return IM_COL32(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF, 255);
}

// Font points at 96 dots per inch.
float Pixels(double points) {
    return float(std::max(1.0, points * 96.0 / 72.0));
}

DialogFont FontOf(const MessageFont& f) {
    return DialogFont{f.name, Pixels(f.size), (f.style & kFontBold) != 0,
                      (f.style & kFontItalic) != 0};
}

// Game text (the game's code page, CR line breaks) as UTF-8 with LF line breaks.
std::string Display(std::string_view text) {
    std::string out = ToDisplayUtf8(text);
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] != '\r') continue;
        if (i + 1 < out.size() && out[i + 1] == '\n')
            out.erase(i, 1);
        else
            out[i] = '\n';
    }
    return out;
}

// Typed UTF-8 back to the game's code page.
std::string GameText(std::string_view utf8) {
    std::vector<int32_t> codes;
    GameCharacters(utf8, codes);
    std::string out;
    for (int32_t c : codes) out += char(c);
    return out;
}

bool Pressed(int scancode) {
    return ImGui::IsKeyPressed(scancode, false);
}

bool EnterPressed() {
    return Pressed(SDL_SCANCODE_RETURN) || Pressed(SDL_SCANCODE_KP_ENTER);
}

// The letters and digits pressed this frame with Ctrl held, as lower-case characters.
std::string CtrlLetters() {
    std::string out;
    if (!ImGui::GetIO().KeyCtrl) return out;
    for (int i = 0; i < 26; ++i)
        if (Pressed(SDL_SCANCODE_A + i)) out += char('a' + i);
    for (int i = 0; i < 10; ++i)
        if (Pressed(i == 0 ? SDL_SCANCODE_0 : SDL_SCANCODE_1 + i - 1)) out += char('0' + i);
    return out;
}

int MouseClicked(float x, float y, float w, float h, const char* id, bool& hovered, bool& held) {
    ImGui::SetCursorPos(ImVec2(x, y));
    bool clicked = ImGui::InvisibleButton(id, ImVec2(std::max(w, 1.0f), std::max(h, 1.0f)));
    hovered = ImGui::IsItemHovered();
    held = ImGui::IsItemActive();
    return clicked;
}

class DialogWindows : public DialogFrontend {
  public:
    DialogWindows(DialogHost& host, GameWindowRect game) : host_(host), game_(std::move(game)) {}

    // A dialog can be shown: inside the game window, or in the host's own window.
    bool Usable() { return host_.GameWindowShown() || host_.Available(); }

    bool Screen(int& w, int& h) {
        if (host_.ScreenSize(w, h)) return true;
        w = 1024;
        h = 768;
        return Usable();
    }

    std::optional<DialogAnswer> Message(const MessageRequest& r) override {
        if (!Usable()) return std::nullopt;
        const MessageSettings& s = *r.settings;
        int sw = 0, sh = 0;
        Screen(sw, sh);
        // Inside the game window the window is centred in it, and a set position is a screen
        // position made relative to its client area.
        int gx = 0, gy = 0, gw = 0, gh = 0;
        const bool in_game = host_.GameWindowShown() && game_ && game_(gx, gy, gw, gh);
        if (in_game) {
            sw = gw;
            sh = gh;
        }
        const std::string text = Display(r.text) + " ";
        const DialogFont text_font = FontOf(s.text_font);
        const DialogFont button_font = FontOf(s.button_font);
        const DialogFont input_font = FontOf(s.input_font);
        MessageLayout first = LayoutMessage(s, 0, r.input, 0, sw, sh);
        float tw = 0, th = 0;
        host_.MeasureText(text_font, float(first.label_w), text, tw, th);
        const int edit_h = int(input_font.pixels) + 8;
        MessageLayout l = LayoutMessage(s, int(std::ceil(th)), r.input, edit_h, sw, sh);

        DialogSpec spec;
        spec.caption = s.caption_shown ? ToDisplayUtf8(s.caption) : std::string();
        spec.border = s.caption_shown;
        spec.client_width = l.client_w;
        spec.client_height = l.client_h;
        spec.x = l.window_x;
        spec.y = l.window_y;
        spec.alpha = s.alpha;
        spec.close_result = 0;
        spec.in_game = in_game;
        if (in_game) {
            spec.x = s.x < 0 ? -1 : std::max(0, s.x - gx);
            spec.y = s.y < 0 ? -1 : std::max(0, s.y - gy);
        }
        const MessagePictures& pic = s.pictures;
        MaskPictures(pic);
        const CBitmap32& back = pic.background_transparent ? masked_back_ : pic.background;
        // The picture covers the whole window: no panel under it, so that its transparent
        // colour and the window's alpha show the game itself.
        spec.see_through = back.exists;

        std::string edit = ToDisplayUtf8(r.default_text);
        bool focus = true;
        int result = host_.RunModal(spec, [&]() -> int {
            if (back.exists)
                dialog::Image(&back, pic.generation, back.pixels.data(), back.width, back.height, 0,
                              0, float(l.client_w), float(l.client_h));
            dialog::Text(text_font, Argb(s.text_font.color), float(l.label_x), float(l.label_y),
                         float(l.label_w), text);
            for (int i = 0; i < 3; ++i) {
                const std::string& caption = r.captions[size_t(i)];
                if (caption.empty()) continue;
                bool hovered = false, held = false;
                const float x = float(l.button_left[size_t(i)]), y = float(l.button_top);
                const char* ids[] = {"##b1", "##b2", "##b3"};
                bool clicked =
                    MouseClicked(x, y, float(l.button_w), float(l.button_h), ids[i], hovered, held);
                const size_t state = held && hovered ? 2 : hovered ? 1 : 0;
                const CBitmap32& b =
                    pic.buttons_masked ? masked_buttons_[state] : pic.buttons[state];
                if (b.exists)
                    dialog::Image(&b, pic.generation, b.pixels.data(), b.width, b.height, x, y,
                                  float(l.button_w), float(l.button_h));
                std::string shown;
                for (size_t k = 0; k < caption.size(); ++k) {
                    if (caption[k] == '&' && k + 1 < caption.size()) ++k;
                    shown += caption[k];
                }
                shown = ToDisplayUtf8(shown);
                float cw = 0, ch = 0;
                dialog::Measure(button_font, 0, shown, cw, ch);
                int32_t color = hovered ? s.mouse_color : s.button_font.color;
                dialog::Text(button_font, Argb(color), x + (float(l.button_w) - cw) / 2,
                             y + (float(l.button_h) - ch) / 2, 0, shown);
                if (clicked) return i + 1;
            }
            if (r.input) {
                ImGui::SetCursorPos(ImVec2(float(l.edit_x), float(l.edit_y)));
                ImGui::PushItemWidth(float(l.edit_w));
                ImGui::PushStyleColor(ImGuiCol_FrameBg, ImColor32(s.input_color));
                ImGui::PushStyleColor(ImGuiCol_Text, ImColor32(s.input_font.color));
                if (focus) ImGui::SetKeyboardFocusHere();
                focus = false;
                ImGui::InputText("##edit", &edit, ImGuiInputTextFlags_AutoSelectAll);
                ImGui::PopStyleColor(2);
                ImGui::PopItemWidth();
            }
            MessageKey k;
            if (Pressed(SDL_SCANCODE_ESCAPE)) k.key = 27;
            if (EnterPressed()) k.key = 13;
            if (k.key) return MessageKeyResult(r.captions, r.input, k);
            for (char c : CtrlLetters()) {
                int32_t v = MessageKeyResult(r.captions, r.input, {0, c, true});
                if (v >= 0) return v;
            }
            if (!r.input && !ImGui::GetIO().KeyCtrl) {
                for (ImWchar c : ImGui::GetIO().InputQueueCharacters) {
                    if (c >= 128) continue;
                    int32_t v = MessageKeyResult(r.captions, false, {0, char(c), false});
                    if (v >= 0) return v;
                }
            }
            return kDialogOpen;
        });
        if (result == kDialogOpen) return std::nullopt;
        DialogAnswer a{r.input ? DialogKind::Input : DialogKind::Message, result, {}};
        if (r.input) a.text = GameText(edit);
        return a;
    }

    std::optional<int32_t> Menu(const std::vector<MenuItem>& items, int32_t x, int32_t y,
                                bool at_mouse) override {
        if (!Usable()) return std::nullopt;
        bool any =
            std::any_of(items.begin(), items.end(), [](const MenuItem& m) { return !m.separator; });
        if (!any) return -1;
        if (at_mouse) SDL_GetGlobalMouseState(&x, &y);
        int gx = 0, gy = 0, gw = 0, gh = 0;
        const bool in_game = host_.GameWindowShown() && game_ && game_(gx, gy, gw, gh);
        if (in_game) {
            x -= gx;
            y -= gy;
        }
        const DialogFont font{"Tahoma", 13, false, false};
        float widest = 60;
        std::vector<std::string> shown;
        for (const MenuItem& m : items) {
            shown.push_back(ToDisplayUtf8(MenuCaptionText(m.caption)));
            float w = 0, h = 0;
            host_.MeasureText(font, 0, shown.back(), w, h);
            widest = std::max(widest, w);
        }
        const int item_h = 20, sep_h = 9;
        int height = 4;
        for (const MenuItem& m : items) height += m.separator ? sep_h : item_h;
        DialogSpec spec;
        spec.border = false;
        spec.client_width = int(widest) + 40;
        spec.client_height = height + 4;
        spec.x = std::max(0, x);
        spec.y = std::max(0, y);
        spec.close_result = 1000000;
        spec.in_game = in_game;
        if (in_game) {
            // Kept inside the game window, as a pop-up menu stays on its screen.
            spec.x = std::max(0, std::min(spec.x, gw - spec.client_width));
            spec.y = std::max(0, std::min(spec.y, gh - spec.client_height));
        }
        int result = host_.RunModal(spec, [&]() -> int {
            ImDrawList* list = ImGui::GetWindowDrawList();
            ImVec2 o = ImGui::GetWindowPos();
            list->AddRect(o, ImVec2(o.x + spec.client_width, o.y + spec.client_height),
                          IM_COL32(120, 120, 120, 255));
            float top = 4;
            for (size_t i = 0; i < items.size(); ++i) {
                const MenuItem& m = items[i];
                if (m.separator) {
                    float mid = top + sep_h / 2.0f;
                    list->AddLine(ImVec2(o.x + 4, o.y + mid),
                                  ImVec2(o.x + spec.client_width - 4, o.y + mid),
                                  IM_COL32(160, 160, 160, 255));
                    top += sep_h;
                    continue;
                }
                bool hovered = false, held = false;
                std::string id = "##item" + std::to_string(i);
                bool clicked = MouseClicked(2, top, float(spec.client_width - 4), float(item_h),
                                            id.c_str(), hovered, held);
                if (hovered)
                    list->AddRectFilled(ImVec2(o.x + 2, o.y + top),
                                        ImVec2(o.x + spec.client_width - 2, o.y + top + item_h),
                                        IM_COL32(51, 153, 255, 255));
                dialog::Text(font, hovered ? 0xFFFFFFFFu : 0xFF000000u, 20, top + 3, 0, shown[i]);
                if (clicked) return m.number;
                top += item_h;
            }
            if (Pressed(SDL_SCANCODE_ESCAPE)) return 1000000;
            for (ImWchar c : ImGui::GetIO().InputQueueCharacters) {
                char l = char(std::tolower(c < 128 ? int(c) : 0));
                for (const MenuItem& m : items)
                    if (!m.separator && l && m.shortcut == l) return m.number;
            }
            return kDialogOpen;
        });
        if (result == kDialogOpen) return std::nullopt;
        return result == 1000000 ? -1 : result;
    }

    std::optional<int32_t> Color(int32_t initial) override {
        if (!Usable()) return std::nullopt;
        float rgb[3] = {float(initial & 0xFF) / 255, float(initial >> 8 & 0xFF) / 255,
                        float(initial >> 16 & 0xFF) / 255};
        DialogSpec spec;
        spec.in_game = true;
        spec.caption = "Color";
        spec.client_width = 300;
        spec.client_height = 330;
        spec.close_result = 0;
        int result = host_.RunModal(spec, [&]() -> int {
            ImGui::SetCursorPos(ImVec2(10, 10));
            ImGui::PushItemWidth(280);
            ImGui::ColorPicker3("##color", rgb,
                                ImGuiColorEditFlags_NoSidePreview | ImGuiColorEditFlags_DisplayRGB);
            ImGui::PopItemWidth();
            if (dialog::Button("OK", 130, 295, 75, 25, nullptr, true)) return 1;
            if (dialog::Button("Cancel", 215, 295, 75, 25, nullptr)) return 0;
            if (Pressed(SDL_SCANCODE_ESCAPE)) return 0;
            return kDialogOpen;
        });
        if (result == kDialogOpen) return std::nullopt;
        if (result == 0) return -1;
        auto byte = [](float v) { return int32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
        return byte(rgb[0]) + byte(rgb[1]) * 256 + byte(rgb[2]) * 65536;
    }

    std::optional<std::string> ChooseFile(const FileRequest& r) override {
        if (!Usable()) return std::nullopt;
        namespace fs = std::filesystem;
        const bool dirs = r.kind == FileRequest::kDirectory;
        std::vector<FileFilter> filters = ParseFileFilter(r.filter);
        if (filters.empty()) filters.push_back({"All Files", {"*.*"}});
        int filter = 0;
        std::string folder = r.start_dir;
        std::string name;
        if (dirs) {
            std::error_code ec;
            if (!r.start_name.empty() && fs::is_directory(r.start_name, ec))
                folder = fs::absolute(r.start_name, ec).string();
        } else {
            name = ToDisplayUtf8(r.start_name);
        }
        std::vector<FolderEntry> entries;
        bool reload = true;
        DialogSpec spec;
        spec.in_game = true;
        spec.caption = ToDisplayUtf8(r.caption);
        spec.client_width = 520;
        spec.client_height = 400;
        spec.close_result = 0;
        int result = host_.RunModal(spec, [&]() -> int {
            if (reload) {
                entries = ListFolder(
                    folder, dirs ? std::vector<std::string>() : filters[size_t(filter)].patterns,
                    dirs);
                reload = false;
            }
            ImGui::SetCursorPos(ImVec2(10, 10));
            ImGui::TextUnformatted(ToDisplayUtf8(folder).c_str());
            ImGui::SetCursorPos(ImVec2(10, 32));
            ImGui::BeginChild("##entries", ImVec2(500, 270), true);
            if (ImGui::Selectable("..", false, ImGuiSelectableFlags_AllowDoubleClick) &&
                ImGui::IsMouseDoubleClicked(0)) {
                folder = fs::path(folder).parent_path().string();
                if (folder.empty()) folder = "/";
                reload = true;
            }
            for (const FolderEntry& e : entries) {
                std::string label = (e.folder ? "[" + e.name + "]" : e.name);
                bool selected = !e.folder && e.name == name;
                if (ImGui::Selectable(ToDisplayUtf8(label).c_str(), selected,
                                      ImGuiSelectableFlags_AllowDoubleClick)) {
                    if (e.folder && ImGui::IsMouseDoubleClicked(0)) {
                        folder = (fs::path(folder) / e.name).string();
                        reload = true;
                    } else if (!e.folder) {
                        name = ToDisplayUtf8(e.name);
                        if (ImGui::IsMouseDoubleClicked(0)) {
                            ImGui::EndChild();
                            return 1;
                        }
                    }
                }
            }
            ImGui::EndChild();
            if (!dirs) {
                ImGui::SetCursorPos(ImVec2(10, 312));
                ImGui::TextUnformatted("File name:");
                ImGui::SetCursorPos(ImVec2(90, 310));
                ImGui::PushItemWidth(250);
                ImGui::InputText("##name", &name);
                ImGui::PopItemWidth();
                ImGui::SetCursorPos(ImVec2(10, 342));
                ImGui::TextUnformatted("Files of type:");
                ImGui::SetCursorPos(ImVec2(90, 340));
                ImGui::PushItemWidth(250);
                std::string current = ToDisplayUtf8(filters[size_t(filter)].description);
                if (ImGui::BeginCombo("##filter", current.c_str())) {
                    for (size_t i = 0; i < filters.size(); ++i)
                        if (ImGui::Selectable(ToDisplayUtf8(filters[i].description).c_str(),
                                              int(i) == filter)) {
                            filter = int(i);
                            reload = true;
                        }
                    ImGui::EndCombo();
                }
                ImGui::PopItemWidth();
            }
            const char* ok = r.kind == FileRequest::kSave ? "&Save" : dirs ? "OK" : "&Open";
            if (dialog::Button(ok, 355, 310, 75, 25, nullptr, true)) return 1;
            if (dialog::Button("Cancel", 435, 310, 75, 25, nullptr)) return 0;
            if (Pressed(SDL_SCANCODE_ESCAPE)) return 0;
            return kDialogOpen;
        });
        if (result == kDialogOpen) return std::nullopt;
        if (result == 0) return std::string();
        if (dirs) return folder;
        if (name.empty()) return std::string();
        fs::path chosen(GameText(name));
        if (chosen.is_relative()) chosen = fs::path(folder) / chosen;
        return chosen.string();
    }

    std::optional<std::string> Highscore(const HighscoreRequest& r) override {
        if (!Usable()) return std::nullopt;
        const HighscoreSettings& s = *r.settings;
        DialogSpec spec;
        spec.in_game = true;
        spec.caption = ToDisplayUtf8(s.caption);
        spec.border = s.border;
        spec.client_width = 360;
        spec.client_height = 400;
        spec.close_result = 0;
        const DialogFont font{s.font.name, Pixels(s.font.size), (s.font.style & kFontBold) != 0,
                              (s.font.style & kFontItalic) != 0};
        std::string typed;
        static int version = 0;
        const int back_version = ++version;
        host_.RunModal(spec, [&]() -> int {
            ImDrawList* list = ImGui::GetWindowDrawList();
            ImVec2 o = ImGui::GetWindowPos();
            list->AddRectFilled(o, ImVec2(o.x + 360, o.y + 400), ImColor32(s.window_color));
            if (r.background)
                dialog::Image(r.background, back_version, r.background->pixels.data(),
                              r.background->width, r.background->height, 0, 0, 360, 400);
            for (int rank = 1; rank <= kHighscoreRanks; ++rank) {
                const bool fresh = rank == r.new_rank;
                const uint32_t col = Argb(fresh ? s.new_color : s.other_color);
                const float y = float(48 + 32 * (rank - 1));
                const ScoreEntry& e = r.entries[size_t(rank - 1)];
                std::string number = std::to_string(rank) + ".";
                float w = 0, h = 0;
                dialog::Measure(font, 0, number, w, h);
                dialog::Text(font, col, 8 + 33 - w, y, 0, number);
                std::string name = fresh ? ToDisplayUtf8(typed) + "|" : ToDisplayUtf8(e.name);
                dialog::Text(font, col, 48, y, 0, name);
                std::string score = std::to_string(e.score);
                dialog::Measure(font, 0, score, w, h);
                dialog::Text(font, col, 264 + 73 - w, y, 0, score);
            }
            dialog::Text(font, Argb(s.other_color), 112, 376, 0, ToDisplayUtf8(s.escape));
            if (Pressed(SDL_SCANCODE_ESCAPE) || EnterPressed()) return 1;
            if (r.new_rank > 0) {
                if (Pressed(SDL_SCANCODE_BACKSPACE)) HighscoreKey(typed, 8, 0);
                std::string utf8;
                for (ImWchar c : ImGui::GetIO().InputQueueCharacters) AppendUtf8(utf8, c);
                for (char c : GameText(utf8)) HighscoreKey(typed, 0, c);
            }
            return kDialogOpen;
        });
        return typed;
    }

    bool GameInformation(const GameInfo& info, const RichDocument& doc) override {
        if (!Usable()) return false;
        int gx = 0, gy = 0, gw = 0, gh = 0;
        const bool in_game =
            info.InGameWindow && host_.GameWindowShown() && game_ && game_(gx, gy, gw, gh);
        if (!in_game && !host_.Available()) return false;
        int sw = 0, sh = 0;
        Screen(sw, sh);
        DialogSpec spec;
        spec.caption = ToDisplayUtf8(info.InfoCaption);
        spec.border = info.InfoBorder;
        spec.client_width = std::clamp(info.InfoWidth, 50, std::max(50, sw));
        spec.client_height = std::clamp(info.InfoHeight, 50, std::max(50, sh));
        spec.x = info.InfoLeft < 0 ? (sw - spec.client_width) / 2 : info.InfoLeft;
        spec.y = info.InfoTop < 0 ? (sh - spec.client_height) / 2 : info.InfoTop;
        if (in_game) {
            // Covering the game window's client area.
            spec.in_game = true;
            spec.x = spec.y = 0;
            spec.client_width = gw;
            spec.client_height = gh;
            spec.border = false;
        }
        // The frame owns what it draws: a modeless window outlives this call.
        auto page = std::make_shared<RichDocument>(doc);
        const int32_t color = info.InfoColor;
        auto frame = [page, color, w = spec.client_width, h = spec.client_height]() -> int {
            ImDrawList* list = ImGui::GetWindowDrawList();
            ImVec2 o = ImGui::GetWindowPos();
            list->AddRectFilled(o, ImVec2(o.x + float(w), o.y + float(h)), ImColor32(color));
            ImGui::SetCursorPos(ImVec2(0, 0));
            ImGui::PushStyleColor(ImGuiCol_ChildBg, ImColor32(color));
            ImGui::BeginChild("##info", ImVec2(float(w), float(h)), false,
                              ImGuiWindowFlags_HorizontalScrollbar);
            float height = DrawRichText(*page, 6, 4, float(w) - 24);
            ImGui::SetCursorPos(ImVec2(0, height + 8));
            ImGui::Dummy(ImVec2(1, 1));
            ImGui::EndChild();
            ImGui::PopStyleColor();
            if (Pressed(SDL_SCANCODE_ESCAPE)) return 0;
            return kDialogOpen;
        };
        // In the game window and with the freeze flag the game waits; otherwise the game goes
        // on while the window is open.
        if (in_game || info.InfoFreeze) {
            host_.RunModal(spec, frame);
            return true;
        }
        return host_.OpenModeless(spec, frame);
    }

    std::optional<bool> Splash(const SplashRequest& r) override {
        if (!Usable()) return std::nullopt;
        const SplashSettings& s = *r.settings;
        int gx = 0, gy = 0, gw = 0, gh = 0;
        const bool in_game =
            s.main && !s.fullscreen && host_.GameWindowShown() && game_ && game_(gx, gy, gw, gh);
        if (!in_game && !host_.Available()) return std::nullopt;
        int sw = 0, sh = 0;
        Screen(sw, sh);
        DialogSpec spec;
        spec.caption = ToDisplayUtf8(s.caption);
        spec.border = s.border;
        spec.client_width = std::max(1, s.w);
        spec.client_height = std::max(1, s.h);
        spec.continuous = true;
        if (s.fullscreen) {
            spec.fullscreen = true;
            spec.border = false;
            spec.x = spec.y = 0;
            spec.client_width = sw;
            spec.client_height = sh;
        } else if (in_game) {
            spec.in_game = true;
            spec.border = false;
            spec.x = spec.y = 0;
            spec.client_width = gw;
            spec.client_height = gh;
        }

        // Everything the frames use lives in the view: a modeless splash outlives this call.
        struct View {
            CBitmap32 picture;
            VideoDecoder video;
            RichDocument text;
            double next_time = 0;
            bool ended = false;
            int frame_version = 0;
            std::chrono::steady_clock::time_point start, video_start;
            // The video's sound, stopped when the splash goes.
            std::function<int(std::unique_ptr<PcmSource>)> play;
            std::function<void(int)> stop;
            std::string file;
            int sound = -1;
            bool shown = false;
            void StartSound() {
                StopSound();
                if (!play) return;
                if (std::unique_ptr<PcmSource> src = OpenVideoSound(file))
                    sound = play(std::move(src));
            }
            void StopSound() {
                if (sound >= 0 && stop) stop(sound);
                sound = -1;
            }
            ~View() { StopSound(); }
        };
        auto v = std::make_shared<View>();
        v->file = r.file;
        if (r.kind == SplashRequest::kVideo) {
            v->play = r.play_sound;
            v->stop = r.stop_sound;
        }
        if (r.kind == SplashRequest::kImage) {
            v->picture = DecodePictureFile(r.file);
            if (!v->picture.exists) return false;
        } else if (r.kind == SplashRequest::kVideo) {
            if (!v->video.Open(r.file)) return false;
            if (!v->video.Next(v->picture, v->next_time)) return false;
        } else {
            std::vector<uint8_t> bytes;
            if (!ReadFileBytes(r.file, bytes)) return false;
            v->text = ParseRichText(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
        if (v->picture.exists && s.adapt && !in_game && !s.fullscreen) {
            SplashPlacement p = PlaceSplash(v->picture.width, v->picture.height, spec.client_width,
                                            spec.client_height, s.scale);
            spec.client_width = std::max(1, p.w);
            spec.client_height = std::max(1, p.h);
        }
        if (!in_game && spec.x < 0 && !s.fullscreen) spec.x = (sw - spec.client_width) / 2;
        if (!in_game && spec.y < 0 && !s.fullscreen) spec.y = (sh - spec.client_height) / 2;
        if (!s.cursor) SDL_ShowCursor(SDL_DISABLE);

        using Clock = std::chrono::steady_clock;

        const SplashSettings settings = s;  // a later splash_set_* does not change this one
        const SplashRequest::Kind kind = r.kind;
        const int32_t delay_ms = r.delay_ms;
        const bool loop = r.loop;
        const int cw = spec.client_width, ch = spec.client_height;
        auto frame = [v, settings, kind, delay_ms, loop, cw, ch, in_game]() -> int {
            const SplashSettings& s = settings;
            if (!v->shown) {
                // The close timer, the video and its sound start with the first frame shown.
                v->shown = true;
                v->start = v->video_start = Clock::now();
                v->StartSound();
            }
            const double elapsed = std::chrono::duration<double>(Clock::now() - v->start).count();
            if (delay_ms > 0 && kind != SplashRequest::kVideo && elapsed * 1000 >= delay_ms)
                return 0;
            ImDrawList* list = ImGui::GetWindowDrawList();
            ImVec2 o = ImGui::GetWindowPos();
            const int32_t back =
                kind == SplashRequest::kText && s.color == 0 && !in_game && !s.fullscreen ? 0xFFFFFF
                                                                                          : s.color;
            list->AddRectFilled(o, ImVec2(o.x + float(cw), o.y + float(ch)), ImColor32(back));
            if (kind == SplashRequest::kVideo) {
                const double t =
                    std::chrono::duration<double>(Clock::now() - v->video_start).count();
                while (!v->ended && v->next_time <= t) {
                    CBitmap32 f;
                    double when = 0;
                    if (v->video.Next(f, when)) {
                        v->picture = std::move(f);
                        v->next_time = when;
                        ++v->frame_version;
                    } else if (loop && v->video.Rewind()) {
                        v->video_start = Clock::now();
                        v->next_time = 0;
                        v->StartSound();
                        break;
                    } else {
                        v->ended = true;
                    }
                }
                if (v->ended) return 0;
            }
            if (v->picture.exists) {
                SplashPlacement p =
                    PlaceSplash(v->picture.width, v->picture.height, cw, ch, s.scale);
                dialog::Image(v.get(), v->frame_version, v->picture.pixels.data(), v->picture.width,
                              v->picture.height, float(p.x), float(p.y), float(p.w), float(p.h));
            } else {
                ImGui::SetCursorPos(ImVec2(0, 0));
                ImGui::BeginChild("##text", ImVec2(float(cw), float(ch)));
                float height = DrawRichText(v->text, 6, 4, float(cw) - 24);
                ImGui::SetCursorPos(ImVec2(0, height + 8));
                ImGui::Dummy(ImVec2(1, 1));
                ImGui::EndChild();
            }
            if (s.stop_key && Pressed(SDL_SCANCODE_ESCAPE)) return 0;
            if (s.stop_mouse && (ImGui::IsMouseClicked(0) || ImGui::IsMouseClicked(1))) return 0;
            return kDialogOpen;
        };
        auto restore_cursor = [cursor = s.cursor] {
            if (!cursor) SDL_ShowCursor(SDL_ENABLE);
        };
        // In the game window the game waits; in its own window it waits only when the splash
        // interrupts the game.
        if (in_game || s.interrupt) {
            host_.RunModal(spec, frame);
            restore_cursor();
            return true;
        }
        if (!host_.OpenModeless(spec, frame, restore_cursor)) restore_cursor();
        return true;
    }

  private:
    // Lays the paragraphs out word by word (each run in its own face and size), wrapping at
    // `width`; returns the height used.
    static float DrawRichText(const RichDocument& doc, float left, float top, float width) {
        struct Piece {
            std::string text;
            const RichStyle* style;
            float w, h;
        };
        float y = top;
        for (const RichParagraph& p : doc.paragraphs) {
            std::vector<Piece> line;
            float line_w = 0;
            float empty_h = Pixels(p.runs.empty() ? 10 : p.runs.front().style.size) * 1.2f;
            auto flush = [&](bool last) {
                float h = 0;
                for (const Piece& pc : line) h = std::max(h, pc.h);
                if (line.empty()) h = empty_h;
                float x = left;
                if (p.align == RichAlign::Center) x = left + (width - line_w) / 2;
                if (p.align == RichAlign::Right) x = left + width - line_w;
                float gap = 0;
                if (p.align == RichAlign::Justify && !last && line.size() > 1)
                    gap = (width - line_w) / float(line.size() - 1);
                for (const Piece& pc : line) {
                    const RichStyle& st = *pc.style;
                    DialogFont f{st.font, Pixels(st.size), st.bold, st.italic};
                    dialog::Text(f, Argb(st.color), x, y + (h - pc.h), 0, pc.text, st.underline);
                    x += pc.w + gap;
                }
                y += h;
                line.clear();
                line_w = 0;
            };
            for (const RichRun& run : p.runs) {
                DialogFont f{run.style.font, Pixels(run.style.size), run.style.bold,
                             run.style.italic};
                size_t i = 0;
                while (i < run.text.size()) {
                    // A word with its following blanks, or one tab.
                    size_t j = i;
                    if (run.text[j] == '\t') {
                        ++j;
                    } else {
                        while (j < run.text.size() && run.text[j] != ' ' && run.text[j] != '\t')
                            ++j;
                        while (j < run.text.size() && run.text[j] == ' ') ++j;
                    }
                    std::string word = run.text.substr(i, j - i);
                    i = j;
                    float w = 0, h = 0;
                    if (word == "\t") {
                        const float tab = 48;
                        float at = line_w;
                        w = (std::floor(at / tab) + 1) * tab - at;
                        h = f.pixels;
                        word = " ";
                    } else {
                        dialog::Measure(f, 0, word, w, h);
                    }
                    if (line_w + w > width && !line.empty()) flush(false);
                    line.push_back({word, &run.style, w, h});
                    line_w += w;
                }
            }
            flush(true);
        }
        return y;
    }

    // The message pictures with their transparent colour taken out, made again when the
    // settings' pictures change.
    void MaskPictures(const MessagePictures& pic) {
        if (masked_generation_ == pic.generation) return;
        masked_generation_ = pic.generation;
        masked_back_ = pic.background_transparent ? MaskedPicture(pic.background) : CBitmap32();
        for (size_t i = 0; i < 3; ++i)
            masked_buttons_[i] = pic.buttons_masked ? MaskedPicture(pic.buttons[i]) : CBitmap32();
    }

    DialogHost& host_;
    GameWindowRect game_;
    int32_t masked_generation_ = -1;
    CBitmap32 masked_back_;
    std::array<CBitmap32, 3> masked_buttons_;
};

}  // namespace

std::shared_ptr<DialogFrontend> MakeDialogWindows(DialogHost& host, GameWindowRect game_window) {
    return std::make_shared<DialogWindows>(host, std::move(game_window));
}

}  // namespace tb
