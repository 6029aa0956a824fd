// One live instance of an object in a room.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "script/variables.h"

namespace tb {

class CObject;

// The box an instance gets when it has no mask sprite.
constexpr int32_t kNoBox = -100000;

// Fields are named after the built-in variables that expose them and start at the values an
// instance has when created for an object index that names no object. Setting the object,
// the sprite and the coupled motion fields is the instance operations' job, not done here.
// The instance's own variable list joins these fields together with the variable store.
struct CInstance {
    int32_t id = 0;
    int32_t sprite_index = 0;
    double image_index = 0;
    double image_speed = 1;
    double image_xscale = 1;
    double image_yscale = 1;
    double image_angle = 0;
    double image_alpha = 1;
    int32_t image_blend = 0xFFFFFF;
    int32_t mask_index = 0;
    double depth = 0;
    bool precise = false;
    double x = 0;
    double y = 0;
    double xstart = 0;
    double ystart = 0;
    double xprevious = 0;
    double yprevious = 0;
    double direction = 0;
    double speed = 0;
    double friction = 0;
    double gravity_direction = 270;
    double gravity = 0;
    double hspeed = 0;
    double vspeed = 0;
    int32_t bbox_left = kNoBox;
    int32_t bbox_top = kNoBox;
    int32_t bbox_right = kNoBox;
    int32_t bbox_bottom = kNoBox;
    bool visible = false;
    bool solid = false;
    bool persistent = false;
    int32_t object_index = 0;
    // Looked up from object_index; null when the index names no object. Not owned.
    const CObject* object = nullptr;
    std::array<int32_t, 12> alarm{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    bool destroyed = false;    // waiting for removal at the end of the step
    bool deactivated = false;  // to be moved to, or lying in, the room's inactive list
    int32_t path_index = -1;
    double path_position = 0;
    double path_positionprevious = 0;
    double path_speed = 0;
    double path_scale = 1;
    double path_orientation = 0;
    int32_t path_endaction = 0;
    double path_xorigin = 0;
    double path_yorigin = 0;
    int32_t timeline_index = -1;
    double timeline_position = 0;
    double timeline_speed = 1;
    std::string creation_code;  // run when the room starts
    CVariableList variables;    // the instance's own variables

    bool operator==(const CInstance&) const = default;
};

}  // namespace tb
