#include "world/caption.h"

#include "script/value.h"
#include "world/world.h"

namespace tb {

std::string WindowCaption(const World& w, std::string_view room_caption) {
    std::string text(room_caption);
    if (w.show_score && (w.show_score_set || w.score > 0))
        text += " " + w.caption_score + std::to_string(w.score);
    if (w.show_lives) text += " " + w.caption_lives + std::to_string(w.lives);
    if (w.show_health) text += " " + w.caption_health + std::to_string(RoundToInt64(w.health));
    return text;
}

}  // namespace tb
