// The cursor, full-screen, snapshot and effect actions.
#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/graphics.h"

namespace tb {

namespace {

using namespace actions;

constexpr int32_t kCursorDefault = 0;
constexpr int32_t kCursorNone = -1;

// (sprite, show): the sprite drawn as the cursor, and whether the system cursor shows.
TB_ACTION(action_set_cursor) {
    if (e.world) e.world->cursor_sprite = Int(a[0]);
    if (e.graphics) e.graphics->game_window.SetCursor(Flag(a[1]) ? kCursorDefault : kCursorNone);
}

// 1 window, 2 full screen, anything else toggles.
TB_ACTION(action_fullscreen) {
    if (!e.graphics) return;
    const int32_t mode = Int(a[0]);
    const bool full = mode == 1 ? false : mode == 2 ? true : !e.graphics->window.full_screen;
    e.graphics->game_window.SetFullScreen(full);
}

TB_ACTION(action_snapshot) {
    CallBuiltin<1>(kScreenSave, e, self, other, {a[0]});
}

// (kind, x, y, size, colour, where): below the instances when where < 0.5, else above.
TB_ACTION(action_effect) {
    CallBuiltin<5>(Number(a[5]) < 0.5 ? kEffectCreateBelow : kEffectCreateAbove, e, self, other,
                   {a[0], Real(RelX(e, self, a[1])), Real(RelY(e, self, a[2])), a[3], a[4]});
}

}  // namespace

void RegisterOtherActions(FunctionRegistry& r) {
    r.Register("action_set_cursor", &action_set_cursor, 2);
    r.Register("action_fullscreen", &action_fullscreen, 1);
    r.Register("action_snapshot", &action_snapshot, 1);
    r.Register("action_effect", &action_effect, 6);
}

}  // namespace tb
