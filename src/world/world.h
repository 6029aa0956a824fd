// The running game: the run state of the game loop, the room copies, the game-wide event
// lists, and the entry points of the loop, the room changes and the step.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "world/input_state.h"

namespace tb {

struct Game;
class CRoom;
struct CInstance;
class ScriptEngine;
class CollisionGrid;

// pending_change: a room index, or one of these.
constexpr int32_t kNoChange = -1;
constexpr int32_t kChangeEndGame = -100;
constexpr int32_t kChangeRestart = -200;
constexpr int32_t kChangeLoad = -300;
constexpr int32_t kChangeAbort = -400;

constexpr int kEventKinds = 11;
constexpr int kEventNumbers = 256;

// Which objects have (or inherit) each event: built once at every game start.
struct EventLists {
    // [kind][number]: object indices, ascending. Collision events are not listed here.
    std::array<std::array<std::vector<int32_t>, kEventNumbers>, kEventKinds> objects;
    // (i, j), i ascending and j ascending within i: object i has or inherits a collision event
    // with object j or one of j's ancestors.
    std::vector<std::pair<int32_t, int32_t>> collision_pairs;

    const std::vector<int32_t>& Of(int kind, int number) const { return objects[kind][number]; }
};

// Where later subsystems plug into the step and the room changes. Empty hooks do nothing.
struct WorldHooks {
    std::function<void()> particles;         // automatic particle systems
    std::function<void()> draw_room;         // draws the room (sorting instances by depth)
    std::function<void()> show_frame;        // ends the frame, shows it, begins the next
    std::function<void()> fit_window;        // fits the window to the room or its views
    std::function<void()> capture_screen;    // for the transition when a room is left
    std::function<void()> show_transition;   // after a room is entered and drawn
    std::function<void()> runner_keys;       // F1, Esc, F4, F5, F6, F9
    std::function<void()> process_messages;  // window messages at the loop's points
    std::function<void()> clear_particles;   // the effect functions' systems at room entry
    std::function<bool()> step_frozen;       // true: this step does nothing (focus, splash)
    std::function<void()> debug_refresh;     // the debug window's watches
    std::function<void()> show_window;       // the game window appears (game start)
    std::function<bool()> init_extensions;   // false: the game does not start
    std::function<void()> final_extensions;  // at game end, after the room is left
    // Game start: the cursor as the settings say (true); game end: the normal one (false).
    std::function<void(bool game_cursor)> set_cursor;
    // Joystick id 0 or 1: axes 0 .. 65535 and the button bits; false when it cannot be read.
    std::function<bool(int id, uint32_t& x, uint32_t& y, uint32_t& buttons)> read_joystick;
    // The point test of the mouse events; null: the precise point test of the collisions.
    std::function<bool(const CInstance&, double x, double y)> point_in_instance;
    // Particle systems that draw automatically, for the room's depth pass: fills (depth, id)
    // pairs, deepest first; and draws one of them.
    std::function<void(std::vector<std::pair<double, int32_t>>&)> particle_layers;
    std::function<void(int32_t id)> draw_particles;
};

// A transition kind defined by the game: the script or extension function that draws it.
struct UserTransition {
    int32_t function = -1;  // function id (script or extension), -1: no entry
    std::string name;
};

// The transition between two rooms: the kind captured when the old room was left, the two
// pictures, and the kinds the game defined.
struct TransitionState {
    int32_t current = 0;
    int32_t surface_old = -1;
    int32_t surface_new = -1;
    std::map<int32_t, UserTransition> user;
};

// The microsecond clock of the loop. Headless runs use a virtual clock that advances only
// when the loop waits, so they run as fast as the machine allows and stay reproducible.
struct LoopClock {
    bool virtual_time = false;
    int64_t virtual_now = 0;
    int64_t origin = 0;   // real time: the steady clock's reading when the loop started
    void Start();         // real time: counts from now on; the virtual clock runs on
    int64_t Now() const;  // microseconds
    void Wait(int64_t microseconds, const std::function<void()>& process_messages);

    // Every wait is one message point of the input recording, however often it polls: the
    // waits begun so far, the one running (0 outside any), and whether a wait with nothing
    // left to wait still checks the messages once (replays need every point to exist).
    int64_t waits = 0;
    int64_t wait_serial = 0;
    bool poll_empty_waits = false;
};

class World {
  public:
    World(Game& game, ScriptEngine& engine);
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    Game& game;
    ScriptEngine& engine;

    // --- run state
    bool running = false;
    bool paused = false;
    int32_t room = -1;  // index of the current room
    int32_t pending_change = kNoChange;
    std::string load_file;                            // the name given to game_load
    std::vector<std::unique_ptr<CRoom>> rooms;        // run-time copies by room index
    std::vector<std::unique_ptr<CInstance>> carried;  // persistent instances between rooms
    int32_t fps = 0;
    int32_t cursor_image_counter = 0;
    bool argument_relative = false;
    EventLists events;
    InputState input;
    LoopClock clock;
    WorldHooks hooks;
    // Steps left before the loop ends on its own (--steps); negative: no limit.
    int64_t steps_left = -1;
    // Repetitions of the loop so far: the number of the step running (or just shown), from 1.
    int64_t step_number = 0;
    // The mouse position the mouse events saw last step (mouse enter and leave).
    double mouse_step_x = 0, mouse_step_y = 0;
    // The collision pass tests every pair of instances instead of using its grid (the
    // reference the grid is checked against).
    bool collision_all_pairs = false;
    std::unique_ptr<CollisionGrid> collision_grid;  // made by the first pass

    // --- game-wide values behind built-in variables
    int32_t score = 0;
    int32_t lives = -1;
    double health = 100;
    bool show_score = true;
    bool show_lives = false;
    bool show_health = false;
    bool show_score_set = false;  // the game has written show_score (caption rule)
    std::string caption_score = "Score: ";
    std::string caption_lives = "Lives: ";
    std::string caption_health = "Health: ";
    int32_t cursor_sprite = -1;
    int32_t transition_kind = 0;
    int32_t transition_steps = 80;
    bool automatic_draw = true;
    int32_t view_current = 0;
    TransitionState transitions;

    // The current room's run-time copy, or null before the first room is entered.
    CRoom* Room() const;

  private:
    std::function<void()> saved_request_abort_;
};

// --- the game loop (game_loop.cpp)
// Start game: event lists, globals, score/lives/cursor/transition, seeding, library init
// code, room-copy slots, the first room. False when the start failed.
bool StartGame(World& w);
// End game: leaves the room with the game-end flag and frees every room copy.
void EndGame(World& w);
// Runs the loop until the game ends (or steps_left runs out); starts the game when needed.
void RunGame(World& w);
// One step in the exact event order.
void Step(World& w);
// Carries out pending_change: end, restart, load, or a room change.
void CarryOutPendingChange(World& w);
// Draws the current room (sorting its instances by depth first).
void DrawRoom(World& w);

// --- room changes (room_changes.cpp)
void EnterRoom(World& w, int32_t index, bool game_start);
void LeaveRoom(World& w, bool game_end);
void GotoRoom(World& w, int32_t index);

}  // namespace tb
