// The runner's own windows: messages and questions, the message window's customisation,
// highscores, game information, splash screens, pop-up menus and input dialogs.
#include "dialogs/dialogs.h"

#include <filesystem>

#include "dialogs/game_info.h"
#include "functions/arguments.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/graphics.h"
#include "graphics/text.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/real_text.h"
#include "sound/sound_system.h"
#include "system/file_bytes.h"
#include "system/paths.h"
#include "world/world.h"

namespace tb {

namespace {

using Args = const RValue*;

std::string Text(const RValue& v) {
    return v.IsString() ? v.text.str() : RealToString(v.real);
}

#define DIALOG_FN(name)                                                      \
    void name([[maybe_unused]] ScriptEngine& e, CInstance*, CInstance*, int, \
              [[maybe_unused]] RValue& result, [[maybe_unused]] Args a)

// --- messages and questions

DIALOG_FN(show_message) {
    ShowMessageBox(e, ConvertHashes(Text(a[0])), "", "OK", "");
}

DIALOG_FN(show_message_ext) {
    result.SetReal(
        ShowMessageBox(e, ConvertHashes(Text(a[0])), Text(a[1]), Text(a[2]), Text(a[3])));
}

DIALOG_FN(show_question) {
    result.SetReal(ShowMessageBox(e, ConvertHashes(Text(a[0])), "Yes", "", "No") == 1 ? 1 : 0);
}

DIALOG_FN(show_error) {
    ShowRuntimeError(e, Text(a[0]), Flag(a[1]));
}

// A 24-bit copy: every pixel opaque.
CBitmap32 Opaque(const CBitmap32& b) {
    CBitmap32 out = b;
    for (uint32_t& p : out.pixels) p |= 0xFF000000u;
    return out;
}

DIALOG_FN(message_background) {
    const CBackground* b = e.game ? e.game->backgrounds.Get(Int(a[0])) : nullptr;
    if (!b || !b->image.exists || b->image.width < 1 || b->image.height < 1) {
        ShowRuntimeError(e, "Trying to set a non-existing message background", false);
        return;
    }
    MessagePictures& p = DialogsOf(e).message.pictures;
    p.background = Opaque(b->image);
    p.background_transparent = b->Transparent;
    ++p.generation;
}

DIALOG_FN(message_button) {
    const CSprite* s = e.game ? e.game->sprites.Get(Int(a[0])) : nullptr;
    if (!s || s->frames.empty() || !s->frames[0].exists) {
        ShowRuntimeError(e, "Trying to set a non-existing message button", false);
        return;
    }
    MessagePictures& p = DialogsOf(e).message.pictures;
    p.buttons[0] = Opaque(s->frames[0]);
    p.buttons[1] =
        s->frames.size() > 1 && s->frames[1].exists ? Opaque(s->frames[1]) : p.buttons[0];
    p.buttons[2] =
        s->frames.size() > 2 && s->frames[2].exists ? Opaque(s->frames[2]) : p.buttons[1];
    p.buttons_masked = s->Transparent;
    ++p.generation;
}

void SetFont(MessageFont& f, Args a) {
    ChangeFont(f, Text(a[0]), Int(a[1]), Int(a[2]), Int(a[3]));
}
DIALOG_FN(message_text_font) {
    SetFont(DialogsOf(e).message.text_font, a);
}
DIALOG_FN(message_button_font) {
    SetFont(DialogsOf(e).message.button_font, a);
}
DIALOG_FN(message_input_font) {
    SetFont(DialogsOf(e).message.input_font, a);
}
DIALOG_FN(message_mouse_color) {
    DialogsOf(e).message.mouse_color = Int(a[0]);
}
DIALOG_FN(message_input_color) {
    DialogsOf(e).message.input_color = Int(a[0]);
}
DIALOG_FN(message_alpha) {
    DialogsOf(e).message.alpha = MessageAlpha(Number(a[0]));
}
DIALOG_FN(message_position) {
    MessageSettings& m = DialogsOf(e).message;
    m.x = Int(a[0]);
    m.y = Int(a[1]);
}
DIALOG_FN(message_size) {
    MessageSettings& m = DialogsOf(e).message;
    m.w = Int(a[0]);
    m.h = Int(a[1]);
}
DIALOG_FN(message_caption) {
    MessageSettings& m = DialogsOf(e).message;
    m.caption_shown = Flag(a[0]);
    m.caption = Text(a[1]);
}

// --- highscores

int32_t GameId(const ScriptEngine& e) {
    return e.game ? e.game->game_id : 0;
}

ScoreTable Table(ScriptEngine& e) {
    DialogState& d = DialogsOf(e);
    return ScoreTable(d.scores, GameId(e), d.highscore.nobody);
}

void ShowHighscore(ScriptEngine& e, int32_t score) {
    DialogState& d = DialogsOf(e);
    ScoreTable table = Table(e);
    HighscoreRequest r;
    r.settings = &d.highscore;
    r.new_rank = table.Insert({"", score});
    r.entries = table.All();
    const CBackground* back = e.game ? e.game->backgrounds.Get(d.highscore.background) : nullptr;
    if (back && back->image.exists) r.background = &back->image;
    DialogAnswer headless{DialogKind::Highscore, 0, ""};
    DialogAnswer answer = AskDialog(e, DialogKind::Highscore, d.highscore.caption, headless,
                                    [&](DialogFrontend& f) -> std::optional<DialogAnswer> {
                                        std::optional<std::string> name = f.Highscore(r);
                                        if (!name) return std::nullopt;
                                        return DialogAnswer{DialogKind::Highscore, 0, *name};
                                    });
    if (r.new_rank > 0) table.Set(r.new_rank, {answer.text, score});
}

DIALOG_FN(highscore_show) {
    ShowHighscore(e, Int(a[0]));
}

DIALOG_FN(highscore_show_ext) {
    HighscoreSettings& h = DialogsOf(e).highscore;
    h.background = Int(a[1]);
    h.border = Flag(a[2]);
    h.new_color = Int(a[3]);
    h.other_color = Int(a[4]);
    h.font.name = Text(a[5]);
    h.font.size = Int(a[6]);
    ShowHighscore(e, Int(a[0]));
}

DIALOG_FN(highscore_set_background) {
    DialogsOf(e).highscore.background = Int(a[0]);
}
DIALOG_FN(highscore_set_border) {
    DialogsOf(e).highscore.border = Flag(a[0]);
}
DIALOG_FN(highscore_set_font) {
    HighscoreSettings& h = DialogsOf(e).highscore;
    h.font.name = Text(a[0]);
    h.font.size = Int(a[1]);
    int32_t style = Int(a[2]);
    if (style >= 0 && style <= 3) h.font.style = style;
}
DIALOG_FN(highscore_set_strings) {
    HighscoreSettings& h = DialogsOf(e).highscore;
    h.caption = Text(a[0]);
    h.nobody = Text(a[1]);
    h.escape = Text(a[2]);
}
DIALOG_FN(highscore_set_colors) {
    HighscoreSettings& h = DialogsOf(e).highscore;
    h.window_color = Int(a[0]);
    h.new_color = Int(a[1]);
    h.other_color = Int(a[2]);
}
DIALOG_FN(highscore_clear) {
    Table(e).Clear();
}
DIALOG_FN(highscore_add) {
    Table(e).Insert({Text(a[0]), Int(a[1])});
}
DIALOG_FN(highscore_add_current) {
    const int32_t score = e.world ? e.world->score : 0;
    ScoreTable table = Table(e);
    if (score < table.Get(kHighscoreRanks).score) return;
    std::string name = ShowInputBox(
        e, "You reached a place in the highscore table.\rPlease provide your name.", "player");
    table.Insert({name, score});
}
DIALOG_FN(highscore_value) {
    const int32_t place = Int(a[0]);
    result.SetReal(place >= 1 && place <= kHighscoreRanks ? Table(e).Get(place).score : 0);
}
DIALOG_FN(highscore_name) {
    const int32_t place = Int(a[0]);
    result.SetString(place >= 1 && place <= kHighscoreRanks
                         ? RString(Table(e).Get(place).name)
                         : RString(DialogsOf(e).highscore.nobody));
}
DIALOG_FN(draw_highscore) {
    Graphics* g = e.graphics;
    if (!g) return;
    const int32_t x1 = RoundToInt32(Number(a[0])), y1 = RoundToInt32(Number(a[1]));
    const int32_t w = RoundToInt32(Number(a[2]) - Number(a[0]));
    const int32_t h = RoundToInt32((Number(a[3]) - Number(a[1])) / 10);
    const std::array<ScoreEntry, kHighscoreRanks> all = Table(e).All();
    const int32_t halign = g->draw.halign;
    for (int i = 0; i < kHighscoreRanks; ++i) {
        const double y = y1 + i * h;
        g->draw.SetHalign(0);
        DrawText(*g, e.game, x1, y, all[size_t(i)].name, -1, -1, TextStyle{});
        g->draw.SetHalign(2);
        DrawText(*g, e.game, x1 + w, y, std::to_string(all[size_t(i)].score), -1, -1, TextStyle{});
    }
    g->draw.SetHalign(halign);
}

// --- game information

DIALOG_FN(show_info) {
    ShowGameInformation(e);
}

DIALOG_FN(load_info) {
    result.SetReal(0);
    if (!e.game) return;
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(HostPath(Text(a[0])), bytes)) return;
    e.game->info.Text.assign(bytes.begin(), bytes.end());
    DialogsOf(e).info_document.reset();
    result.SetReal(1);
}

// --- splash screens

bool SplashFlag(const RValue& v) {
    return RoundToInt32(Number(v)) != 0;
}

DIALOG_FN(splash_set_caption) {
    DialogsOf(e).splash.caption = Text(a[0]);
}
DIALOG_FN(splash_set_fullscreen) {
    DialogsOf(e).splash.fullscreen = SplashFlag(a[0]);
}
DIALOG_FN(splash_set_border) {
    DialogsOf(e).splash.border = SplashFlag(a[0]);
}
DIALOG_FN(splash_set_size) {
    SplashSettings& s = DialogsOf(e).splash;
    s.w = Int(a[0]);
    s.h = Int(a[1]);
}
DIALOG_FN(splash_set_adapt) {
    DialogsOf(e).splash.adapt = SplashFlag(a[0]);
}
DIALOG_FN(splash_set_top) {
    DialogsOf(e).splash.top = SplashFlag(a[0]);
}
DIALOG_FN(splash_set_color) {
    DialogsOf(e).splash.color = Int(a[0]);
}
DIALOG_FN(splash_set_main) {
    DialogsOf(e).splash.main = SplashFlag(a[0]);
}
DIALOG_FN(splash_set_scale) {
    DialogsOf(e).splash.scale = Number(a[0]);
}
DIALOG_FN(splash_set_cursor) {
    DialogsOf(e).splash.cursor = SplashFlag(a[0]);
}
DIALOG_FN(splash_set_interrupt) {
    DialogsOf(e).splash.interrupt = SplashFlag(a[0]);
}
DIALOG_FN(splash_set_stop_key) {
    DialogsOf(e).splash.stop_key = SplashFlag(a[0]);
}
DIALOG_FN(splash_set_stop_mouse) {
    DialogsOf(e).splash.stop_mouse = SplashFlag(a[0]);
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

const char* NotFound(SplashRequest::Kind kind) {
    switch (kind) {
        case SplashRequest::kImage:
            return "Image file not found.";
        case SplashRequest::kVideo:
            return "Video file not found (or name too long).";
        case SplashRequest::kText:
            break;
    }
    return "Text file not found.";
}

void ShowSplash(ScriptEngine& e, SplashRequest::Kind kind, const RValue& name, int32_t delay,
                bool loop) {
    DialogState& d = DialogsOf(e);
    const std::string given = Text(name);
    const std::string file = HostPath(given);
    if (!FileExists(file) || (kind == SplashRequest::kVideo && given.size() >= 127)) {
        ShowRuntimeError(e, NotFound(kind), false);
        return;
    }
    SplashRequest r;
    r.kind = kind;
    r.file = file;
    r.delay_ms = delay;
    r.loop = loop;
    r.settings = &d.splash;
    if (kind == SplashRequest::kVideo) {
        std::weak_ptr<int> alive = d.alive;
        r.play_sound = [&e, alive](std::unique_ptr<PcmSource> sound) {
            return alive.expired() ? -1 : SoundOf(e).engine.PlayStream(std::move(sound));
        };
        r.stop_sound = [&e, alive](int stream) {
            if (!alive.expired()) SoundOf(e).engine.StopStream(stream);
        };
    }
    // A file that exists but cannot be decoded counts as not found.
    if (d.frontend && d.frontend->Splash(r) == std::optional<bool>(false))
        ShowRuntimeError(e, NotFound(kind), false);
    if (e.host.clear_input) e.host.clear_input();
}

DIALOG_FN(splash_show_image) {
    ShowSplash(e, SplashRequest::kImage, a[0], Int(a[1]), false);
}
DIALOG_FN(splash_show_video) {
    ShowSplash(e, SplashRequest::kVideo, a[0], 0, Flag(a[1]));
}
DIALOG_FN(splash_show_text) {
    ShowSplash(e, SplashRequest::kText, a[0], Int(a[1]), false);
}

void SetFull(ScriptEngine& e, const RValue& full) {
    SplashSettings& s = DialogsOf(e).splash;
    s.fullscreen = SplashFlag(full);
    s.main = !s.fullscreen;
}
DIALOG_FN(show_image) {
    SetFull(e, a[1]);
    ShowSplash(e, SplashRequest::kImage, a[0], Int(a[2]), false);
}
DIALOG_FN(show_video) {
    SetFull(e, a[1]);
    ShowSplash(e, SplashRequest::kVideo, a[0], 0, Flag(a[2]));
}
DIALOG_FN(show_text) {
    SetFull(e, a[1]);
    DialogsOf(e).splash.color = Int(a[2]);
    ShowSplash(e, SplashRequest::kText, a[0], Int(a[3]), false);
}

// --- pop-up menus and input dialogs

int32_t Menu(ScriptEngine& e, const RValue& text, int32_t x, int32_t y, bool at_mouse) {
    const std::string t = Text(text);
    std::vector<MenuItem> items = ParseMenu(t);
    DialogAnswer headless{DialogKind::Menu, -1, {}};
    DialogAnswer a = AskDialog(e, DialogKind::Menu, t, headless,
                               [&](DialogFrontend& f) -> std::optional<DialogAnswer> {
                                   std::optional<int32_t> n = f.Menu(items, x, y, at_mouse);
                                   if (!n) return std::nullopt;
                                   return DialogAnswer{DialogKind::Menu, *n, {}};
                               });
    return a.number;
}

DIALOG_FN(show_menu) {
    int32_t n = Menu(e, a[0], 0, 0, true);
    if (n < 0)
        result = a[1];
    else
        result.SetReal(n);
}

DIALOG_FN(show_menu_pos) {
    int32_t n = Menu(e, a[2], Int(a[0]), Int(a[1]), false);
    if (n < 0)
        result = a[3];
    else
        result.SetReal(n);
}

DIALOG_FN(get_integer) {
    const int32_t def = Int(a[1]);
    std::string answer = ShowInputBox(e, ConvertHashes(Text(a[0])), std::to_string(def));
    std::optional<int32_t> v = ParseIntegerAnswer(answer);
    result.SetReal(v ? *v : def);
}

DIALOG_FN(get_string) {
    result.SetString(RString(ShowInputBox(e, ConvertHashes(Text(a[0])), Text(a[1]))));
}

DIALOG_FN(get_color) {
    const int32_t def = Int(a[0]);
    DialogAnswer headless{DialogKind::Color, -1, {}};
    DialogAnswer answer = AskDialog(e, DialogKind::Color, "Color", headless,
                                    [&](DialogFrontend& f) -> std::optional<DialogAnswer> {
                                        std::optional<int32_t> c = f.Color(def);
                                        if (!c) return std::nullopt;
                                        return DialogAnswer{DialogKind::Color, *c, {}};
                                    });
    result.SetReal(answer.number);
}

// The working directory is the game's: a choice in another folder must not move it.
std::string ChooseFile(ScriptEngine& e, FileRequest r, std::string_view headline) {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    r.start_dir = ec ? std::string(".") : cwd.string();
    DialogAnswer headless{DialogKind::File, 0, {}};
    DialogAnswer answer = AskDialog(e, DialogKind::File, headline, headless,
                                    [&](DialogFrontend& f) -> std::optional<DialogAnswer> {
                                        std::optional<std::string> name = f.ChooseFile(r);
                                        if (!name) return std::nullopt;
                                        return DialogAnswer{DialogKind::File, 0, *name};
                                    });
    if (!ec) std::filesystem::current_path(cwd, ec);
    return answer.text;
}

DIALOG_FN(get_open_filename) {
    FileRequest r;
    r.kind = FileRequest::kOpen;
    r.caption = "Open";
    r.filter = Text(a[0]);
    r.start_name = Text(a[1]);
    result.SetString(RString(ChooseFile(e, r, r.filter)));
}

DIALOG_FN(get_save_filename) {
    FileRequest r;
    r.kind = FileRequest::kSave;
    r.caption = "Save As";
    r.filter = Text(a[0]);
    r.start_name = Text(a[1]);
    result.SetString(RString(ChooseFile(e, r, r.filter)));
}

DIALOG_FN(get_directory) {
    FileRequest r;
    r.kind = FileRequest::kDirectory;
    r.caption = "Select Directory";
    r.start_name = Text(a[0]);
    result.SetString(RString(ChooseFile(e, r, r.caption)));
}

DIALOG_FN(get_directory_alt) {
    FileRequest r;
    r.kind = FileRequest::kDirectory;
    r.caption = Text(a[0]);
    r.start_name = Text(a[1]);
    result.SetString(RString(ChooseFile(e, r, r.caption)));
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kShowMessage = &show_message;
const BuiltinFunction kShowQuestion = &show_question;
const BuiltinFunction kShowVideo = &show_video;
const BuiltinFunction kHighscoreShowExt = &highscore_show_ext;
const BuiltinFunction kHighscoreClear = &highscore_clear;

void RegisterDialogFunctions(FunctionRegistry& r) {
    r.Register("show_message", &show_message, 1);
    r.Register("show_message_ext", &show_message_ext, 4);
    r.Register("show_question", &show_question, 1);
    r.Register("show_error", &show_error, 2);
    r.Register("message_background", &message_background, 1);
    r.Register("message_button", &message_button, 1);
    r.Register("message_text_font", &message_text_font, 4);
    r.Register("message_button_font", &message_button_font, 4);
    r.Register("message_input_font", &message_input_font, 4);
    r.Register("message_mouse_color", &message_mouse_color, 1);
    r.Register("message_input_color", &message_input_color, 1);
    r.Register("message_alpha", &message_alpha, 1);
    r.Register("message_position", &message_position, 2);
    r.Register("message_size", &message_size, 2);
    r.Register("message_caption", &message_caption, 2);

    r.Register("highscore_show", &highscore_show, 1);
    r.Register("highscore_show_ext", &highscore_show_ext, 7);
    r.Register("highscore_set_background", &highscore_set_background, 1);
    r.Register("highscore_set_border", &highscore_set_border, 1);
    r.Register("highscore_set_font", &highscore_set_font, 3);
    r.Register("highscore_set_strings", &highscore_set_strings, 3);
    r.Register("highscore_set_colors", &highscore_set_colors, 3);
    r.Register("highscore_clear", &highscore_clear, 0);
    r.Register("highscore_add", &highscore_add, 2);
    r.Register("highscore_add_current", &highscore_add_current, 0);
    r.Register("highscore_value", &highscore_value, 1);
    r.Register("highscore_name", &highscore_name, 1);
    r.Register("draw_highscore", &draw_highscore, 4);

    r.Register("show_info", &show_info, 0);
    r.Register("load_info", &load_info, 1);
    r.Register("splash_set_caption", &splash_set_caption, 1);
    r.Register("splash_set_fullscreen", &splash_set_fullscreen, 1);
    r.Register("splash_set_border", &splash_set_border, 1);
    r.Register("splash_set_size", &splash_set_size, 2);
    r.Register("splash_set_adapt", &splash_set_adapt, 1);
    r.Register("splash_set_top", &splash_set_top, 1);
    r.Register("splash_set_color", &splash_set_color, 1);
    r.Register("splash_set_main", &splash_set_main, 1);
    r.Register("splash_set_scale", &splash_set_scale, 1);
    r.Register("splash_set_cursor", &splash_set_cursor, 1);
    r.Register("splash_set_interrupt", &splash_set_interrupt, 1);
    r.Register("splash_set_stop_key", &splash_set_stop_key, 1);
    r.Register("splash_set_stop_mouse", &splash_set_stop_mouse, 1);
    r.Register("splash_show_image", &splash_show_image, 2);
    r.Register("splash_show_video", &splash_show_video, 2);
    r.Register("splash_show_text", &splash_show_text, 2);
    r.Register("show_image", &show_image, 3);
    r.Register("show_video", &show_video, 3);
    r.Register("show_text", &show_text, 4);

    r.Register("show_menu", &show_menu, 2);
    r.Register("show_menu_pos", &show_menu_pos, 4);
    r.Register("get_integer", &get_integer, 2);
    r.Register("get_string", &get_string, 2);
    r.Register("get_color", &get_color, 1);
    r.Register("get_open_filename", &get_open_filename, 2);
    r.Register("get_save_filename", &get_save_filename, 2);
    r.Register("get_directory", &get_directory, 1);
    r.Register("get_directory_alt", &get_directory_alt, 2);
}

}  // namespace tb
