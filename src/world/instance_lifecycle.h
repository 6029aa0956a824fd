// Creating, destroying, changing and copying instances of the running room together with
// their Create and Destroy events: shared by the instance functions and the actions.
#pragma once

#include <cstdint>

namespace tb {

class ScriptEngine;
struct CInstance;

// Whether the index names an existing object of the game.
bool ObjectExists(const ScriptEngine& engine, int64_t object);

// Add instance of an existing object at (x, y), then its Create event (self = other = the new
// instance). Null without a room or when the object does not exist (no message here).
CInstance* CreateWithEvent(ScriptEngine& engine, int32_t object, double x, double y);

// The Destroy event (self = other = the instance), then the destroyed mark. An instance that
// is already destroyed, or whose Destroy event is running, is left alone: its event never
// runs twice, and a Destroy event that destroys its own object's instances cannot recurse.
void DestroyWithEvent(ScriptEngine& engine, CInstance& inst);

// Turns the instance into an existing object: optionally its Destroy event; a new instance at
// its position takes over its state (and so its id) and then the new object; the old one is
// marked destroyed; optionally the new one's Create event. Returns the new instance, or null
// without a room or when the object does not exist (the instance is then unchanged).
CInstance* ChangeWithEvents(ScriptEngine& engine, CInstance& inst, int32_t object, bool events);

// A new instance of the same object at the same place with the state of `from` but its own new
// id; optionally its Create event. Null without a room.
CInstance* CopyWithEvent(ScriptEngine& engine, const CInstance& from, bool event);

}  // namespace tb
