// Objects, their events and actions.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resources/resource_list.h"
#include "runner/stream.h"
#include "script/value.h"

namespace tb {

class CCode;

// Event kinds; the numbering is shared by the game file, the scripts and the whole runner.
enum EventKind : int32_t {
    ev_create = 0,
    ev_destroy = 1,
    ev_alarm = 2,
    ev_step = 3,
    ev_collision = 4,
    ev_keyboard = 5,
    ev_mouse = 6,
    ev_other = 7,
    ev_draw = 8,
    ev_keypress = 9,
    ev_keyrelease = 10,
};
inline constexpr int kEventKindCount = 11;
// Error context kind of a time line moment (its number is the moment's time).
inline constexpr int32_t kTimeLineEventKind = 100000;

enum StepEvent : int32_t { ev_step_normal = 0, ev_step_begin = 1, ev_step_end = 2 };

enum MouseEvent : int32_t {
    ev_left_button = 0,
    ev_right_button = 1,
    ev_middle_button = 2,
    ev_no_button = 3,
    ev_left_press = 4,
    ev_right_press = 5,
    ev_middle_press = 6,
    ev_left_release = 7,
    ev_right_release = 8,
    ev_middle_release = 9,
    ev_mouse_enter = 10,
    ev_mouse_leave = 11,
    ev_global_press = 12,
    ev_global_release = 13,
    ev_joystick1_left = 16,
    ev_joystick1_right = 17,
    ev_joystick1_up = 18,
    ev_joystick1_down = 19,
    ev_joystick1_button1 = 21,  // ... button8 = 28
    ev_joystick2_left = 31,
    ev_joystick2_right = 32,
    ev_joystick2_up = 33,
    ev_joystick2_down = 34,
    ev_joystick2_button1 = 36,  // ... button8 = 43
    ev_global_left_button = 50,
    ev_global_right_button = 51,
    ev_global_middle_button = 52,
    ev_global_left_press = 53,
    ev_global_right_press = 54,
    ev_global_middle_press = 55,
    ev_global_left_release = 56,
    ev_global_right_release = 57,
    ev_global_middle_release = 58,
    ev_mouse_wheel_up = 60,
    ev_mouse_wheel_down = 61,
};

enum OtherEvent : int32_t {
    ev_outside = 0,
    ev_boundary = 1,
    ev_game_start = 2,
    ev_game_end = 3,
    ev_room_start = 4,
    ev_room_end = 5,
    ev_no_more_lives = 6,
    ev_animation_end = 7,
    ev_end_of_path = 8,
    ev_no_more_health = 9,
    ev_user0 = 10,  // ... ev_user15 = 25
    ev_close_button = 30,
    ev_outside_view0 = 40,   // ... view 7 = 47
    ev_boundary_view0 = 50,  // ... view 7 = 57
};

class CAction {
  public:
    static constexpr int32_t kVersion = 440;

    int32_t LibraryId = 0;
    int32_t ActionId = 0;
    int32_t Kind = 0;  // 0 normal, 1 begin, 2 end, 3 else, 4 exit, 5 repeat, 6 variable, 7 code
    bool UseRelative = false;
    bool IsQuestion = false;
    bool UseApplyTo = false;
    int32_t ExecType = 0;  // 0 nothing, 1 call FunctionName, 2 run Code
    std::string FunctionName;
    std::string Code;
    int32_t ArgumentCount = 0;
    // Kinds and texts carry their own counts in the record; users must bound indices by
    // these vectors, not by ArgumentCount alone.
    std::vector<int32_t> ArgumentKinds;
    int32_t AppliesTo = -1;  // -1 self, -2 other, >= 0 every instance of that object
    bool Relative = false;
    std::vector<std::string> ArgumentTexts;
    bool Not = false;

    // Derived: 100000 + script, 500000 + extension function, or a built-in index; -1 none.
    int32_t FunctionIndex = -1;
    // Made by compiling the action: the code of ExecType 2, and per argument either a
    // constant or a compiled expression.
    struct Argument {
        RValue value;
        std::shared_ptr<CCode> expression;  // null: the argument is `value`
    };
    std::shared_ptr<CCode> code;
    std::vector<Argument> arguments;

    // The stored record and the resolved function; compiled parts are derived from it.
    bool operator==(const CAction& o) const {
        return LibraryId == o.LibraryId && ActionId == o.ActionId && Kind == o.Kind &&
               UseRelative == o.UseRelative && IsQuestion == o.IsQuestion &&
               UseApplyTo == o.UseApplyTo && ExecType == o.ExecType &&
               FunctionName == o.FunctionName && Code == o.Code &&
               ArgumentCount == o.ArgumentCount && ArgumentKinds == o.ArgumentKinds &&
               AppliesTo == o.AppliesTo && Relative == o.Relative &&
               ArgumentTexts == o.ArgumentTexts && Not == o.Not && FunctionIndex == o.FunctionIndex;
    }

    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

class CEvent {
  public:
    static constexpr int32_t kVersion = 400;

    std::vector<CAction> actions;

    bool operator==(const CEvent&) const = default;

    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    void Clear() { actions.clear(); }
    // Appends a code action (Kind 7, ExecType 2) with the text as its first argument.
    CAction& AddCodeAction(std::string_view text);
};

class CObject {
  public:
    static constexpr int32_t kVersion = 430;
    static constexpr int32_t kOldVersion = 400;  // no key press/release kinds

    int32_t SpriteIndex = -1;
    bool Solid = false;
    bool Visible = true;
    int32_t Depth = 0;
    bool Persistent = false;
    int32_t ParentIndex = -1;  // parent object (-1 = none)
    int32_t MaskIndex = -1;    // -1: the instance's sprite
    // Per kind, by number. Stored sparsely so that a huge event number read from a file costs
    // one entry; an entry may have no actions (it then does not "exist"). Event addresses
    // stay valid while events are added.
    std::array<std::map<int32_t, CEvent>, kEventKindCount> events;

    bool operator==(const CObject&) const = default;

    // Reads version 400 (kinds 0 ... 8) and 430 (kinds 0 ... L, L at most 10).
    bool LoadFromStream(CStream& s);
    // Always writes version 430 with every kind.
    void WriteToStream(CStream& s) const;
    void Reset() { *this = CObject(); }

    // Null for a kind outside 0 ... 10 or a negative number.
    CEvent* GetOrCreateEvent(int kind, int number);
    // The event only when it has actions.
    const CEvent* GetEvent(int kind, int number) const;
    CEvent* GetEvent(int kind, int number);
    // Any event of the kind with actions, in this object or an ancestor in `objects`.
    bool HasEventOfKind(int kind, const ResourceList<CObject>& objects) const;
};

// Whether `ancestor` is the parent of `object`, the parent's parent, and so on. Parent
// chains from a file may loop; every walk stops after visiting each object once.
bool IsAncestor(const ResourceList<CObject>& objects, int object, int ancestor);

struct FoundEvent {
    const CEvent* event = nullptr;
    int object = -1;  // the object that defines the event
};
// The event (kind, number) of `object` along its parent chain; collision events also match
// an event with an ancestor of the other object, nearest ancestor first.
FoundEvent FindEvent(const ResourceList<CObject>& objects, int object, int kind, int number);

// Resolves FunctionIndex of every ExecType 1 action; names that resolve to -1 are reported
// as "Failed to locate action function " + name.
void ResolveActionFunctions(CEvent& e, const std::function<int(std::string_view)>& resolve,
                            const std::function<void(std::string_view)>& message);
void ResolveActionFunctions(CObject& o, const std::function<int(std::string_view)>& resolve,
                            const std::function<void(std::string_view)>& message);

}  // namespace tb
