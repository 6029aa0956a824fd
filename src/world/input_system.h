// Where the window's messages meet the game: every check of the messages takes the events
// that arrived (from the window and from the game's own key presses, or from a replay
// instead), records them when asked, and hands them to the handlers in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "world/input_state.h"
#include "world/replay.h"

namespace tb {

class World;

struct InputOptions {
    // Replaying: these events take the place of the real input and of the game's own key
    // presses (a recording holds those already).
    bool replaying = false;
    std::vector<ReplayEvent> replay;
    // The dialog answers of the replay, taken in order by the runner's dialogs.
    std::vector<ReplayDialog> dialogs;
    // Records every event taken (null: no recording).
    std::shared_ptr<ReplayRecorder> recorder;
};

class InputSystem {
  public:
    // Installs input into the world: its hooks process_messages, runner_keys, step_frozen
    // and read_joystick, and the script host's clear_input. The world's hooks own the system.
    static InputSystem& Attach(World& w, InputHooks hooks, InputOptions options);

    InputSystem(World& w, InputOptions options);
    ~InputSystem();
    InputSystem(const InputSystem&) = delete;
    InputSystem& operator=(const InputSystem&) = delete;

    // One check of the window's messages.
    void ProcessMessages();
    // The start of a step; true when the step is to do nothing (the window lost the focus
    // and the game freezes then, or the game information or a splash covers the window).
    bool BeginStep();
    // Whether an event can still arrive in this step (the waits for a key or a button end
    // when none can).
    bool CanArrive() const;
    // A key press or release the game makes itself; it arrives at the next check.
    void Generate(const InputEvent& e);

    int64_t StepsBegun() const { return step_; }

  private:
    InputPoint Here();
    // Replay: moves the events due at `here` into the queue.
    void TakeDue(const InputPoint& here);
    bool Due(const InputPoint& at, const InputPoint& here) const;

    World& world_;
    InputOptions options_;
    size_t next_replay_ = 0;
    std::vector<InputEvent> queue_;  // taken, not yet handled
    size_t queue_head_ = 0;
    std::vector<InputEvent> incoming_;
    // The checks running now, innermost last (an event's script may check again), with the
    // wait each started in.
    struct Active {
        InputPoint at;
        int64_t wait_serial;
    };
    std::vector<Active> active_;
    int64_t step_ = 0;
    int64_t step_waits_ = 0;   // the clock's wait count when the step began
    int64_t plain_waits_ = 0;  // ... when plain_count_ last started over
    int64_t plain_count_ = 0;  // checks outside any wait since then
    std::function<void()> saved_clear_input_;
    std::function<bool()> saved_step_frozen_;
};

}  // namespace tb
