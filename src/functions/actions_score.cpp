// The code, score, lives, health and message actions.
#include <array>
#include <string>

#include "dialogs/dialogs.h"
#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/colors.h"
#include "graphics/graphics.h"
#include "graphics/primitives.h"
#include "resources/object.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "system/programs.h"
#include "system/system_state.h"
#include "world/events.h"
#include "world/instance.h"

namespace tb {

namespace {

using namespace actions;

TB_ACTION(action_execute_script) {
    const int32_t script = Int(a[0]);
    e.ClearPending();
    if (!CallScript(e, script, self, other, result, a + 1, 5) && e.errors.pending) {
        const std::string message = e.errors.pending_message;
        e.ClearPending();
        ShowRuntimeError(e, message, false);
    }
}

TB_ACTION(action_inherited) {
    CallBuiltin<0>(kEventInherited, e, self, other, {});
}

TB_ACTION(action_set_score) {
    if (e.world) e.world->score = RoundToInt32(Rel(e, e.world->score, a[0]));
}

// Lives and health falling from above 0 to 0 or less raise their event in every instance.
TB_ACTION(action_set_life) {
    if (!e.world) return;
    World& w = *e.world;
    const int32_t old = w.lives;
    w.lives = RoundToInt32(Rel(e, w.lives, a[0]));
    if (old > 0 && w.lives <= 0) DispatchToAll(w, ev_other, ev_no_more_lives);
}

TB_ACTION(action_set_health) {
    if (!e.world) return;
    World& w = *e.world;
    const double old = w.health;
    w.health = Rel(e, w.health, a[0]);
    if (old > 0 && !(w.health > 0)) DispatchToAll(w, ev_other, ev_no_more_health);
}

void DrawCaptioned(ScriptEngine& e, CInstance* self, CInstance* other, const RValue* a,
                   int64_t value) {
    const std::string text = TextOf(a[2]) + std::to_string(value);
    CallBuiltin<3>(
        kDrawText, e, self, other,
        {Real(RelX(e, self, a[0])), Real(RelY(e, self, a[1])), RValue::String(RString(text))});
}

TB_ACTION(action_draw_score) {
    if (e.world) DrawCaptioned(e, self, other, a, e.world->score);
}

TB_ACTION(action_draw_life) {
    if (e.world) DrawCaptioned(e, self, other, a, e.world->lives);
}

TB_ACTION(action_draw_life_images) {
    const CSprite* sprite = e.game ? e.game->sprites.Get(Int(a[2])) : nullptr;
    if (!e.world || !sprite) return;
    const double x = RelX(e, self, a[0]), y = RelY(e, self, a[1]);
    for (int32_t i = 0; i < e.world->lives; ++i)
        CallBuiltin<4>(kDrawSprite, e, self, other,
                       {a[2], Real(0), Real(x + double(i) * sprite->Width), Real(y)});
}

// The background and bar colour menus of the health bar.
constexpr std::array<uint32_t, 15> kMenuColors = {0x808080, 0xC0C0C0, 0xFFFFFF, 0x000080, 0x008000,
                                                  0x008080, 0x800000, 0x800080, 0x808000, 0x0000FF,
                                                  0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00};

// Codes 2 .. 16 name the menu colours, anything else black.
uint32_t MenuColor(int32_t code) {
    return code >= 2 && code <= 16 ? kMenuColors[size_t(code - 2)] : 0;
}

// Through a middle colour: from `low` at 0 to `mid` at 50 to `high` at 100.
uint32_t ThreeWay(uint32_t low, uint32_t mid, uint32_t high, double health) {
    return health > 50 ? MergeColor(mid, high, (health - 50) / 50)
                       : MergeColor(low, mid, health / 50);
}

uint32_t BarColor(int32_t code, double health) {
    const double h = health < 0 ? 0 : health > 100 ? 100 : health;
    if (code == 0) return ThreeWay(0x0000FF, 0x00FFFF, 0x00FF00, h);
    if (code == 1) return ThreeWay(0x000000, 0x808080, 0xFFFFFF, h);
    return code >= 3 && code <= 17 ? MenuColor(code - 1) : 0;
}

TB_ACTION(action_draw_health) {
    if (!e.graphics || !e.world) return;
    const double health = e.world->health;
    const uint32_t bar = BarColor(Int(a[5]), health);
    DrawHealthbar(*e.graphics, RelX(e, self, a[0]), RelY(e, self, a[1]), RelX(e, self, a[2]),
                  RelY(e, self, a[3]), health, MenuColor(Int(a[4])), bar, bar, 0, true, true);
}

TB_ACTION(action_draw_variable) {
    CallBuiltin<3>(kDrawText, e, self, other,
                   {Real(RelX(e, self, a[1])), Real(RelY(e, self, a[2])),
                    RValue::String(RString(TextOf(a[0])))});
}

TB_ACTION(action_set_caption) {
    if (!e.world) return;
    World& w = *e.world;
    w.show_score = Int(a[0]) == 1;
    w.show_score_set = true;
    w.caption_score = TextOf(a[1]);
    w.show_lives = Int(a[2]) == 1;
    w.caption_lives = TextOf(a[3]);
    w.show_health = Int(a[4]) == 1;
    w.caption_health = TextOf(a[5]);
}

TB_ACTION(action_message) {
    CallBuiltin<1>(kShowMessage, e, self, other, {a[0]});
}

TB_ACTION(action_show_info) {
    ShowGameInformation(e);
}

TB_ACTION(action_show_video) {
    CallBuiltin<3>(kShowVideo, e, self, other, {a[0], a[1], a[2]});
}

TB_ACTION(action_webpage) {
    if (e.files.secure_mode) {
        ShowRuntimeError(e, "In secure mode you cannot open webpages.", false);
        return;
    }
    if (!OpenWithShell(TextOf(a[0]), "", e.system->programs))
        ShowRuntimeError(e, "Failed to open the webpage.", false);
}

// The font argument is a font description "name,size,..."; a missing size keeps the current
// one.
TB_ACTION(action_highscore_show) {
    if (!e.world) return;
    const std::string font = TextOf(a[4]);
    const size_t comma = font.find(',');
    const std::string name = font.substr(0, comma);
    int32_t size = DialogsOf(e).highscore.font.size;
    if (comma != std::string::npos) {
        const int parsed = std::atoi(font.c_str() + comma + 1);
        if (parsed > 0) size = parsed;
    }
    CallBuiltin<7>(
        kHighscoreShowExt, e, self, other,
        {Real(e.world->score), a[0], a[1], a[2], a[3], RValue::String(RString(name)), Real(size)});
}

TB_ACTION(action_highscore_clear) {
    CallBuiltin<0>(kHighscoreClear, e, self, other, {});
}

TB_ACTION(action_highscore) {}

}  // namespace

void RegisterScoreActions(FunctionRegistry& r) {
    r.Register("action_execute_script", &action_execute_script, 6);
    r.Register("action_inherited", &action_inherited, 0);
    r.Register("action_set_score", &action_set_score, 1);
    r.Register("action_set_life", &action_set_life, 1);
    r.Register("action_set_health", &action_set_health, 1);
    r.Register("action_draw_score", &action_draw_score, 3);
    r.Register("action_draw_life", &action_draw_life, 3);
    r.Register("action_draw_life_images", &action_draw_life_images, 3);
    r.Register("action_draw_health", &action_draw_health, 6);
    r.Register("action_draw_variable", &action_draw_variable, 3);
    r.Register("action_set_caption", &action_set_caption, 6);
    r.Register("action_message", &action_message, 1);
    r.Register("action_show_info", &action_show_info, 0);
    r.Register("action_show_video", &action_show_video, 3);
    r.Register("action_webpage", &action_webpage, 1);
    r.Register("action_highscore_show", &action_highscore_show, 5);
    r.Register("action_highscore_clear", &action_highscore_clear, 0);
    r.Register("action_highscore", &action_highscore, 0);
}

}  // namespace tb
