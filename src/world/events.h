// Running events: the game-wide event lists, dispatch along the parent chain, action lists
// (blocks, questions, else, repeat, exit, applies to), time lines and alarms.
#pragma once

#include <cstdint>

namespace tb {

class World;
struct CInstance;
class CEvent;
class CAction;
struct Game;
struct EventLists;

// Builds `event_objects` and `collision_pairs` from the objects.
void BuildEventLists(const Game& game, EventLists& lists);

// Runs event (kind, number) of the instance's object (found with FindEvent) for `self` with
// `other`. Nothing when self is null or a change is pending. The event context is set to
// (owner object, kind, number) and restored afterwards.
void Dispatch(World& w, CInstance* self, CInstance* other, int32_t kind, int32_t number);
// The same with the lookup starting at `object` (event_perform_object, event_inherited).
void DispatchToObject(World& w, CInstance* self, CInstance* other, int32_t object, int32_t kind,
                      int32_t number);
// Every instance of the room, front to back, not destroyed, with itself as other.
void DispatchToAll(World& w, int32_t kind, int32_t number);
// The walk of the step: for each object of event_objects[kind][number] (ascending), each of
// its instances (count taken when the object's turn starts) that is not destroyed.
void DispatchWalk(World& w, int32_t kind, int32_t number);

// Runs an action list for self and other.
void RunActions(World& w, const CEvent& event, CInstance* self, CInstance* other);

// The time line walk and the alarm walk of the step.
void RunTimeLines(World& w);
void RunAlarms(World& w);

// Compiles and runs the action libraries' initialisation code (at every game start). False
// after a compile error (reported, aborting the game).
bool RunLibraryInitCode(World& w);

}  // namespace tb
