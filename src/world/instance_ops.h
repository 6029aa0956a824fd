// The operations of an instance that keep its coupled fields consistent: object, sprite and
// mask with the collision box, position, motion components, alarms, path positions; copying
// state and the instance record of room states and saved games.
#pragma once

#include <cstdint>

#include "resources/room.h"

namespace tb {

struct CInstance;
struct Game;

// Create(id, object, x, y): defaults, Set object, position fields, box.
void InitInstance(CInstance& inst, const Game& game, int32_t id, int32_t object, double x,
                  double y);
// Add instance: the next id, the instance initialised for `object` at (x, y), appended to the
// room and its per-object tables. No event runs.
CInstance& CreateInstance(CRoom& room, Game& game, int32_t object, double x, double y);

void SetObject(CInstance& inst, const Game& game, int32_t object);
void SetSprite(CInstance& inst, const Game& game, int32_t sprite);
void SetMask(CInstance& inst, const Game& game, int32_t mask);
void SetXScale(CInstance& inst, const Game& game, double v);
void SetYScale(CInstance& inst, const Game& game, double v);
void SetAngle(CInstance& inst, const Game& game, double v);
void SetPosition(CInstance& inst, const Game& game, double x, double y);
void ComputeBoundingBox(CInstance& inst, const Game& game);

void SetHspeed(CInstance& inst, double v);
void SetVspeed(CInstance& inst, double v);
void SetDirection(CInstance& inst, double v);
void SetSpeed(CInstance& inst, double v);
void AddMotion(CInstance& inst, double amount, double direction);

int32_t GetAlarm(const CInstance& inst, int32_t i);  // -1 outside 0 .. 11
void SetAlarm(CInstance& inst, int32_t i, int32_t v);
void SetPathPosition(CInstance& inst, double v);  // clamped to 0 .. 1
void SetPathPositionPrevious(CInstance& inst, double v);

// The image count of the instance's sprite; 0 without one.
int32_t ImageNumber(const CInstance& inst, const Game& game);

// Copy state: everything but path_xorigin and path_yorigin.
void CopyState(CInstance& to, const CInstance& from);

// The instance record.
void WriteInstanceRecord(CStream& s, const CInstance& inst);
// Looks the object up; the stored box is kept. Throws StreamError past the end.
void ReadInstanceRecord(CStream& s, const ObjectList& objects, CInstance& inst);

// The callbacks of the room state record that read and write instance records. The reader
// keeps a reference to `objects`.
InstanceStateReader StandardInstanceReader(const ObjectList& objects);
InstanceStateWriter StandardInstanceWriter();

}  // namespace tb
