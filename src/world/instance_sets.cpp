#include "world/instance_sets.h"

#include "resources/object.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/value.h"

namespace tb {

int64_t TargetOf(const RValue& v) {
    return v.IsString() ? 0 : RoundToInt64(v.real);
}

int64_t ResolveSelfOther(int64_t target, const CInstance* self, const CInstance* other) {
    if (target == kTargetSelf) return self ? self->id : kNoone;
    if (target == kTargetOther) return other ? other->id : kNoone;
    return target;
}

CInstance* FindLiveInstance(ScriptEngine& engine, int64_t id) {
    if (id < kFirstInstanceId || id > INT32_MAX) return nullptr;
    return engine.FindInstance(int32_t(id));
}

int CountInTarget(ScriptEngine& engine, CRoom* room, int64_t target) {
    int n = 0;
    ForEachInTarget(engine, room, target, [&n](CInstance&) { ++n; });
    return n;
}

CInstance* NthInTarget(ScriptEngine& engine, CRoom* room, int64_t target, int64_t n) {
    if (n < 0) return nullptr;
    int64_t seen = 0;
    return FindInTarget(engine, room, target, [&](CInstance&) { return seen++ == n; });
}

bool InFamily(const ObjectList& objects, const CInstance& inst, int32_t object) {
    return inst.object_index == object || IsAncestor(objects, inst.object_index, object);
}

bool InRegion(const Game& game, const CInstance& inst, double left, double top, double width,
              double height) {
    const int32_t mask = inst.mask_index >= 0 ? inst.mask_index : inst.sprite_index;
    if (!game.sprites.Exists(mask)) {
        return left <= inst.x && inst.x <= left + width && top <= inst.y && inst.y <= top + height;
    }
    return left <= inst.bbox_right && left + width >= inst.bbox_left && top <= inst.bbox_bottom &&
           top + height >= inst.bbox_top;
}

}  // namespace tb
