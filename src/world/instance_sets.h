// The instances an `obj` argument of the interaction and collision functions names: an object
// index (its family), `all`, an instance id, and for some functions `self` and `other`.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "resources/room.h"
#include "world/instance.h"

namespace tb {

class ScriptEngine;
struct RValue;

constexpr int64_t kTargetSelf = -1;
constexpr int64_t kTargetOther = -2;
constexpr int64_t kTargetAll = -3;
constexpr int32_t kNoone = -4;
// Arguments at or above this are instance ids; smaller non-negative ones object indices.
constexpr int64_t kFirstInstanceId = 100000;

// The argument as a target: the real rounded (halves to even); a string is 0.
int64_t TargetOf(const RValue& v);
// For the functions that accept them: `self` and `other` become the ids of those instances
// (noone when the instance is missing). Every other value is returned unchanged.
int64_t ResolveSelfOther(int64_t target, const CInstance* self, const CInstance* other);

// The active instance with this id that is not destroyed, or null.
CInstance* FindLiveInstance(ScriptEngine& engine, int64_t id);

// Calls f(CInstance&) for each active, non-destroyed instance that `target` names (all: the
// room's instances in order; an object index: its family; an id: that instance), until f
// returns true; returns the instance f stopped at, or null. The list is read again at every
// step and the walk ends at the count taken when it began, so f may run events that create,
// destroy, change or (de)activate instances. Negative targets other than `all` name nothing:
// resolve `self` and `other` first where they are accepted.
template <class F>
CInstance* FindInTarget(ScriptEngine& engine, CRoom* room, int64_t target, F&& f) {
    if (!room) return nullptr;
    if (target >= kFirstInstanceId) {
        CInstance* inst = FindLiveInstance(engine, target);
        return inst && f(*inst) ? inst : nullptr;
    }
    if (target == kTargetAll) {
        const size_t count = room->instances.size();
        for (size_t i = 0; i < count && i < room->instances.size(); ++i) {
            CInstance* inst = room->instances[i].get();
            if (inst && !inst->destroyed && f(*inst)) return inst;
        }
        return nullptr;
    }
    if (target < 0 || target > INT32_MAX) return nullptr;
    const int32_t object = int32_t(target);
    const size_t count = room->InstancesOfFamily(object).size();
    for (size_t i = 0; i < count; ++i) {
        std::span<CInstance* const> list = room->InstancesOfFamily(object);
        if (i >= list.size()) break;
        CInstance* inst = list[i];
        if (inst && !inst->destroyed && f(*inst)) return inst;
    }
    return nullptr;
}

// The same walk over every instance named, without stopping.
template <class F>
void ForEachInTarget(ScriptEngine& engine, CRoom* room, int64_t target, F&& f) {
    FindInTarget(engine, room, target, [&f](CInstance& inst) {
        f(inst);
        return false;
    });
}

// How many live instances the target names, and the n-th of them (0-based) or null.
int CountInTarget(ScriptEngine& engine, CRoom* room, int64_t target);
CInstance* NthInTarget(ScriptEngine& engine, CRoom* room, int64_t target, int64_t n);

// Whether the instance's object is `object` or has it as an ancestor.
bool InFamily(const ObjectList& objects, const CInstance& inst, int32_t object);

// The region test of the (de)activation functions: the box overlaps the rectangle, or, for an
// instance without a mask sprite, its position lies inside it (edges included).
bool InRegion(const Game& game, const CInstance& inst, double left, double top, double width,
              double height);

}  // namespace tb
